// How the value kinds of the system's columns become Oracle column types, in one place.
//
// Dates and times: a column without a fraction of a second is DATE, one with n digits of it
// TIMESTAMP(n), and a duration (a TIME column converted as an interval) INTERVAL DAY(2) TO
// SECOND(n).
//
// The whole mapping is the table in ora_type_mapping.cpp. A text column becomes VARCHAR2(n CHAR)
// when its longest value fits in a VARCHAR2 (4000 bytes, whatever n says: n characters of
// utf8mb4 may need 4n bytes), else CLOB; a binary column of 1..2000 bytes becomes RAW(n), longer
// or unlimited ones BLOB. A database of MAX_STRING_SIZE = EXTENDED holds 32767 bytes in both
// (ora_set_extended_strings). The same limits decide which columns the insert path writes
// through LOB locators and which cannot be indexed, so that the three agree.
#pragma once

#include <cstdint>
#include <string>

#include "UDB/udb_schema.h"

inline constexpr int32_t ora_max_number_precision = 38;

// The most bytes a VARCHAR2 and a RAW value hold on the destination database: 4000 and 2000,
// 32767 both where MAX_STRING_SIZE is EXTENDED. The connection sets it once it has read the
// parameter; any thread reads it.
int32_t ora_max_varchar2_bytes() noexcept;
int32_t ora_max_raw_bytes() noexcept;
void ora_set_extended_strings(bool extended) noexcept;

// Value kinds held as text (VT_BSTR) and as bytes (VT_BLOB, VT_BLOB_OBJECT, VT_ARRAY|VT_UI1).
bool ora_is_text_kind(VARTYPE kind);
bool ora_is_binary_kind(VARTYPE kind);
// Float kinds whose values may lie outside Oracle's NUMBER range.
bool ora_is_float_kind(VARTYPE kind);
// Kinds written as numbers.
bool ora_is_numeric_kind(VARTYPE kind);
// A column stored as CLOB (text) or BLOB (binary): a text column whose longest value (size
// characters of bytes_per_char bytes) may not fit in a VARCHAR2, a binary one longer than RAW.
bool ora_is_lob_column(VARTYPE kind, int32_t size, int32_t bytes_per_char = 1);
inline bool ora_is_lob_column(const t_ftd& field) {
    return ora_is_lob_column(field.vartype, field.size, field.bytes_per_char);
}

// The Oracle type of a column ("NUMBER(11,0)", "VARCHAR2(40 CHAR)", "CLOB", ...), or the text
// of a custom conversion rule that accepts the column. A kind without an Oracle type raises
// tk_mail_assertion.
std::wstring get_native_type(const t_ftd& field);
