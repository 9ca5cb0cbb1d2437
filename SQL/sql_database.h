// One MySQL database, read as the source of a conversion.
//
// sql_database knows the database's table names (read once, in server order), runs
// statements and opens record sets over tables and custom queries. It borrows the engine's
// client handle: it must be destroyed before the engine, and every record set opened from it
// before it. MySQL is only read here; the write operations refuse with an internal error.
//
// The connection carries one statement at a time. A record set streams its rows over the
// connection while they are read, so statements (another record set, query, test_query) run
// between reads of a record set fail with the client's "Commands out of sync" sql_exception;
// finish or destroy the record set first.
#pragma once

#include <mysql.h>

#include <array>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "SQL/sql_record.h"
#include "SQL/sql_result.h"
#include "UDB/udb_database.h"

class sql_recordset;
class sql_tmp_recordset;

// The records held in memory at a time by a record set: at most sql_page_size records, and no
// more records than fill sql_page_bytes of values (a page of 256 large BLOBs would not fit in
// memory), but always at least one.
constexpr size_t sql_page_size = 256;
constexpr size_t sql_page_bytes = 64u << 20;
using sql_page = std::array<std::unique_ptr<sql_record>, sql_page_size>;

class sql_database : public udb_database {
  public:
    // Reads the table names of the selected database; sql_exception when the server refuses.
    sql_database(const std::wstring& name, MYSQL* handle, int32_t mode);
    ~sql_database() override;

    std::unique_ptr<udb_recordset> create_table(const std::wstring& table, const udb_schema& fields,
                                                const udb_indexes& indexes) override;
    bool delete_tab(const std::wstring& table) override;
    // A record set over a listed table (an unlisted one is an internal error). The name is
    // matched as is_table_exist matches it; the record set takes the server's spelling.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& table, int32_t mode) override;
    // A record set over a custom query, named by the caller.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name,
                                             const std::wstring& query_text, int32_t mode) override;
    // Runs the statement and discards its rows; true when the server accepted it. Never throws.
    bool test_query(const std::wstring& statement) override;
    // Runs the statement and reads all its rows (meant for small results); null for a
    // statement without rows; sql_exception when the server refuses.
    std::unique_ptr<udb_recordset> query(const std::wstring& statement) override;

    // Runs a statement and reads all its rows; null for a statement without rows.
    std::unique_ptr<sql_tmp_recordset> read_all(const std::wstring& statement);

    // The same operations with their concrete types.
    std::unique_ptr<sql_recordset> open_table(const std::wstring& table);
    std::unique_ptr<sql_recordset> open_query(const std::wstring& name,
                                              const std::wstring& query_text);

    MYSQL* handle() const { return handle_; }
    std::wstring quote_name(const std::wstring& name) const;
    bool supports_foreign_keys() const;
    bool blob_to_text() const;
    bool time_as_interval() const;

    // One statement streaming its rows, read a page at a time. For a table the statement is
    // "SELECT {select_list} FROM {name}" ("*" when the list is empty); a custom query is sent
    // as it is (without a trailing ';').
    class sql_limited_query {
      public:
        sql_limited_query(sql_database& database, const std::wstring& name_or_query, bool is_query,
                          const std::wstring& select_list = std::wstring());
        sql_limited_query(const sql_limited_query&) = delete;
        sql_limited_query& operator=(const sql_limited_query&) = delete;
        // Drains what the server still sends.
        ~sql_limited_query();

        // Destroys the records in the page, then fills its slots from 0 with the next rows
        // until the page is full or the values stored reach byte_limit; returns how many it
        // stored (none at the end of the rows). When the server fails after some rows of the
        // page, those rows are stored and the failure is raised by the next call.
        size_t store_to(sql_page* page, size_t byte_limit = sql_page_bytes);
        // Reads past rows without converting them; returns how many there were.
        size_t skip(size_t rows);
        // True once the server has sent the last row.
        bool exhausted() const { return exhausted_; }
        const sql_result& result() const { return result_; }
        const std::vector<sql_column>& columns() const { return columns_; }
        // Reads the values of a column as another kind than the statement's own (a FLOAT
        // selected as a DOUBLE to get its exact value back as a FLOAT).
        void set_kind(size_t column, VARTYPE kind);

      private:
        sql_result result_;
        std::vector<sql_column> columns_;
        bool exhausted_ = false;
        // The server's failure after the rows last stored, for the next call.
        std::exception_ptr failure_;
    };

  private:
    // The listed spelling of a table name, or nothing.
    const std::wstring* listed_name(const std::wstring& table) const;

    MYSQL* handle_;
};

// A custom query's text as a statement: blanks and ';' at its end removed, so that it can be
// wrapped in another statement.
std::wstring sql_statement_text(const std::wstring& query_text);
