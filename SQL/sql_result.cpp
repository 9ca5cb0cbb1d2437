#include "SQL/sql_result.h"

#include "SQL/sql_engine.h"
#include "TK/tk_exception.h"

sql_result::sql_result(MYSQL* handle, MYSQL_RES* result, bool streaming)
    : handle_(handle), result_(result), streaming_(streaming) {}

sql_result sql_result::stream(MYSQL* handle, const std::string& statement) {
    TK_ASSERT(handle != nullptr);
    if (mysql_real_query(handle, statement.data(), statement.size()) != 0) {
        throw sql_exception(handle);
    }
    MYSQL_RES* result = mysql_use_result(handle);
    if (result == nullptr && mysql_errno(handle) != 0) {
        throw sql_exception(handle);
    }
    return sql_result(handle, result, true);
}

unsigned sql_result::field_count() const {
    return result_ ? mysql_num_fields(result_.get()) : 0;
}

const MYSQL_FIELD* sql_result::fields() const {
    return result_ ? mysql_fetch_fields(result_.get()) : nullptr;
}

sql_row sql_result::fetch() {
    if (!result_) {
        return {};
    }
    MYSQL_ROW values = mysql_fetch_row(result_.get());
    if (values == nullptr) {
        if (streaming_ && mysql_errno(handle_) != 0) {
            throw sql_exception(handle_);
        }
        return {};
    }
    return sql_row(values, mysql_fetch_lengths(result_.get()), field_count());
}
