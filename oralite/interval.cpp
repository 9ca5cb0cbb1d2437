#include "oralite/interval.h"

#include <cctype>

#include "oralite/ora_error.h"

namespace oralite {

namespace {

constexpr int64_t k_max_days = 999999999;
constexpr nanos_t k_nanos_per_hour = k_nanos_per_second * 3600;
constexpr nanos_t k_nanos_per_minute = k_nanos_per_second * 60;
// Added to a signed total so that the stored digits sort as the intervals do.
constexpr nanos_t k_storage_offset = k_nanos_per_day * 1000000000 * 10;

nanos_t power_of_ten(int n) {
    nanos_t p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

int digit_count(int64_t n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

std::string digits_of(nanos_t n, int width) {
    std::string out;
    do {
        out.insert(out.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
        n /= 10;
    } while (n > 0);
    if (static_cast<int>(out.size()) < width)
        out.insert(0, static_cast<size_t>(width) - out.size(), '0');
    return out;
}

// Reads interval texts: digits, blanks and the characters between fields.
struct scanner {
    std::string_view text;
    size_t pos = 0;

    bool at_end() const { return pos >= text.size(); }
    char peek() const { return at_end() ? '\0' : text[pos]; }
    bool accept(char c) {
        if (peek() != c)
            return false;
        ++pos;
        return true;
    }
    size_t blanks() {
        size_t start = pos;
        while (peek() == ' ') ++pos;
        return pos - start;
    }
    // An unsigned number of 1..max_digits digits; ORA-01867 otherwise.
    int64_t number(int max_digits, int* count = nullptr) {
        int64_t n = 0;
        int digits = 0;
        while (std::isdigit(static_cast<unsigned char>(peek()))) {
            if (++digits > max_digits)
                throw ora_error(1867);
            n = n * 10 + (text[pos++] - '0');
        }
        if (digits == 0)
            throw ora_error(1867);
        if (count)
            *count = digits;
        return n;
    }
    // The digits after a point as nanoseconds (at most nine digits).
    int64_t fraction() {
        int digits = 0;
        int64_t n = number(9, &digits);
        return static_cast<int64_t>(n * power_of_ten(9 - digits));
    }
    void expect_end() {
        blanks();
        if (!at_end())
            throw ora_error(1867);
    }
};

void check_range(int64_t value, int64_t max, int error) {
    if (value > max)
        throw ora_error(error);
}

interval_ds signed_total(bool negative, nanos_t magnitude, int lead, int fraction) {
    return interval_ds::from_nanos(negative ? -magnitude : magnitude, lead, fraction);
}

interval_ds parse_sql_form(scanner& in) {
    bool negative = false;
    if (in.peek() == '+' || in.peek() == '-')
        negative = in.text[in.pos++] == '-';
    int64_t days = in.number(9);
    if (in.blanks() == 0)
        throw ora_error(1867);
    int64_t hours = in.number(2);
    in.blanks();
    if (!in.accept(':'))
        throw ora_error(1867);
    in.blanks();
    int64_t minutes = in.number(2);
    in.blanks();
    if (!in.accept(':'))
        throw ora_error(1867);
    in.blanks();
    int64_t seconds = in.number(2);
    int64_t fraction = 0;
    if (in.accept('.'))
        fraction = in.fraction();
    in.expect_end();
    check_range(hours, 23, 1850);
    check_range(minutes, 59, 1851);
    check_range(seconds, 59, 1852);
    nanos_t total = days * k_nanos_per_day + hours * k_nanos_per_hour +
                    minutes * k_nanos_per_minute + seconds * k_nanos_per_second + fraction;
    return signed_total(negative, total, 9, 9);
}

interval_ds parse_iso_form(scanner& in) {
    bool negative = in.accept('-');
    if (!in.accept('P'))
        throw ora_error(1867);
    nanos_t total = 0;
    bool any = false;
    auto component = [&](char unit, nanos_t scale) {
        size_t start = in.pos;
        if (!std::isdigit(static_cast<unsigned char>(in.peek())))
            return;
        int64_t n = in.number(9);
        int64_t fraction = 0;
        if (unit == 'S' && in.accept('.'))
            fraction = in.fraction();
        if (!in.accept(unit)) {
            in.pos = start;
            return;
        }
        total += n * scale + fraction;
        any = true;
    };
    component('D', k_nanos_per_day);
    if (in.accept('T')) {
        // After T at least one of the hours, minutes and seconds.
        bool date_part = any;
        any = false;
        component('H', k_nanos_per_hour);
        component('M', k_nanos_per_minute);
        component('S', k_nanos_per_second);
        if (!any)
            throw ora_error(1867);
        any = any || date_part;
    }
    if (!any || !in.at_end())
        throw ora_error(1867);
    if (total / k_nanos_per_day > k_max_days)
        throw ora_error(1873);
    return signed_total(negative, total, 9, 9);
}

const char* field_separator(interval_field next) {
    switch (next) {
        case interval_field::hour:
            return " ";
        case interval_field::minute:
        case interval_field::second:
            return ":";
        case interval_field::day:
            break;
    }
    return "";
}

nanos_t field_unit(interval_field f) {
    switch (f) {
        case interval_field::day:
            return k_nanos_per_day;
        case interval_field::hour:
            return k_nanos_per_hour;
        case interval_field::minute:
            return k_nanos_per_minute;
        case interval_field::second:
            break;
    }
    return k_nanos_per_second;
}

// The largest value of a field that follows another, and the error beyond it.
std::pair<int64_t, int> field_limit(interval_field f) {
    switch (f) {
        case interval_field::hour:
            return {23, 1850};
        case interval_field::minute:
            return {59, 1851};
        default:
            return {59, 1852};
    }
}

}  // namespace

interval_ds interval_ds::from_nanos(nanos_t total, int lead_digits, int fraction_digits) {
    interval_ds out;
    out.negative = total < 0;
    nanos_t magnitude = total < 0 ? -total : total;
    out.days = static_cast<int64_t>(magnitude / k_nanos_per_day);
    out.nanos = static_cast<int64_t>(magnitude % k_nanos_per_day);
    out.lead = lead_digits;
    out.fraction = fraction_digits;
    return out;
}

nanos_t interval_ds::total_nanos() const {
    nanos_t magnitude = static_cast<nanos_t>(days) * k_nanos_per_day + nanos;
    return negative ? -magnitude : magnitude;
}

int interval_ds::compare(const interval_ds& other) const {
    nanos_t a = total_nanos(), b = other.total_nanos();
    return a < b ? -1 : (a > b ? 1 : 0);
}

interval_ds interval_ds::fitted(int lead_digits, int fraction_digits) const {
    nanos_t unit = power_of_ten(9 - fraction_digits);
    nanos_t magnitude = static_cast<nanos_t>(days) * k_nanos_per_day + nanos;
    magnitude = (magnitude + unit / 2) / unit * unit;
    interval_ds out = signed_total(negative, magnitude, lead_digits, fraction_digits);
    if (out.days >= power_of_ten(lead_digits))
        throw ora_error(1873);
    return out;
}

std::string interval_ds::text() const {
    int64_t seconds = nanos / 1000000000;
    int64_t part = nanos % 1000000000;
    std::string out(1, negative ? '-' : '+');
    out += digits_of(days, lead);
    out += ' ' + digits_of(seconds / 3600, 2) + ':' + digits_of(seconds / 60 % 60, 2) + ':' +
           digits_of(seconds % 60, 2);
    if (fraction > 0)
        out += '.' + digits_of(part, 9).substr(0, static_cast<size_t>(fraction));
    return out;
}

std::string interval_ds::storage_text() const {
    return digits_of(total_nanos() + k_storage_offset, 24);
}

std::optional<interval_ds> interval_ds::from_storage(std::string_view text, int lead_digits,
                                                     int fraction_digits) {
    if (text.size() != 24)
        return std::nullopt;
    nanos_t n = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return from_nanos(n - k_storage_offset, lead_digits, fraction_digits);
}

interval_ds parse_dsinterval(std::string_view text) {
    scanner in{text};
    in.blanks();
    size_t start = in.pos;
    bool iso = in.peek() == 'P' ||
               (in.peek() == '-' && in.pos + 1 < text.size() && text[in.pos + 1] == 'P');
    in.pos = start;
    return iso ? parse_iso_form(in) : parse_sql_form(in);
}

interval_ds parse_interval_literal(std::string_view text, const interval_qualifier& q) {
    scanner in{text};
    in.blanks();
    bool negative = false;
    if (in.peek() == '+' || in.peek() == '-')
        negative = in.text[in.pos++] == '-';
    // The leading field may have up to nine digits; more than its precision is ORA-01873.
    int64_t leading = in.number(9);
    if (leading >= power_of_ten(q.lead))
        throw ora_error(1873);
    nanos_t total = leading * field_unit(q.leading);
    for (int f = static_cast<int>(q.leading) + 1; f <= static_cast<int>(q.trailing); ++f) {
        auto field = static_cast<interval_field>(f);
        const char* separator = field_separator(field);
        if (*separator == ' ') {
            if (in.blanks() == 0)
                throw ora_error(1867);
        } else if (!in.accept(*separator)) {
            throw ora_error(1867);
        }
        int64_t n = in.number(2);
        auto [max, error] = field_limit(field);
        check_range(n, max, error);
        total += n * field_unit(field);
    }
    if (q.trailing == interval_field::second && in.accept('.'))
        total += in.fraction();
    in.expect_end();
    int fraction = q.trailing == interval_field::second ? q.fraction : 0;
    interval_ds raw = signed_total(negative, total, 9, 9);
    int lead = q.leading == interval_field::day ? q.lead : std::max(2, digit_count(raw.days));
    return raw.fitted(lead, fraction);
}

interval_ds interval_from_number(const decimal& n, std::string_view unit) {
    std::string u;
    for (char c : unit) {
        if (c != ' ')
            u.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    nanos_t scale = u == "DAY"      ? k_nanos_per_day
                    : u == "HOUR"   ? k_nanos_per_hour
                    : u == "MINUTE" ? k_nanos_per_minute
                    : u == "SECOND" ? k_nanos_per_second
                                    : 0;
    if (scale == 0)
        throw ora_error(1760);
    decimal total = (n * decimal::from_int(static_cast<int64_t>(scale))).rounded(0);
    decimal billion = decimal::from_int(1000000000);
    decimal seconds = decimal::divide(total, billion).truncated(0);
    auto s = seconds.to_int64();
    auto rest = (total - seconds * billion).to_int64();
    if (!s || !rest || *s / 86400 > k_max_days || -*s / 86400 > k_max_days)
        throw ora_error(1873);
    return interval_ds::from_nanos(static_cast<nanos_t>(*s) * k_nanos_per_second + *rest, 9, 9);
}

namespace {

nanos_t datetime_nanos(const datetime& d) {
    return static_cast<nanos_t>(d.day_number()) * k_nanos_per_day +
           static_cast<nanos_t>(d.hour * 3600 + d.minute * 60 + d.second) * k_nanos_per_second +
           d.nanos;
}

}  // namespace

datetime add_interval(const datetime& d, const interval_ds& i, bool subtract) {
    nanos_t total = datetime_nanos(d) + (subtract ? -i.total_nanos() : i.total_nanos());
    nanos_t day = total / k_nanos_per_day;
    if (total % k_nanos_per_day < 0)
        --day;
    nanos_t rest = total - day * k_nanos_per_day;
    if (day > INT32_MAX || day < INT32_MIN)
        throw ora_error(1841);
    datetime out = datetime::from_day_number(static_cast<int64_t>(day));
    int64_t seconds = static_cast<int64_t>(rest / k_nanos_per_second);
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds / 60 % 60);
    out.second = static_cast<int>(seconds % 60);
    out.nanos = static_cast<int>(rest % k_nanos_per_second);
    if (!out.valid())
        throw ora_error(1841);
    return out;
}

datetime round_fraction(const datetime& d, int digits) {
    int64_t unit = static_cast<int64_t>(power_of_ten(9 - digits));
    int64_t kept = (d.nanos + unit / 2) / unit * unit;
    datetime whole = d;
    whole.nanos = 0;
    return add_interval(whole, interval_ds::from_nanos(kept, 9, 9), false);
}

interval_ds datetime_difference(const datetime& a, const datetime& b) {
    return interval_ds::from_nanos(datetime_nanos(a) - datetime_nanos(b), 9, 9);
}

interval_ds add_intervals(const interval_ds& a, const interval_ds& b, bool subtract) {
    nanos_t total = a.total_nanos() + (subtract ? -b.total_nanos() : b.total_nanos());
    interval_ds out = interval_ds::from_nanos(total, 9, 9);
    if (out.days > k_max_days)
        throw ora_error(1873);
    return out;
}

}  // namespace oralite
