#include "oralite/sqlite_util.h"

#include <utility>

#include "oralite/ora_error.h"

namespace oralite {

void throw_sqlite(sqlite3* db, int rc, bool timed_wait) {
    int primary = rc & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        throw ora_error(timed_wait ? 30006 : 54);
    }
    if (primary == SQLITE_FULL) {
        throw ora_error(1653, {"USERS"});
    }
    if (primary == SQLITE_READONLY) {
        throw ora_error(16000);
    }
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw ora_error(600, {message});
}

void exec_sql(sqlite3* db, std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    int rc = sqlite3_exec(db, text.c_str(), nullptr, nullptr, &error);
    if (error)
        sqlite3_free(error);
    if (rc != SQLITE_OK)
        throw_sqlite(db, rc);
}

sqlite_stmt::sqlite_stmt(sqlite3* db, std::string_view sql) : db_(db) {
    int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        stmt_ = nullptr;
        throw_sqlite(db, rc);
    }
}

sqlite_stmt::~sqlite_stmt() {
    if (stmt_)
        sqlite3_finalize(stmt_);
}

sqlite_stmt::sqlite_stmt(sqlite_stmt&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

sqlite_stmt& sqlite_stmt::operator=(sqlite_stmt&& other) noexcept {
    if (this != &other) {
        if (stmt_)
            sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

bool sqlite_stmt::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    throw_sqlite(db_, rc);
}

void sqlite_stmt::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void sqlite_stmt::run() {
    while (step()) {
    }
    sqlite3_reset(stmt_);
}

sqlite_stmt& sqlite_stmt::bind(int index, int64_t v) {
    sqlite3_bind_int64(stmt_, index, v);
    return *this;
}

sqlite_stmt& sqlite_stmt::bind(int index, std::string_view v) {
    sqlite3_bind_text(stmt_, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}

sqlite_stmt& sqlite_stmt::bind_null(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

std::string sqlite_stmt::text_at(int column) const {
    const unsigned char* p = sqlite3_column_text(stmt_, column);
    if (!p)
        return {};
    return std::string(reinterpret_cast<const char*>(p),
                       static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::string sql_literal(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

}  // namespace oralite
