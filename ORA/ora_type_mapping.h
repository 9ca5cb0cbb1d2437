// How the value kinds of the system's columns become Oracle column types, in one place.
//
// Dates and times: a column without a fraction of a second is DATE, one with n digits of it
// TIMESTAMP(n), and a duration (a TIME column converted as an interval) INTERVAL DAY(2) TO
// SECOND(n).
//
// The whole mapping is the table in ora_type_mapping.cpp. Text columns of 1..4000 characters
// become VARCHAR2(n CHAR) (Oracle counts VARCHAR2(n) in bytes, and non-ASCII text needs more
// bytes than characters), longer or unlimited ones CLOB; binary columns of 1..2000 bytes become
// RAW(n) (RAW's limit), longer or unlimited ones BLOB. The same limits decide which columns the
// insert path writes through LOB locators and which cannot be indexed, so that the three agree.
#pragma once

#include <cstdint>
#include <string>

#include "UDB/udb_schema.h"

inline constexpr int32_t ora_max_varchar2_chars = 4000;
inline constexpr int32_t ora_max_raw_bytes = 2000;
inline constexpr int32_t ora_max_number_precision = 38;

// Value kinds held as text (VT_BSTR) and as bytes (VT_BLOB, VT_BLOB_OBJECT, VT_ARRAY|VT_UI1).
bool ora_is_text_kind(VARTYPE kind);
bool ora_is_binary_kind(VARTYPE kind);
// Float kinds whose values may lie outside Oracle's NUMBER range.
bool ora_is_float_kind(VARTYPE kind);
// Kinds written as numbers.
bool ora_is_numeric_kind(VARTYPE kind);
// A column stored as CLOB (text) or BLOB (binary).
bool ora_is_lob_column(VARTYPE kind, int32_t size);
inline bool ora_is_lob_column(const t_ftd& field) {
    return ora_is_lob_column(field.vartype, field.size);
}

// The Oracle type of a column ("NUMBER(11,0)", "VARCHAR2(40 CHAR)", "CLOB", ...), or the text
// of a custom conversion rule that accepts the column. A kind without an Oracle type raises
// tk_mail_assertion.
std::wstring get_native_type(const t_ftd& field);
