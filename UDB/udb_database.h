// The abstract database and record set that the MySQL source and the Oracle destination
// implement, the record that travels between them and the custom-conversion hook.
//
// Ownership: record sets returned by create_table, get_table and query belong to the caller.
// A record owns its values. Databases and record sets are used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TK/tk_singleton.h"
#include "UDB/udb_names.h"
#include "UDB/udb_schema.h"

// One row: its values in the record set's column order. Values are held by value (no
// allocation per value beyond its own payload).
class udb_record {
  public:
    udb_record() = default;
    explicit udb_record(std::vector<udb_field> values) : fields(std::move(values)) {}
    udb_record(const udb_record&) = default;
    udb_record(udb_record&&) noexcept = default;
    udb_record& operator=(const udb_record&) = default;
    udb_record& operator=(udb_record&&) noexcept = default;
    virtual ~udb_record();

    // Whether a value of that column name (case-insensitive) is in the record.
    bool find_field(std::wstring_view name) const;

    size_t size() const noexcept { return fields.size(); }
    bool empty() const noexcept { return fields.empty(); }
    udb_field& operator[](size_t i) { return fields[i]; }
    const udb_field& operator[](size_t i) const { return fields[i]; }
    auto begin() noexcept { return fields.begin(); }
    auto end() noexcept { return fields.end(); }
    auto begin() const noexcept { return fields.begin(); }
    auto end() const noexcept { return fields.end(); }

    std::vector<udb_field> fields;
};

// One table or one query result.
class udb_recordset {
  public:
    udb_recordset(std::wstring name, std::wstring query_text, bool owns_descriptors);
    udb_recordset(std::wstring name, bool owns_descriptors);
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;
    virtual ~udb_recordset();

    // Writes the record (after convert_record where the destination needs it).
    virtual bool append_record(udb_record& record) = 0;
    // The current record, owned by the record set; null in the base.
    virtual udb_record* get_item();
    // True in the base.
    virtual bool is_eof();
    virtual bool is_query() const;
    // Advances; returns the new position (the base does nothing and returns count).
    virtual int64_t next();
    virtual void move_prev();
    virtual void move_first();

    // Changes every value of the record in place to the kind of this record set's column at
    // the same position. Values beyond the column count are left alone. A failed conversion
    // raises ole_type_exception; the values before it stay converted.
    void convert_record(udb_record& record) const;

    std::wstring name;
    // Empty for a table.
    std::wstring query_text;
    int64_t count = 0;
    udb_schema schema;
    udb_indexes indexes;
};

class udb_database {
  public:
    udb_database(std::wstring name, int32_t mode, bool case_sensitive);
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;
    virtual ~udb_database();

    // Creates the table and returns a record set on it; the derived class appends the name to
    // tables.
    virtual std::unique_ptr<udb_recordset> create_table(const std::wstring& table,
                                                        const udb_schema& fields,
                                                        const udb_indexes& indexes) = 0;
    // Removes the name from tables (the derived class drops the table first). An unknown
    // name raises tk_mail_assertion.
    virtual bool delete_tab(const std::wstring& table);
    virtual std::unique_ptr<udb_recordset> get_table(const std::wstring& table, int32_t mode) = 0;
    virtual std::unique_ptr<udb_recordset> get_table(const std::wstring& name,
                                                     const std::wstring& query_text,
                                                     int32_t mode) = 0;
    virtual bool test_query(const std::wstring& statement) = 0;
    // Not supported by the base: raises tk_mail_assertion.
    virtual std::unique_ptr<udb_recordset> query(const std::wstring& statement);
    // Does nothing in the base.
    virtual void create_relationships(const udb_relationships& relationships);
    // Whether tables holds the name (exactly when case_sensitive, else case-insensitively).
    virtual bool is_table_exist(const std::wstring& table) const;

    int32_t mode;
    std::wstring name;
    bool case_sensitive;
    std::vector<std::wstring> tables;
    udb_names_map names_map;
    udb_relationships relationships;

  protected:
    // The position of the table in tables, or tables.size().
    size_t table_position(const std::wstring& table) const;
};

// A custom conversion rule: makes the destination's text of a column type or of a value.
class udb_rule {
  public:
    virtual ~udb_rule();
    virtual bool accepts_column(const t_ftd& column) const = 0;
    virtual bool accepts_value(const udb_field& value) const = 0;
    virtual std::wstring column_text(const t_ftd& column) const = 0;
    virtual std::wstring value_text(const udb_field& value) const = 0;
};

// The registry of custom conversion rules. The DDL writer asks is_acceptable1/handle1 before
// mapping a column type and the insert path asks is_acceptable2/handle2 before writing a
// value literal; without a registry (the usual case) the built-in mappings apply.
class udb_custom_conversion : public tk_singleton<udb_custom_conversion> {
  public:
    udb_custom_conversion();
    ~udb_custom_conversion();

    void add_rule(std::unique_ptr<udb_rule> rule);
    size_t rule_count() const noexcept { return rules_.size(); }

    static bool is_acceptable1(const t_ftd& column);
    // The text of the first rule that accepts the column; empty when none does.
    static std::wstring handle1(const t_ftd& column);
    static bool is_acceptable2(const udb_field& value);
    // The text of the first rule that accepts the value; empty without rules;
    // tk_mail_assertion when rules exist and none accepts.
    static std::wstring handle2(const udb_field& value);

  private:
    std::vector<std::unique_ptr<udb_rule>> rules_;
};
