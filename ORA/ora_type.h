// Reading Oracle query results as the system's values, and writing values as Oracle SQL.
//
// ora_query_results describes a SELECT, makes one column reader (the ora_type family) per
// column from its Oracle data type, binds the readers' buffers and fetches row by row; each
// row comes out as an ora_record of udb_field values. The reading loop of every caller:
// construct with the query, test is_eof (which fetches row 1), then take get_item and test
// is_eof again. A record returned by get_item belongs to the results and lives until the next
// get_item.
//
// to_oracle_str writes a value's text as an Oracle SQL literal. Failures are ora_exception
// (OCI) or ole_type_exception (a value that does not convert). One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_engine.h"
#include "UDB/udb_database.h"

// One column reader: its output buffer, the null indicator of the current row and the value
// kind it produces.
class ora_type {
  public:
    ora_type(VARTYPE kind, std::wstring name, bool nullable, uint16_t data_type);
    virtual ~ora_type();
    ora_type(const ora_type&) = delete;
    ora_type& operator=(const ora_type&) = delete;

    // The value kind this reader produces.
    virtual VARTYPE get_vartype() const { return kind_; }
    // The column's size for a schema descriptor (characters or bytes; 0 for no limit).
    virtual int32_t get_size() const { return 0; }
    // The current row's value (the caller tests is_null first).
    virtual ole_variant to_variant() = 0;
    // Binds the buffer to the select-list position (1-based).
    virtual void define(ora_stmt& statement, uint32_t position) = 0;
    // Precision * 256 + scale of a decimal column, the date kind of an interval, 0 otherwise.
    virtual int32_t subtype() const { return 0; }
    // The digits of the fraction of a second of a TIMESTAMP or INTERVAL column.
    virtual int32_t fraction_digits() const { return 0; }
    // The column's descriptor for a schema.
    t_ftd column() const;

    // The value kind of an Oracle data type code, for columns whose reader is not asked.
    static VARTYPE vartype_of(uint16_t data_type);

    bool is_null() const noexcept { return indicator_ == OCI_IND_NULL; }
    const std::wstring& name() const noexcept { return name_; }
    // The name shared by every row's value of this column.
    const udb_name& shared_name() const noexcept { return shared_name_; }
    bool nullable() const noexcept { return nullable_; }
    uint16_t data_type() const noexcept { return data_type_; }

  protected:
    VARTYPE kind_;
    std::wstring name_;
    udb_name shared_name_;
    bool nullable_;
    uint16_t data_type_;
    int16_t indicator_ = 0;
    OCIDefine* define_ = nullptr;
};

// The value kind of a NUMBER column of the given precision and scale: a float for an
// unconstrained NUMBER or a FLOAT(b) (scale -127), a decimal when there is a scale, an integer
// wide enough for every value of the precision otherwise (a decimal beyond 18 digits).
VARTYPE ora_number_kind(int precision, int scale);

// Makes the reader for a described column.
std::unique_ptr<ora_type> gen_co_by_type(const ora_param& param);

// One row: a value per column, in column order; a NULL column is an empty value.
class ora_record : public udb_record {
  public:
    explicit ora_record(const std::vector<std::unique_ptr<ora_type>>& readers);
};

class ora_query_results : public udb_recordset {
  public:
    // Describes the query at once; a column count of 0 takes the count the server reports.
    ora_query_results(int32_t column_count, const std::wstring& query);
    // A named result whose statement is described later by initialize.
    ora_query_results(const std::wstring& name, const std::wstring& query_text);
    ~ora_query_results() override;

    // Prepares and executes the query, makes and binds the readers. A second call raises
    // tk_mail_assertion.
    void initialize(int32_t column_count, const std::wstring& query);

    // Fetches the next row; true when there is none.
    bool is_eof() override;
    // The current row (fetching the first when no fetch happened yet).
    udb_record* get_item() override;
    // A query result cannot take records: tk_mail_assertion.
    bool append_record(udb_record& record) override;

    const std::vector<std::unique_ptr<ora_type>>& readers() const noexcept { return readers_; }
    bool initialized() const noexcept { return initialized_; }

    // Column 1 of every row of a query, as text (NULL rows give empty texts).
    static std::vector<std::wstring> read_texts(const std::wstring& query);
    // Every row of a query as texts, one per column (numbers in their shortest form, NULL as
    // an empty text).
    static std::vector<std::vector<std::wstring>> read_rows(const std::wstring& query);

  protected:
    std::unique_ptr<ora_stmt> statement_;
    int32_t column_count_ = 0;
    std::vector<std::unique_ptr<ora_type>> readers_;
    std::vector<VARTYPE> kinds_;
    bool initialized_ = false;
    bool fetched_ = false;
    bool at_end_ = false;
    std::unique_ptr<ora_record> current_;
};

// The SQL literal of a value given as text and value kind: '' for an empty text; a date as
// to_date(...) (empty when the text is no date); a string in single quotes with its quotes
// doubled; a byte array's hexadecimal text ("0x..." or digits) in single quotes; any other
// kind as the text with single quotes doubled.
std::wstring to_oracle_str(const std::wstring& text, VARTYPE kind);

// The to_date(...) literal of a parsed date (empty for an invalid one).
std::wstring ora_date_literal(const std::wstring& text);

// A text in single quotes with every single quote doubled.
std::wstring ora_quote_string(const std::wstring& text);
