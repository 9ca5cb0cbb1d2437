#include "SQL/sql_database.h"

#include <cwctype>
#include <utility>

#include "SQL/sql_engine.h"
#include "SQL/sql_recordset.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

std::wstring sql_statement_text(const std::wstring& query_text) {
    size_t end = query_text.size();
    while (end > 0 && (std::iswspace(query_text[end - 1]) || query_text[end - 1] == L';')) {
        --end;
    }
    return query_text.substr(0, end);
}

sql_database::sql_database(const std::wstring& name, MYSQL* handle, int32_t mode)
    : udb_database(name, mode, false), handle_(handle) {
    tk_trace_w(2, L"sql_database::sql_database(%ls, mode=%d)", name.c_str(), mode);
    TK_ASSERT(handle_ != nullptr);
    sql_result list(handle_, mysql_list_tables(handle_, nullptr));
    if (!list) {
        throw sql_exception(handle_);
    }
    sql_tmp_recordset names(std::move(list));
    for (size_t i = 0; i < names.size(); ++i) {
        tables.push_back(names[i][0].to_wstring());
    }
}

sql_database::~sql_database() {
    tk_trace(2, "sql_database::dtor");
}

std::wstring sql_database::quote_name(const std::wstring& name) const {
    return sql_engine::instance().quote_name(name);
}

bool sql_database::supports_foreign_keys() const {
    return sql_engine::instance().supports_foreign_keys();
}

bool sql_database::blob_to_text() const {
    return sql_engine::instance().blob_to_text;
}

bool sql_database::time_as_interval() const {
    return sql_engine::instance().time_as_interval;
}

std::unique_ptr<udb_recordset> sql_database::create_table(const std::wstring& table,
                                                          const udb_schema&, const udb_indexes&) {
    tk_trace_w(2, L"sql_database::create_table (%ls)", table.c_str());
    TK_FAIL();
}

bool sql_database::delete_tab(const std::wstring& table) {
    tk_trace_w(2, L"sql_database::delete_tab (%ls)", table.c_str());
    TK_FAIL();
}

const std::wstring* sql_database::listed_name(const std::wstring& table) const {
    for (const std::wstring& listed : tables) {
        if (listed == table) {
            return &listed;
        }
    }
    const size_t position = table_position(table);
    return position < tables.size() ? &tables[position] : nullptr;
}

std::unique_ptr<udb_recordset> sql_database::get_table(const std::wstring& table, int32_t) {
    return open_table(table);
}

std::unique_ptr<sql_recordset> sql_database::open_table(const std::wstring& table) {
    tk_trace_w(2, L"sql_database::get_table (%ls)", table.c_str());
    const std::wstring* listed = listed_name(table);
    TK_ASSERT(listed != nullptr);
    return std::make_unique<sql_recordset>(*this, *listed);
}

std::unique_ptr<udb_recordset> sql_database::get_table(const std::wstring& name,
                                                       const std::wstring& query_text, int32_t) {
    return open_query(name, query_text);
}

std::unique_ptr<sql_recordset> sql_database::open_query(const std::wstring& name,
                                                        const std::wstring& query_text) {
    tk_trace_w(2, L"sql_database::get_table (%ls, %ls)", name.c_str(), query_text.c_str());
    return std::make_unique<sql_recordset>(*this, name, query_text);
}

bool sql_database::test_query(const std::wstring& statement) {
    tk_trace_w(2, L"sql_database::query(%ls)", statement.c_str());
    const std::string text = tk_ucs2_to_utf8(statement);
    if (mysql_real_query(handle_, text.data(), text.size()) != 0) {
        return false;
    }
    sql_result discarded(handle_, mysql_use_result(handle_), true);
    return true;
}

std::unique_ptr<udb_recordset> sql_database::query(const std::wstring& statement) {
    return read_all(statement);
}

std::unique_ptr<sql_tmp_recordset> sql_database::read_all(const std::wstring& statement) {
    tk_trace_w(2, L"sql_database::query(%ls)", statement.c_str());
    sql_result result = sql_result::stream(handle_, tk_ucs2_to_utf8(statement));
    if (!result) {
        return nullptr;
    }
    return std::make_unique<sql_tmp_recordset>(std::move(result));
}

sql_database::sql_limited_query::sql_limited_query(sql_database& database,
                                                   const std::wstring& name_or_query, bool is_query,
                                                   const std::wstring& select_list) {
    tk_trace(1, "sql_database::sql_limited_query::sql_limited_query");
    const std::wstring statement = is_query
                                       ? sql_statement_text(name_or_query)
                                       : L"SELECT " + (select_list.empty() ? L"*" : select_list) +
                                             L" FROM " + database.quote_name(name_or_query);
    tk_trace_w(2, L"Run SQL query: [%ls]", statement.c_str());
    result_ = sql_result::stream(database.handle(), tk_ucs2_to_utf8(statement));
    if (!result_) {
        // A statement without rows (not a SELECT): there is nothing to read.
        exhausted_ = true;
        return;
    }
    columns_ =
        sql_describe_columns(result_.fields(), result_.field_count(), database.blob_to_text());
}

sql_database::sql_limited_query::~sql_limited_query() = default;

void sql_database::sql_limited_query::set_kind(size_t column, VARTYPE kind) {
    TK_ASSERT(column < columns_.size());
    columns_[column].kind.vartype = kind;
}

size_t sql_database::sql_limited_query::store_to(sql_page* page, size_t byte_limit) {
    tk_trace(1, "sql_database::sql_limited_query::store_to");
    TK_ASSERT(page != nullptr);
    for (auto& slot : *page) {
        slot.reset();
    }
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    size_t stored = 0;
    size_t bytes = 0;
    while (stored < page->size() && bytes < byte_limit && !exhausted_) {
        sql_row row;
        try {
            row = result_.fetch();
        } catch (...) {
            if (stored == 0) {
                throw;
            }
            // The rows that came before are whole: they are given first.
            failure_ = std::current_exception();
            break;
        }
        if (!row) {
            exhausted_ = true;
            break;
        }
        for (unsigned i = 0; i < row.size(); ++i) {
            bytes += row.length(i);
        }
        (*page)[stored++] = std::make_unique<sql_record>(columns_, row);
    }
    return stored;
}

size_t sql_database::sql_limited_query::skip(size_t rows) {
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    size_t skipped = 0;
    while (skipped < rows && !exhausted_) {
        if (!result_.fetch()) {
            exhausted_ = true;
            break;
        }
        ++skipped;
    }
    return skipped;
}
