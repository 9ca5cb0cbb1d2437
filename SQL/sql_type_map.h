// The MySQL column types and the value kinds they become, in one table.
//
// Every column of a table or query result is described by the client's field descriptor
// (type code, flags, length, character set). From it follow the value kind of the column's
// schema entry and the path by which each value's bytes become an ole_variant:
//   text    UTF-8 text decoded to a wide string, then read as the column's kind;
//   digits  the client's ASCII text of a number or date, read as the column's kind;
//   binary  the bytes kept as they are (a byte array);
//   bits    a BIT value, which the server sends as big-endian bytes.
#pragma once

#include <mysql.h>

#include <cstdint>

#include "platform/oleauto.h"

// MySQL type codes as the client library's field descriptor reports them.
enum sql_type_code : int {
    sql_type_decimal = 0,
    sql_type_tiny = 1,
    sql_type_short = 2,
    sql_type_long = 3,
    sql_type_float = 4,
    sql_type_double = 5,
    sql_type_null = 6,
    sql_type_timestamp = 7,
    sql_type_longlong = 8,
    sql_type_int24 = 9,
    sql_type_date = 10,
    sql_type_time = 11,
    sql_type_datetime = 12,
    sql_type_year = 13,
    sql_type_newdate = 14,
    sql_type_varchar = 15,
    sql_type_bit = 16,
    sql_type_json = 245,
    sql_type_newdecimal = 246,
    sql_type_enum = 247,
    sql_type_set = 248,
    sql_type_tiny_blob = 249,
    sql_type_medium_blob = 250,
    sql_type_long_blob = 251,
    sql_type_blob = 252,
    sql_type_var_string = 253,
    sql_type_string = 254,
    sql_type_geometry = 255,
};

// Flag bits of the field descriptor.
constexpr unsigned sql_flag_not_null = 1;
constexpr unsigned sql_flag_unsigned = 32;
constexpr unsigned sql_flag_binary = 128;
constexpr unsigned sql_flag_auto_increment = 512;

// The character-set number of binary strings (BINARY, VARBINARY, BLOB).
constexpr unsigned sql_charset_binary = 63;

// What the field descriptor says of a column.
struct sql_column_type {
    int type = sql_type_var_string;
    unsigned flags = 0;
    unsigned long length = 0;
    unsigned decimals = 0;
    // 0 when the server does not send character sets (before 4.1).
    unsigned charsetnr = 0;

    static sql_column_type of(const MYSQL_FIELD& field);
    bool is_unsigned() const { return (flags & sql_flag_unsigned) != 0; }
    bool is_blob() const { return type >= sql_type_tiny_blob && type <= sql_type_blob; }
    // Binary data rather than text: the binary character set. A TEXT column with a binary
    // collation (utf8mb4_bin) carries the BINARY flag too but is text. Servers without
    // character sets mark binary BLOBs by the flag alone.
    bool is_binary() const;
};

enum class sql_value_path { text, digits, binary, bits };

struct sql_value_kind {
    VARTYPE vartype = VT_BSTR;
    sql_value_path path = sql_value_path::text;
};

// The kind of a column and the path of its values. With blob_to_text, binary BLOBs are read
// as UTF-8 text; binary strings (BINARY, VARBINARY) stay bytes.
sql_value_kind mysql_type_to_vartype(const sql_column_type& column, bool blob_to_text);

// The decimal precision of a DECIMAL column from the client's display length: the length
// counts one position for the point when there are decimals and one for the sign unless the
// column is UNSIGNED.
int32_t sql_decimal_precision(const sql_column_type& column);
