#include "SQL/sql_type_map.h"

#include <array>

namespace {

struct type_row {
    int type;
    VARTYPE signed_kind;
    VARTYPE unsigned_kind;
    sql_value_path path;
};

// Column types whose values are numbers, dates or times in the client's ASCII text. Types not
// listed here are text, binary data or bits (see mysql_type_to_vartype).
constexpr std::array<type_row, 16> scalar_types = {{
    {sql_type_decimal, VT_DECIMAL, VT_DECIMAL, sql_value_path::digits},
    {sql_type_newdecimal, VT_DECIMAL, VT_DECIMAL, sql_value_path::digits},
    {sql_type_tiny, VT_I1, VT_UI1, sql_value_path::digits},
    {sql_type_short, VT_I2, VT_UI2, sql_value_path::digits},
    {sql_type_long, VT_I4, VT_UI4, sql_value_path::digits},
    // MEDIUMINT UNSIGNED (at most 16777215) fits the signed 32-bit kind.
    {sql_type_int24, VT_I4, VT_I4, sql_value_path::digits},
    {sql_type_longlong, VT_I8, VT_UI8, sql_value_path::digits},
    {sql_type_float, VT_R4, VT_R4, sql_value_path::digits},
    {sql_type_double, VT_R8, VT_R8, sql_value_path::digits},
    {sql_type_timestamp, VT_DATE, VT_DATE, sql_value_path::digits},
    {sql_type_date, VT_DATE, VT_DATE, sql_value_path::digits},
    {sql_type_time, VT_DATE, VT_DATE, sql_value_path::digits},
    {sql_type_datetime, VT_DATE, VT_DATE, sql_value_path::digits},
    {sql_type_year, VT_UI2, VT_UI2, sql_value_path::digits},
    // Never sent to clients; the text path keeps whatever a server might send.
    {sql_type_newdate, VT_BSTR, VT_BSTR, sql_value_path::text},
    {sql_type_null, VT_BSTR, VT_BSTR, sql_value_path::text},
}};

// BIT(1) is a flag; a wider BIT column carries an unsigned number of up to 64 bits, held in
// the smallest unsigned kind that takes every value.
VARTYPE bit_kind(unsigned long bits) {
    if (bits <= 1) {
        return VT_BOOL;
    }
    if (bits <= 8) {
        return VT_UI1;
    }
    if (bits <= 16) {
        return VT_UI2;
    }
    if (bits <= 32) {
        return VT_UI4;
    }
    return VT_UI8;
}

bool is_string_type(int type) {
    return type == sql_type_var_string || type == sql_type_string || type == sql_type_varchar ||
           type == sql_type_enum || type == sql_type_set;
}

}  // namespace

sql_column_type sql_column_type::of(const MYSQL_FIELD& field) {
    sql_column_type column;
    column.type = static_cast<int>(field.type);
    column.flags = field.flags;
    column.length = field.length;
    column.decimals = field.decimals;
    column.charsetnr = field.charsetnr;
    return column;
}

bool sql_column_type::is_binary() const {
    if (charsetnr != 0) {
        return charsetnr == sql_charset_binary;
    }
    return is_blob() && (flags & sql_flag_binary) != 0;
}

sql_value_kind mysql_type_to_vartype(const sql_column_type& column, bool blob_to_text) {
    for (const type_row& row : scalar_types) {
        if (row.type == column.type) {
            return {column.is_unsigned() ? row.unsigned_kind : row.signed_kind, row.path};
        }
    }
    if (column.type == sql_type_bit) {
        return {bit_kind(column.length), sql_value_path::bits};
    }
    // Well-known binary: as text it would be cut at its first zero byte.
    if (column.type == sql_type_geometry) {
        return {VT_BLOB, sql_value_path::binary};
    }
    const bool binary_data =
        (column.is_blob() || is_string_type(column.type)) && column.is_binary();
    // The text switch is for large binary objects: BINARY and VARBINARY values (keys, hashes,
    // UUIDs) stay bytes, since as text every byte that is no UTF-8 would be replaced.
    if (binary_data && !(blob_to_text && column.is_blob())) {
        return {VT_BLOB, sql_value_path::binary};
    }
    // TEXT, CHAR, VARCHAR, ENUM, SET, JSON and any type this table does not know.
    return {VT_BSTR, sql_value_path::text};
}

int32_t sql_decimal_precision(const sql_column_type& column) {
    const auto length = static_cast<int32_t>(column.length);
    const int32_t point = column.decimals == 0 ? 0 : 1;
    const int32_t sign = column.is_unsigned() ? 0 : 1;
    return length - point - sign;
}
