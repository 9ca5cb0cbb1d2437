// Records read from MySQL: how one row of the client library becomes a list of values.
//
// sql_column describes one result column once per statement (its type, the kind and path of
// its values, its name shared by every value of the column). sql_record builds the values of
// one row; sql_field builds one value. Text arrives as UTF-8 and becomes wide text with every
// character (zero characters included); binary data keeps every byte; dates and times keep
// their microseconds (sql_temporal.h); NULL is an empty value (VT_EMPTY) on every path, never
// a default or a zero. MySQL's zero and partial zero dates ("no date") are NULL as well.
#pragma once

#include <mysql.h>

#include <string_view>
#include <vector>

#include "SQL/sql_type_map.h"
#include "UDB/udb_database.h"

class sql_row;

struct sql_column {
    sql_column_type type;
    sql_value_kind kind;
    udb_name name;
    // Partial zero dates (2024-00-00, 2024-05-00) read as NULL so far, for the trace log.
    mutable int64_t partial_zero_dates = 0;
};

// The columns of a result, as the client describes them.
std::vector<sql_column> sql_describe_columns(const MYSQL_FIELD* fields, unsigned count,
                                             bool blob_to_text);

// Text conversions: the client's text of a value read as the given kind. A null text gives
// an empty value. VT_BOOL is true when the text is not empty and its first character is not
// zero (a BIT(1) value is one byte, 0 or 1).
ole_variant get_variant(VARTYPE type, const char* text, size_t length);
ole_variant get_variant(VARTYPE type, std::wstring_view text);

// The value of one column of a row: v is the client's value (null for NULL) and n its length.
ole_variant get_variant(const sql_column& column, const char* v, unsigned long n);

// A BIT value: the server sends ceil(bits / 8) bytes, most significant first.
ole_variant sql_bits_value(VARTYPE kind, const unsigned char* bytes, size_t length);

class sql_field : public udb_field {
  public:
    // The size is the value's byte length in this row.
    sql_field(const sql_column& column, const char* v, unsigned long n);
};

class sql_record : public udb_record {
  public:
    sql_record(const std::vector<sql_column>& columns, const sql_row& row);
    ~sql_record() override;
};
