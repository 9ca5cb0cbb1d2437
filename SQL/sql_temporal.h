// MySQL's text of DATE, DATETIME, TIMESTAMP and TIME values, read exactly.
//
// The client sends temporal values in fixed forms: "YYYY-MM-DD", "YYYY-MM-DD hh:mm:ss[.f]" and
// "[-]h:mm:ss[.f]" with up to 838 hours and up to six fraction digits. They are read here to the
// microsecond, without rounding, into a VT_DATE value (see ole_variant): a TIME is a value
// without a date, which may be a duration beyond a day or below zero.
//
// MySQL's lenient modes also store dates that no calendar has: the zero date (0000-00-00, with
// or without a time) and partial zero dates whose month or day is 0 (2024-00-00,
// 2024-05-00 10:00:00). Both mean "no date" and are told apart so that the caller can count
// the partial ones. Text in none of the forms is unreadable; the caller keeps it as text.
#pragma once

#include <string_view>

#include "UDB/ole_variant.h"

enum class sql_temporal_status { value, zero_date, partial_zero_date, unreadable };

struct sql_temporal {
    sql_temporal_status status = sql_temporal_status::unreadable;
    // VT_DATE when status is value, else empty.
    ole_variant value;
};

// type_code: the client's type code of the column (sql_type_time reads the TIME form, the
// other temporal codes the date forms).
sql_temporal sql_read_temporal(int type_code, std::string_view text);
