#include "oralite/storage.h"

#include <string>

namespace oralite {

namespace {

void bind_number(sqlite3_stmt* stmt, int index, const decimal& d) {
    if (auto i = d.to_int64()) {
        sqlite3_bind_int64(stmt, index, *i);
        return;
    }
    if (d.digit_count() <= 15 && d.magnitude() > -300 && d.magnitude() < 300) {
        sqlite3_bind_double(stmt, index, d.to_double());
        return;
    }
    std::string text = d.to_string();
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

value number_from(int type, sqlite3_int64 i, double x, const unsigned char* text, int bytes) {
    switch (type) {
        case SQLITE_INTEGER:
            return value::of_int(i);
        case SQLITE_FLOAT: {
            auto d = decimal::from_double(x);
            return d ? value::of_number(*d) : value::null();
        }
        case SQLITE_TEXT: {
            auto d = decimal::parse(
                std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes)));
            return d ? value::of_number(*d) : value::null();
        }
        default:
            return value::null();
    }
}

// The generic reader behind both sqlite3_stmt columns and sqlite3_value arguments.
template <typename Get>
value read(const column_type& t, Get get) {
    int type = get.type();
    if (type == SQLITE_NULL)
        return value::null();
    switch (t.storage()) {
        case storage_kind::number:
            return number_from(type, get.int64(), get.real(), get.text(), get.bytes());
        case storage_kind::text:
        case storage_kind::rowid: {
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
                value n = number_from(type, get.int64(), get.real(), nullptr, 0);
                return value::of_text(n.number.to_oracle_string());
            }
            const unsigned char* p = get.text();
            std::string s(reinterpret_cast<const char*>(p), static_cast<size_t>(get.bytes()));
            if (t.is_lob())
                return value::of_lob(std::move(s), true);
            return value::of_text(std::move(s));
        }
        case storage_kind::blob: {
            const void* p = get.blob();
            std::string s(static_cast<const char*>(p), static_cast<size_t>(get.bytes()));
            if (t.is_lob())
                return value::of_lob(std::move(s), false);
            return value::of_raw(std::move(s));
        }
        case storage_kind::date:
        case storage_kind::timestamp: {
            const unsigned char* p = get.text();
            auto d = datetime::from_storage(std::string_view(reinterpret_cast<const char*>(p),
                                                             static_cast<size_t>(get.bytes())));
            if (!d)
                return value::null();
            return t.storage() == storage_kind::date ? value::of_date(*d) : value::of_timestamp(*d);
        }
        case storage_kind::interval: {
            const unsigned char* p = get.text();
            auto i = interval_ds::from_storage(std::string_view(reinterpret_cast<const char*>(p),
                                                                static_cast<size_t>(get.bytes())),
                                               t.precision < 0 ? 9 : t.precision, t.fraction);
            return i ? value::of_interval(*i) : value::null();
        }
        case storage_kind::any:
            break;
    }
    switch (type) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return number_from(type, get.int64(), get.real(), nullptr, 0);
        case SQLITE_TEXT: {
            const unsigned char* p = get.text();
            return value::of_text(
                std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(get.bytes())));
        }
        case SQLITE_BLOB: {
            const void* p = get.blob();
            return value::of_raw(
                std::string(static_cast<const char*>(p), static_cast<size_t>(get.bytes())));
        }
        default:
            return value::null();
    }
}

struct column_getter {
    sqlite3_stmt* s;
    int c;
    int type() const { return sqlite3_column_type(s, c); }
    sqlite3_int64 int64() const { return sqlite3_column_int64(s, c); }
    double real() const { return sqlite3_column_double(s, c); }
    const unsigned char* text() const { return sqlite3_column_text(s, c); }
    const void* blob() const { return sqlite3_column_blob(s, c); }
    int bytes() const { return sqlite3_column_bytes(s, c); }
};

struct value_getter {
    sqlite3_value* v;
    int type() const { return sqlite3_value_type(v); }
    sqlite3_int64 int64() const { return sqlite3_value_int64(v); }
    double real() const { return sqlite3_value_double(v); }
    const unsigned char* text() const { return sqlite3_value_text(v); }
    const void* blob() const { return sqlite3_value_blob(v); }
    int bytes() const { return sqlite3_value_bytes(v); }
};

}  // namespace

void bind_storage(sqlite3_stmt* stmt, int index, const value& v, bool lasting) {
    const sqlite3_destructor_type keep = lasting ? SQLITE_STATIC : SQLITE_TRANSIENT;
    switch (v.kind) {
        case value_kind::null:
            sqlite3_bind_null(stmt, index);
            return;
        case value_kind::number:
            bind_number(stmt, index, v.number);
            return;
        case value_kind::text:
            sqlite3_bind_text(stmt, index, v.bytes.data(), static_cast<int>(v.bytes.size()), keep);
            return;
        case value_kind::raw:
            sqlite3_bind_blob(stmt, index, v.bytes.data(), static_cast<int>(v.bytes.size()), keep);
            return;
        case value_kind::date:
        case value_kind::timestamp: {
            char s[datetime::k_storage_text_room];
            const size_t n = v.time.write_storage_text(s, v.kind == value_kind::timestamp);
            sqlite3_bind_text(stmt, index, s, static_cast<int>(n), SQLITE_TRANSIENT);
            return;
        }
        case value_kind::interval: {
            std::string s = v.span.storage_text();
            sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            return;
        }
    }
}

void result_storage(sqlite3_context* ctx, const value& v) {
    switch (v.kind) {
        case value_kind::null:
            sqlite3_result_null(ctx);
            return;
        case value_kind::number: {
            const decimal& d = v.number;
            if (auto i = d.to_int64()) {
                sqlite3_result_int64(ctx, *i);
            } else if (d.digit_count() <= 15 && d.magnitude() > -300 && d.magnitude() < 300) {
                sqlite3_result_double(ctx, d.to_double());
            } else {
                std::string s = d.to_string();
                sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            }
            return;
        }
        case value_kind::text:
            sqlite3_result_text(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()),
                                SQLITE_TRANSIENT);
            return;
        case value_kind::raw:
            sqlite3_result_blob(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()),
                                SQLITE_TRANSIENT);
            return;
        case value_kind::date:
        case value_kind::timestamp: {
            std::string s = v.time.storage_text(v.kind == value_kind::timestamp);
            sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            return;
        }
        case value_kind::interval: {
            std::string s = v.span.storage_text();
            sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            return;
        }
    }
}

value read_storage(sqlite3_stmt* stmt, int column, const column_type& t) {
    return read(t, column_getter{stmt, column});
}

value read_storage(sqlite3_value* datum, const column_type& t) {
    return read(t, value_getter{datum});
}

char kind_letter(const column_type& t) {
    switch (t.code) {
        case type_code::clob:
        case type_code::nclob:
            return 'C';
        case type_code::blob:
            return 'B';
        case type_code::rowid:
            return 'I';
        default:
            break;
    }
    switch (t.storage()) {
        case storage_kind::number:
            return 'N';
        case storage_kind::text:
            return 'T';
        case storage_kind::blob:
            return 'R';
        case storage_kind::date:
            return 'D';
        case storage_kind::timestamp:
            return 'S';
        case storage_kind::interval:
            return 'V';
        case storage_kind::rowid:
            return 'I';
        case storage_kind::any:
            break;
    }
    return '?';
}

column_type type_of_letter(char letter) {
    switch (letter) {
        case 'N':
            return column_type::of(type_code::number);
        case 'T':
            return column_type::varchar(4000);
        case 'C':
            return column_type::of(type_code::clob);
        case 'R': {
            column_type t = column_type::of(type_code::raw);
            t.length = 2000;
            return t;
        }
        case 'B':
            return column_type::of(type_code::blob);
        case 'D':
            return column_type::of(type_code::date);
        case 'S':
            return column_type::of(type_code::timestamp);
        case 'V':
            return column_type::interval(9, 9);
        case 'I':
            return column_type::of(type_code::rowid);
        default:
            return column_type::of(type_code::none);
    }
}

}  // namespace oralite
