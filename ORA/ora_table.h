// One destination table opened for records (the insert path), readable row by row as well.
//
// ora_table learns the table's columns as Oracle reports them (types, sizes, NOT NULL,
// defaults) and append_record writes one record: the INSERT is prepared once per table and
// executed per record with bound values (ora_insert_plan); CLOB and BLOB values are inserted
// as EMPTY_CLOB()/EMPTY_BLOB() and then written through LOB locators of the new row
// (ora_get_rowid returns its ROWID, ora_lob_insert selects it FOR UPDATE and writes).
//
// Durability: records without LOB values are committed in batches (every commit_interval
// records, when a record with LOB values comes, by commit(), and by the destructor); a record
// with LOB values is committed as a whole right after its LOB writes, and taken back
// (rolled back) when a LOB write fails, so a committed row never lacks its large values. A
// record Oracle refuses leaves the records before it in place.
//
// Failures: ora_exception from Oracle, ole_type_exception for a value that does not convert to
// its column, tk_exception for a record whose value count differs from the column count.
// The record is then not counted. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_type.h"
#include "UDB/udb_record_sink.h"

class ora_database;
class ora_insert_plan;

// Runs the INSERT of a record with LOB values and returns the new row's ROWID, through a
// RETURNING ROWID INTO bind served by two callbacks.
class ora_get_rowid {
  public:
    // statement: the INSERT, prepared, with "RETURNING ROWID INTO :1" at its end.
    explicit ora_get_rowid(ora_stmt& statement);

    // Executes the statement once (no commit) and returns the ROWID text.
    std::wstring do_insert();

    // The input side of the RETURNING bind: no data.
    static int32_t cbf_no_data(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                               void** buffer, uint32_t* length, uint8_t* piece, void** indicator);
    // The output side: the 512-byte buffer and its length word.
    static int32_t cbf_get_data(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                                void** buffer, uint32_t** length, uint8_t* piece, void** indicator,
                                uint16_t** return_code);

  private:
    static constexpr uint32_t buffer_bytes = 512;

    ora_stmt& statement_;
    OCIBind* bind_ = nullptr;
    uint32_t length_ = buffer_bytes;
    char16_t buffer_[buffer_bytes / 2] = {};
};

// Writes the LOB values of one new row: selects its LOB columns FOR UPDATE by ROWID (one
// prepared statement per table) and writes each non-empty value in one call.
class ora_lob_insert {
  public:
    struct lob_column {
        size_t position;
        VARTYPE kind;
        std::wstring name;
    };

    // schema: the table's columns; the LOB columns among them are collected.
    ora_lob_insert(const std::wstring& table, const udb_schema& schema);
    ~ora_lob_insert();

    // Writes the LOB values into the row: values holds one per column of the table, null
    // where there is nothing to write.
    void insert(const std::vector<const ole_variant*>& values, const std::wstring& rowid);
    void write_clob(size_t column, const ole_variant& value);
    void write_blob(size_t column, const ole_variant& value);
    // Deletes the row that insert() was last given, so that a record whose large values could
    // not be written is taken back alone, without the records pending before it.
    void remove_last_row();

    const std::vector<lob_column>& columns() const noexcept { return columns_; }

  private:
    std::wstring table_;
    std::vector<lob_column> columns_;
    std::vector<ora_lob_locator> locators_;
    std::unique_ptr<ora_stmt> select_;
    std::unique_ptr<ora_stmt> delete_;
    std::u16string rowid_;
    int16_t rowid_indicator_ = 0;
    std::vector<int16_t> indicators_;
};

class ora_table : public ora_query_results {
  public:
    // A table of the logged-on schema. mode 1 also reads its indexes and foreign keys.
    ora_table(const std::wstring& name, ora_database& database, int32_t mode);
    // The rows of a query, named name.
    ora_table(const std::wstring& name, const std::wstring& query, ora_database& database,
              int32_t mode);
    // Commits the records still pending.
    ~ora_table() override;

    // Writes the record (see the header comment). With a sink, a record that cannot be
    // stored is reported to it and false returned; the values stored altered are reported as
    // well. Without one, such a record raises its error.
    bool append_record(udb_record& record) override;
    // Where append_record reports rejected records and altered values (not owned; null: none).
    void set_record_sink(udb_record_sink* sink) noexcept { sink_ = sink; }
    // Makes the appended records durable now.
    void commit();
    // ALTER TABLE ... MODIFY "{column}" NULL, once per column; tk_mail_assertion for a
    // position outside the schema.
    void reset_not_null_flag(size_t column);

    bool is_eof() override;
    int64_t next() override;

    // Records that may wait for one commit (1 commits every record). A record with LOB values
    // joins the batch only after they are written.
    void set_commit_interval(int32_t records);
    // Takes the column details only the source knows (the date kind of a TIME column, the
    // auto-increment flag) from the schema the table was created from.
    void adopt_created_schema(const udb_schema& created);
    // The auto-increment column whose sequence must start after the keys copied (its source
    // gave no counter): complete_auto_increment makes it.
    void defer_auto_increment(const std::wstring& column) { deferred_key_ = column; }
    // After the records: commits them, then creates the deferred sequence, starting after the
    // largest key stored, and its trigger. Nothing when nothing was deferred. A largest key
    // beyond what a sequence holds (1e28) raises tk_exception (level 0): no sequence is made.
    void complete_auto_increment();

    ole_variant get_def_value(VARTYPE kind, const std::wstring& text) const;
    int32_t get_columns_cnt();

    const std::wstring& table_name() const noexcept { return name; }
    int32_t mode() const noexcept { return mode_; }
    // Foreign keys that reference the primary key (mode 1 only).
    const udb_relationships& foreign_keys() const noexcept { return foreign_keys_; }
    // Appended records not yet committed.
    int32_t pending() const noexcept { return pending_; }

  private:
    void init_schema();
    void init_indexes();
    void reopen_for_reading();
    void write_record(const udb_record& record);
    // Puts one value into its column's bind buffer, converting it to the column's kind (the
    // record is left as it is); ora_value_rejected when the column cannot hold it.
    void fill(size_t column, const udb_field& value);
    void set_text(size_t column, const std::wstring& text);
    const ole_variant& as_kind(size_t column, const udb_field& value, VARTYPE kind, bool binary);
    // After a failed LOB write: deletes the record's row, or when even that fails rolls back
    // the batch and raises a level-1 error that counts the records lost with it.
    void take_back_row(const std::exception& failure);

    ora_database& database_;
    int32_t mode_;
    udb_relationships foreign_keys_;
    std::unique_ptr<ora_insert_plan> plan_;
    std::unique_ptr<ora_lob_insert> lobs_;
    int32_t pending_ = 0;
    int64_t position_ = 0;
    int32_t commit_interval_ = 500;
    bool reading_ = false;
    udb_record_sink* sink_ = nullptr;
    std::wstring deferred_key_;
    // Records given to append_record so far: the number of the next one is given_ + 1.
    int64_t given_ = 0;
    // Per column: the large value to write through its locator, and converted copies.
    std::vector<const ole_variant*> lob_values_;
    std::vector<ole_variant> converted_;
    // What the current record's values were stored as, where a rule altered them.
    std::vector<std::string> notes_;
};
