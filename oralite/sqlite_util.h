// Small owners and helpers around the SQLite C API.
//
// Every SQLite failure that reaches the engine's caller is turned into an ORA error here:
// a busy database is ORA-00054 (or ORA-30006 after a timed wait), anything unexpected is
// ORA-00600 with SQLite's own message as its argument.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace oralite {

[[noreturn]] void throw_sqlite(sqlite3* db, int rc, bool timed_wait = false);

// Runs statements without results; throws on failure.
void exec_sql(sqlite3* db, std::string_view sql);

class sqlite_stmt {
  public:
    sqlite_stmt() = default;
    sqlite_stmt(sqlite3* db, std::string_view sql);
    ~sqlite_stmt();
    sqlite_stmt(sqlite_stmt&& other) noexcept;
    sqlite_stmt& operator=(sqlite_stmt&& other) noexcept;
    sqlite_stmt(const sqlite_stmt&) = delete;
    sqlite_stmt& operator=(const sqlite_stmt&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

    // true: a row is ready; false: done. Throws on failure (after resetting).
    bool step();
    void reset();
    // Runs to completion.
    void run();

    sqlite_stmt& bind(int index, int64_t v);
    sqlite_stmt& bind(int index, std::string_view v);
    sqlite_stmt& bind_null(int index);

    int64_t int_at(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string text_at(int column) const;
    bool null_at(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

  private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// Quotes a text as an SQLite string literal.
std::string sql_literal(std::string_view text);

}  // namespace oralite
