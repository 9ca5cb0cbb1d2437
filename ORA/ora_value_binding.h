// What one value of a record becomes when it is bound for its Oracle column: the rules that
// decide whether a value arrives exactly, arrives altered under a documented rule, or cannot be
// stored at all. The insert path (ora_table) applies them to every value.
//
// Rules, by the column's bind kind:
//   text      the text; the empty text is NULL (Oracle has no empty text).
//   number    integers and decimals exactly; a decimal of more than 38 significant digits is
//             rounded to 38 (Oracle's NUMBER keeps no more) and noted; a floating-point value
//             in its shortest exact text, beyond NUMBER's range (|x| >= 1e126) stored as NULL
//             or as the column's default when it is NOT NULL, and below it (0 < |x| < 1e-130)
//             as 0, both noted.
//   date      "YYYY-MM-DD HH24:MI:SS" (bound as its 7-byte DATE); a fraction of a second is
//             cut and noted; a time without a date gets the first day of the current month
//             (Oracle's date of a time alone); a duration beyond a day or below zero, the year
//             0 and years beyond 9999 cannot be stored.
//   timestamp the same with the fraction, cut to the column's digits (noted when that loses
//             any).
//   interval  a duration "+DD HH:MI:SS.FFFFFF"; a value with a date cannot be stored.
// A value that does not convert to the column's kind at all cannot be stored either. Such a
// value raises ora_value_rejected: its record is reported and not written; the run goes on.
#pragma once

#include <cstdint>
#include <string>

#include "TK/tk_exception.h"
#include "UDB/udb_schema.h"

// How a column's value reaches Oracle.
enum class ora_bind_kind { text, number, date, timestamp, interval, raw, clob, blob };

ora_bind_kind ora_bind_kind_of(const t_ftd& column);

// The expression that puts a bound value into the column: TO_TIMESTAMP(:v, ...) for a
// timestamp, TO_DSINTERVAL(:v) for an interval, the placeholder itself otherwise (a date is
// bound as Oracle's 7-byte DATE, see ora_date_bytes).
std::wstring ora_bind_expression(ora_bind_kind kind, const std::wstring& placeholder);

// A value that its column cannot hold. Level 0: the record is reported and the run goes on.
class ora_value_rejected : public tk_exception {
  public:
    ora_value_rejected(const t_ftd& column, const ole_variant& value, const std::string& reason);
};

// The bound form of a value of a text, number, date, timestamp or interval column.
struct ora_bound_value {
    bool is_null = true;
    std::wstring text;
    // A NULL in a NOT NULL column that must not relax the column (the caller otherwise makes
    // the column nullable for it).
    bool keep_not_null = false;
    // Not empty when the value is stored altered: what became of it and why.
    std::string note;
};

// Raises ora_value_rejected as described above; a NULL value gives a NULL.
ora_bound_value ora_bind_scalar(const t_ftd& column, const ole_variant& value);
// The same with the column's bind kind already known (ora_bind_kind_of).
ora_bound_value ora_bind_scalar(const t_ftd& column, const ole_variant& value, ora_bind_kind kind);

// The value of an integer kind (VT_I1 to VT_I8, VT_UI1 to VT_UI8, VT_INT, VT_UINT) that fits
// 64 signed bits: the number rules leave it as it is, so it may be bound as a binary integer.
// False for any other value.
bool ora_whole_number(const ole_variant& value, int64_t& whole) noexcept;

// The text of a number of any numeric kind, in its shortest exact form.
std::wstring ora_number_text(const ole_variant& value);

// Rounds a decimal text ("-123.4500") to at most digits significant digits, half away from
// zero; sets changed when a non-zero digit was dropped.
std::wstring ora_round_significant(const std::wstring& text, int digits, bool& changed);
