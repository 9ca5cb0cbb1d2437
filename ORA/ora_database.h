// The destination database: the schema of the logged-on Oracle user.
//
// ora_database knows which tables exist, creates a table with its sequence, trigger and
// indexes from a source schema (ora_schema_initializer, ora_indexes_initializer), drops
// tables, runs and syntax-checks statements, maps source names to the generated Oracle names
// and opens ora_table objects for appending records. ora_engine::open_db creates it; the
// caller owns it and everything its create_table and get_table return. Table names compare
// exactly (Oracle names are case-sensitive once quoted, and the system quotes every name).
//
// Oracle errors surface as ora_exception; creating a listed table, or opening or dropping an
// unlisted one, is an internal error (tk_mail_assertion). One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ORA/ora_engine.h"
#include "UDB/udb_database.h"

class ora_table;

class ora_database : public udb_database {
  public:
    // name: the connect string. Reads the server version, the existing tables and other
    // objects, and whether strings may be extended (MAX_STRING_SIZE, see ora_type_mapping.h).
    explicit ora_database(const std::wstring& name);
    ~ora_database() override;

    // Creates the table, its sequence and trigger (for an auto-increment column) and its
    // indexes, and returns it opened for appending (an ora_table).
    std::unique_ptr<udb_recordset> create_table(const std::wstring& table, const udb_schema& fields,
                                                const udb_indexes& indexes) override;
    // Drops the table (DROP TABLE ... CASCADE CONSTRAINTS) and the sequence of its
    // auto-increment trigger, then forgets the name.
    bool delete_tab(const std::wstring& table) override;
    // An ora_table on a listed table: mode 1 also reads its indexes and foreign keys, 2 is
    // used after create_table, 8 when appending to a table that already existed.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& table, int32_t mode) override;
    // An ora_table over a query.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name,
                                             const std::wstring& query_text, int32_t mode) override;
    // Parses the statement without running it; ora_exception on a syntax error.
    bool test_query(const std::wstring& statement) override;
    // Runs the statement once (DDL or DML, no commit mode); returns no record set.
    std::unique_ptr<udb_recordset> query(const std::wstring& statement) override;

    // The same calls with their concrete types.
    std::unique_ptr<ora_table> create_ora_table(const std::wstring& table, const udb_schema& fields,
                                                const udb_indexes& indexes);
    std::unique_ptr<ora_table> get_ora_table(const std::wstring& table, int32_t mode);
    // Runs one statement and tells how it went (a warning after a compilation error, say).
    ora_status execute(const std::wstring& statement, uint32_t mode = OCI_DEFAULT);

    std::wstring get_tn_mapped_name_ex(const std::wstring& source_table);
    std::wstring get_fn_mapped_name_ex(const std::wstring& table, const std::wstring& field);

    // The server version as ora_engine::get_version packs it.
    uint32_t version() const noexcept { return version_; }

    // The session's round trips to the server so far ("SQL*Net roundtrips to/from client" in
    // V$MYSTAT), for the trace log; nothing when the user may not read the statistic (it
    // needs SELECT ANY DICTIONARY), and nothing from then on.
    std::optional<int64_t> round_trips();

    // Set by the conversion driver from its uppercase option before it creates tables.
    bool uppercase = false;

    // Whether a name is taken in the namespace of tables: by a table, or by a sequence, view,
    // synonym, procedure, function, package or type of the schema, or reserved for a table the
    // run is still to create. Exact comparison, as quoted names compare.
    bool is_name_taken(const std::wstring& name) const;
    // Whether a name is used by such an object other than a table.
    bool is_other_object(const std::wstring& name) const;
    // The Oracle names the run's tables are to take: no sequence may take them first.
    void reserve_names(const std::vector<std::wstring>& names) { reserved_ = names; }
    // A sequence this system created or dropped.
    void add_sequence(const std::wstring& name) { other_objects_.push_back(name); }
    void forget_object(const std::wstring& name);

  private:
    void list_tables();
    void list_other_objects();
    void read_string_size();

    uint32_t version_ = 0;
    bool statistics_refused_ = false;
    std::vector<std::wstring> other_objects_;
    std::vector<std::wstring> reserved_;
};
