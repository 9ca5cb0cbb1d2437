#include "ORA/ora_value_binding.h"

#include <charconv>
#include <cmath>

#include "ORA/ora_temporal.h"
#include "ORA/ora_type_mapping.h"
#include "TK/tk_text.h"
#include "platform/codepage.h"
#include "platform/oleauto.h"

namespace {

// Oracle's NUMBER holds magnitudes from 1e-130 to just below 1e126, with 38 digits. The double
// nearest 1e126 lies below it (9.9999999999999992e125) and fits; every double above it is
// beyond. Its shortest text, "1E126", would not fit: it is written with all 17 digits.
constexpr double number_ceiling = 1e126;
constexpr double number_floor = 1e-130;
constexpr int number_digits = 38;

// A double with 17 significant digits, whatever the process locale.
std::wstring seventeen_digits(double number) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific, 16);
    return std::wstring(buffer, result.ptr);
}

// A value as a user knows it from MySQL: numbers in their shortest exact text, a time (or
// duration) without the "0000-00-00" of no date, everything else as its text.
std::string value_text(const ole_variant& value) {
    try {
        if (ora_is_numeric_kind(value.vartype())) {
            return platform::wide_to_utf8(ora_number_text(value));
        }
        std::wstring text = value.to_wstring();
        static const std::wstring no_date = L"0000-00-00 ";
        if (value.vartype() == VT_DATE && text.starts_with(no_date)) {
            text.erase(0, no_date.size());
        }
        return platform::wide_to_utf8(text);
    } catch (const std::exception&) {
        return "?";
    }
}

std::string stored_as(const std::wstring& text) {
    return "stored as " + platform::wide_to_utf8(text);
}

// The value as the column's kind (a copy only when it is another kind); a value that does not
// convert cannot be stored.
ole_variant converted(const t_ftd& column, const ole_variant& value, VARTYPE kind) {
    ole_variant result = value;
    try {
        result.change_type(kind);
    } catch (const tk_exception&) {
        throw ora_value_rejected(column, value,
                                 "it does not convert to the column's type (" +
                                     platform::wide_to_utf8(get_native_type(column)) + ")");
    }
    return result;
}

ora_bound_value text_value(const t_ftd& column, const ole_variant& value) {
    ora_bound_value bound;
    if (value.vartype() == VT_BSTR) {
        bound.text = value.bstr();
    } else {
        bound.text = converted(column, value, VT_BSTR).bstr();
    }
    // Oracle has no empty text: it is NULL.
    bound.is_null = bound.text.empty();
    return bound;
}

// A floating-point value beyond what NUMBER holds: NULL, or the column's default when it is
// NOT NULL (without a default the column is made nullable by the caller).
ora_bound_value out_of_range(const t_ftd& column) {
    ora_bound_value bound;
    std::string what = "is beyond the range of Oracle's NUMBER (1e126); ";
    if (column.not_null && ora_is_numeric_kind(column.default_value.vartype())) {
        bound.is_null = false;
        bound.text = ora_number_text(column.default_value);
        bound.keep_not_null = true;
        bound.note = what + "stored as the column's default " + platform::wide_to_utf8(bound.text);
        return bound;
    }
    bound.note = what + "stored as NULL";
    return bound;
}

ora_bound_value number_value(const t_ftd& column, const ole_variant& given) {
    const bool numeric = ora_is_numeric_kind(given.vartype());
    ole_variant copy;
    if (!numeric) {
        copy = converted(column, given, column.vartype);
    }
    const ole_variant& value = numeric ? given : copy;
    ora_bound_value bound;
    if (value.is_null()) {
        return bound;
    }
    if (ora_is_float_kind(value.vartype())) {
        const double number = value.to_double();
        if (!std::isfinite(number) || std::fabs(number) > number_ceiling) {
            return out_of_range(column);
        }
        bound.is_null = false;
        if (number != 0 && std::fabs(number) < number_floor) {
            bound.text = L"0";
            bound.note = "is smaller than Oracle's NUMBER holds (1e-130); stored as 0";
            return bound;
        }
        bound.text =
            std::fabs(number) == number_ceiling ? seventeen_digits(number) : ora_number_text(value);
        return bound;
    }
    bound.is_null = false;
    bound.text = ora_number_text(value);
    if (value.vartype() == VT_DECIMAL || value.vartype() == VT_CY) {
        bool changed = false;
        std::wstring rounded = ora_round_significant(bound.text, number_digits, changed);
        if (changed) {
            bound.note = "has more than 38 significant digits, which Oracle's NUMBER keeps; " +
                         stored_as(rounded);
            bound.text = std::move(rounded);
        }
    }
    return bound;
}

bool has_date(const SYSTEMTIME& t) {
    return t.wYear != 0 || t.wMonth != 0 || t.wDay != 0;
}

// Whether a value without a date is a time of day rather than MySQL's zero date: a value of a
// time column is a time, one of a date column the zero date. In a table that existed before
// (no kind known), a value the source read as a date and time is a time, since the source reads
// zero dates as NULL; only a text read as a date here can still be the zero date
// "0000-00-00 00:00:00".
bool is_time_of_day(const t_ftd& column, const ole_variant& given, const ole_variant& value) {
    if (column.subtype == t_ftd::date_kind_time || column.subtype == t_ftd::date_kind_duration) {
        return true;
    }
    if (column.subtype == t_ftd::date_kind_date_time || column.subtype == t_ftd::date_kind_date) {
        return false;
    }
    const SYSTEMTIME& t = value.date_parts();
    const bool midnight =
        t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0 && value.date_microseconds() == 0;
    return given.vartype() == VT_DATE || !midnight;
}

ora_bound_value moment_value(const t_ftd& column, const ole_variant& given, ora_bind_kind kind) {
    ole_variant copy;
    if (given.vartype() != VT_DATE) {
        copy = converted(column, given, VT_DATE);
    }
    const ole_variant& value = given.vartype() == VT_DATE ? given : copy;
    ora_bound_value bound;
    if (value.is_null()) {
        return bound;
    }
    const SYSTEMTIME& t = value.date_parts();
    if (value.is_long_duration()) {
        throw ora_value_rejected(column, value,
                                 "it is no time of day (below 00:00:00 or beyond 23:59:59), which "
                                 "a DATE or TIMESTAMP column cannot hold; convert TIME columns "
                                 "as intervals to keep such values");
    }
    std::wstring date_part;
    if (!has_date(t)) {
        if (!is_time_of_day(column, given, value)) {
            return bound;  // MySQL's zero date is no date: NULL
        }
        // A time gets Oracle's date of a time alone.
        date_part = ora_current_month_start();
    } else if (t.wYear == 0) {
        throw ora_value_rejected(column, value,
                                 "the year 0 does not exist in Oracle's calendar (ORA-01841)");
    } else if (t.wYear > 9999) {
        throw ora_value_rejected(column, value,
                                 "Oracle's calendar ends with the year 9999 (ORA-01841)");
    }
    const int32_t digits = kind == ora_bind_kind::date ? 0 : column.fraction_digits;
    bound.is_null = false;
    bound.text =
        kind == ora_bind_kind::date ? ora_date_text(value) : ora_timestamp_text(value, digits);
    if (!date_part.empty()) {
        bound.text.replace(0, 10, date_part);
    }
    if (ora_kept_microseconds(value.date_microseconds(), digits) != value.date_microseconds()) {
        bound.note = "has more digits of a second than the column keeps; " + stored_as(bound.text);
    }
    return bound;
}

ora_bound_value interval_value(const t_ftd& column, const ole_variant& given) {
    ole_variant copy;
    if (given.vartype() != VT_DATE) {
        copy = converted(column, given, VT_DATE);
    }
    const ole_variant& value = given.vartype() == VT_DATE ? given : copy;
    ora_bound_value bound;
    if (value.is_null()) {
        return bound;
    }
    if (has_date(value.date_parts())) {
        throw ora_value_rejected(column, value,
                                 "it is a date, which an INTERVAL DAY TO SECOND column cannot "
                                 "hold");
    }
    bound.is_null = false;
    bound.text = ora_interval_text(value, column.fraction_digits);
    if (ora_kept_microseconds(value.date_microseconds(), column.fraction_digits) !=
        value.date_microseconds()) {
        bound.note = "has more digits of a second than the column keeps; " + stored_as(bound.text);
    }
    return bound;
}

}  // namespace

ora_value_rejected::ora_value_rejected(const t_ftd& column, const ole_variant& value,
                                       const std::string& reason)
    : tk_exception("column \"" + platform::wide_to_utf8(column.name) + "\", value " +
                       value_text(value) + ": not stored, " + reason,
                   0) {}

ora_bind_kind ora_bind_kind_of(const t_ftd& column) {
    if (ora_is_lob_column(column)) {
        return ora_is_text_kind(column.vartype) ? ora_bind_kind::clob : ora_bind_kind::blob;
    }
    if (ora_is_binary_kind(column.vartype)) {
        return ora_bind_kind::raw;
    }
    if (column.vartype == VT_DATE) {
        if (column.subtype == t_ftd::date_kind_duration) {
            return ora_bind_kind::interval;
        }
        return column.fraction_digits > 0 ? ora_bind_kind::timestamp : ora_bind_kind::date;
    }
    if (ora_is_numeric_kind(column.vartype)) {
        return ora_bind_kind::number;
    }
    return ora_bind_kind::text;
}

std::wstring ora_bind_expression(ora_bind_kind kind, const std::wstring& placeholder) {
    switch (kind) {
        case ora_bind_kind::timestamp:
            return L"TO_TIMESTAMP(" + placeholder + L", '" + ora_timestamp_format + L"')";
        case ora_bind_kind::interval:
            return L"TO_DSINTERVAL(" + placeholder + L")";
        default:
            return placeholder;
    }
}

ora_bound_value ora_bind_scalar(const t_ftd& column, const ole_variant& value) {
    return ora_bind_scalar(column, value, ora_bind_kind_of(column));
}

ora_bound_value ora_bind_scalar(const t_ftd& column, const ole_variant& value, ora_bind_kind kind) {
    if (value.is_null()) {
        return {};
    }
    ora_bound_value bound;
    switch (kind) {
        case ora_bind_kind::number:
            bound = number_value(column, value);
            break;
        case ora_bind_kind::date:
        case ora_bind_kind::timestamp:
            bound = moment_value(column, value, kind);
            break;
        case ora_bind_kind::interval:
            bound = interval_value(column, value);
            break;
        default:
            bound = text_value(column, value);
            break;
    }
    if (!bound.note.empty()) {
        bound.note = "column \"" + platform::wide_to_utf8(column.name) + "\", value " +
                     value_text(value) + ": " + bound.note;
    }
    return bound;
}

bool ora_whole_number(const ole_variant& value, int64_t& whole) noexcept {
    // VT_BOOL is an integer kind to OLE (true is -1) but 1 or 0 to the number rules.
    __int128 integer = 0;
    if (value.vartype() == VT_BOOL || !ole_integer_value(value.variant(), integer) ||
        integer > INT64_MAX) {
        return false;
    }
    whole = static_cast<int64_t>(integer);
    return true;
}

std::wstring ora_number_text(const ole_variant& value) {
    switch (value.vartype()) {
        case VT_R8:
            return var_text_from_r8(value.variant().dblVal);
        case VT_R4:
            return var_text_from_r4(value.variant().fltVal);
        case VT_BOOL:
            return value.bool_value() ? L"1" : L"0";
        default:
            return value.to_wstring();
    }
}

std::wstring ora_round_significant(const std::wstring& text, int digits, bool& changed) {
    changed = false;
    size_t pos = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (negative || (!text.empty() && text[0] == L'+')) {
        pos = 1;
    }
    // The digits without the point, and where the point stands among them.
    std::wstring all;
    size_t point = std::wstring::npos;
    for (; pos < text.size(); ++pos) {
        const wchar_t c = text[pos];
        if (c == L'.' || c == L',') {
            point = all.size();
        } else if (c >= L'0' && c <= L'9') {
            all.push_back(c);
        } else {
            return text;  // an exponent or anything else: not a plain decimal text
        }
    }
    if (point == std::wstring::npos) {
        point = all.size();
    }
    const size_t first = all.find_first_not_of(L'0');
    if (first == std::wstring::npos || all.size() - first <= static_cast<size_t>(digits)) {
        return text;
    }
    const size_t cut = first + static_cast<size_t>(digits);
    if (all.find_first_not_of(L'0', cut) == std::wstring::npos) {
        return text;  // only zeros beyond the kept digits
    }
    changed = true;
    const bool up = all[cut] >= L'5';
    all.replace(cut, all.size() - cut, all.size() - cut, L'0');
    for (size_t k = cut; up && k-- > 0;) {
        if (all[k] == L'9') {
            all[k] = L'0';
            if (k == 0) {
                all.insert(all.begin(), L'1');
                ++point;
            }
            continue;
        }
        ++all[k];
        break;
    }
    std::wstring whole = all.substr(0, point);
    std::wstring fraction = all.substr(point);
    while (!fraction.empty() && fraction.back() == L'0') {
        fraction.pop_back();
    }
    const size_t lead = whole.find_first_not_of(L'0');
    whole = lead == std::wstring::npos ? L"0" : whole.substr(lead);
    return (negative ? L"-" : L"") + whole + (fraction.empty() ? L"" : L"." + fraction);
}
