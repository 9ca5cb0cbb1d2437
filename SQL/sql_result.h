// Owners of client results: the one place that fetches rows from the MySQL client library.
//
// sql_result owns a MYSQL_RES (freed on destruction; freeing an unbuffered result drains the
// rows the server still sends) and borrows the engine's handle. A streamed (unbuffered) result
// holds the connection: no other statement may run on it until the result is released. A row
// that cannot be fetched because the connection broke raises sql_exception instead of looking
// like the end of the rows, so a broken stream never passes for a complete table.
#pragma once

#include <mysql.h>

#include <memory>
#include <string>

// One fetched row; valid until the next fetch or the release of its result.
class sql_row {
  public:
    sql_row() = default;
    sql_row(MYSQL_ROW values, const unsigned long* lengths, unsigned count)
        : values_(values), lengths_(lengths), count_(count) {}

    explicit operator bool() const { return values_ != nullptr; }
    unsigned size() const { return count_; }
    // Null for an SQL NULL.
    const char* value(unsigned i) const { return values_[i]; }
    unsigned long length(unsigned i) const { return lengths_[i]; }
    bool is_null(unsigned i) const { return values_[i] == nullptr; }
    // The value's bytes (all of them, zero bytes included); empty for NULL.
    std::string text(unsigned i) const {
        return values_[i] == nullptr ? std::string() : std::string(values_[i], lengths_[i]);
    }
    MYSQL_ROW values() const { return values_; }
    const unsigned long* lengths() const { return lengths_; }

  private:
    MYSQL_ROW values_ = nullptr;
    const unsigned long* lengths_ = nullptr;
    unsigned count_ = 0;
};

class sql_result {
  public:
    sql_result() = default;
    // Takes ownership of a result made by the client library (null is allowed: no result).
    sql_result(MYSQL* handle, MYSQL_RES* result, bool streaming = false);

    // Sends a UTF-8 statement and opens its result unbuffered. sql_exception when the server
    // refuses the statement; an empty sql_result for a statement that returns no rows.
    static sql_result stream(MYSQL* handle, const std::string& statement);

    explicit operator bool() const { return result_ != nullptr; }
    unsigned field_count() const;
    const MYSQL_FIELD* fields() const;
    // The next row, or an empty row at the end. sql_exception when the connection fails while
    // rows are streamed.
    sql_row fetch();
    // Releases the result (draining a stream), leaving this one empty.
    void reset() { result_.reset(); }

  private:
    struct release {
        void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
    };
    MYSQL* handle_ = nullptr;
    std::unique_ptr<MYSQL_RES, release> result_;
    bool streaming_ = false;
};
