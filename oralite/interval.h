// Oracle INTERVAL DAY TO SECOND values: reading their SQL and ISO texts and literals, writing
// the text Oracle gives them, the form kept in storage, rounding to a column's precisions and
// the arithmetic with dates and timestamps.
//
// A value is a sign with a magnitude of days (at most nine digits) and nanoseconds within the
// day; it also carries the precisions of the type it came from (digits of the day field and of
// the fraction of a second), which decide its text. Plain values, no ownership, no threads;
// errors are ora_error with Oracle's numbers (01867, 01873, 01850-01852, 01841).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "oralite/datetime.h"
#include "oralite/decimal.h"

namespace oralite {

// Signed nanoseconds; the largest interval (about 8.64e22 ns) needs more than 64 bits.
using nanos_t = __int128;

inline constexpr nanos_t k_nanos_per_second = 1000000000;
inline constexpr nanos_t k_nanos_per_day = k_nanos_per_second * 86400;

struct interval_ds {
    bool negative = false;
    int64_t days = 0;   // 0 .. 999999999
    int64_t nanos = 0;  // within the day: 0 .. 86399999999999
    int lead = 9;       // digits of the day field of the value's type (0 .. 9)
    int fraction = 9;   // digits of the fraction of a second of the value's type (0 .. 9)

    static interval_ds from_nanos(nanos_t total, int lead, int fraction);
    nanos_t total_nanos() const;
    int compare(const interval_ds& other) const;

    // The value a column of INTERVAL DAY(lead) TO SECOND(fraction) keeps: the fraction rounded
    // to its digits (carrying into the seconds and days), ORA-01873 when the days then need
    // more than `lead` digits.
    interval_ds fitted(int lead, int fraction) const;

    // "+DD HH:MI:SS.FFFFFF": the days with `lead` digits, `fraction` digits of a second (no
    // point when there are none).
    std::string text() const;
    // A fixed-width text whose byte order is the order of the intervals.
    std::string storage_text() const;
    static std::optional<interval_ds> from_storage(std::string_view text, int lead, int fraction);
};

// TO_DSINTERVAL and the implicit conversion of a text: the SQL form "[+|-]D H:M:S[.F]" or the
// ISO form "[-]P[nD][T[nH][nM][n[.F]S]]". The result has the precisions DAY(9) TO SECOND(9).
interval_ds parse_dsinterval(std::string_view text);

// The fields of an interval literal's qualifier, DAY[(p)] TO SECOND[(f)] and its shorter forms.
enum class interval_field : uint8_t { day, hour, minute, second };
struct interval_qualifier {
    interval_field leading = interval_field::day;
    interval_field trailing = interval_field::second;
    int lead = 2;      // digits of the leading field
    int fraction = 6;  // digits of the fraction (when the trailing field is SECOND)
};

// The value of INTERVAL 'text' qualifier (ORA-01867 for a text of another form, ORA-01873 when
// the leading field has more digits than its precision).
interval_ds parse_interval_literal(std::string_view text, const interval_qualifier& q);

// NUMTODSINTERVAL(n, 'DAY' | 'HOUR' | 'MINUTE' | 'SECOND'); ORA-01760 for another unit.
interval_ds interval_from_number(const decimal& n, std::string_view unit);

// A date or timestamp moved by an interval (ORA-01841 beyond the years Oracle keeps).
datetime add_interval(const datetime& d, const interval_ds& i, bool subtract);
// a - b of two timestamps, an INTERVAL DAY(9) TO SECOND(9).
interval_ds datetime_difference(const datetime& a, const datetime& b);
// A timestamp with its fraction rounded to `digits` digits, carrying into the seconds and on to
// the years (ORA-01841 past 9999).
datetime round_fraction(const datetime& d, int digits);
// The sum or difference of two intervals.
interval_ds add_intervals(const interval_ds& a, const interval_ds& b, bool subtract);

}  // namespace oralite
