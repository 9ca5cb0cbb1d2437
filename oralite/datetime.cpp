#include "oralite/datetime.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "oralite/ora_error.h"

namespace oralite {

namespace {

const char* const k_months[] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                "MAY",       "JUNE",     "JULY",     "AUGUST",
                                "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};
const char* const k_days[] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                              "THURSDAY", "FRIDAY", "SATURDAY"};

// Astronomical year (1 BC = 0) to and from Oracle's (1 BC = -1).
int astro(int year) {
    return year < 0 ? year + 1 : year;
}
int from_astro(int year) {
    return year <= 0 ? year - 1 : year;
}

int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y += m <= 2;
}

bool is_leap(int year) {
    int y = astro(year);
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// One element of a format model.
struct element {
    enum kind_t { literal, punct, keyword } kind;
    std::string text;  // the keyword upper-cased, or the literal text
    std::string raw;   // as written (for the case of names in TO_CHAR)
    int code = -1;     // the keyword's index in k_keywords, so parsing compares numbers
};

constexpr std::string_view k_keywords[] = {
    "SYYYY", "YYYY", "RRRR", "SSSSS", "MONTH", "HH24", "HH12", "A.M.", "P.M.", "YYY", "DDD",
    "MON",   "DAY",  "FF1",  "FF2",   "FF3",   "FF4",  "FF5",  "FF6",  "FF7",  "FF8", "FF9",
    "FF",    "YY",   "RR",   "MM",    "DD",    "DY",   "HH",   "MI",   "SS",   "AM",  "PM",
    "FX",    "FM",   "Y",    "D",     "J",     "Q",    "WW",   "X",    "TZH",  "TZM"};

// The index of a keyword, found while compiling.
consteval int kw(std::string_view name) {
    for (size_t i = 0; i < std::size(k_keywords); ++i) {
        if (k_keywords[i] == name)
            return static_cast<int>(i);
    }
    throw "not a format keyword";
}

bool is_fraction(int keyword) {
    return (keyword >= kw("FF1") && keyword <= kw("FF9")) || keyword == kw("FF");
}

std::vector<element> scan_format(std::string_view fmt) {
    std::vector<element> out;
    size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i];
        if (c == '"') {
            size_t end = fmt.find('"', i + 1);
            if (end == std::string_view::npos) {
                throw ora_error(1821);
            }
            out.push_back({element::literal, std::string(fmt.substr(i + 1, end - i - 1)), ""});
            i = end + 1;
            continue;
        }
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            out.push_back({element::punct, std::string(1, c), std::string(1, c)});
            ++i;
            continue;
        }
        bool found = false;
        for (size_t index = 0; index < std::size(k_keywords); ++index) {
            const std::string_view kw = k_keywords[index];
            size_t n = kw.size();
            if (i + n > fmt.size())
                continue;
            bool match = true;
            for (size_t k = 0; k < n; ++k) {
                if (std::toupper(static_cast<unsigned char>(fmt[i + k])) != kw[k]) {
                    match = false;
                    break;
                }
            }
            if (match) {
                out.push_back({element::keyword, std::string(kw), std::string(fmt.substr(i, n)),
                               static_cast<int>(index)});
                i += n;
                found = true;
                break;
            }
        }
        if (!found) {
            throw ora_error(1821);
        }
    }
    return out;
}

// A statement converts many values with the same few format models: each is read once per
// thread and kept (up to a bound, so generated formats cannot grow the cache without end).
const std::vector<element>& tokenize_format(std::string_view fmt) {
    thread_local std::map<std::string, std::vector<element>, std::less<>> cache;
    auto it = cache.find(fmt);
    if (it != cache.end())
        return it->second;
    std::vector<element> elements = scan_format(fmt);
    if (cache.size() >= 64)
        cache.clear();
    return cache.emplace(std::string(fmt), std::move(elements)).first->second;
}

struct input_cursor {
    std::string_view text;
    size_t pos = 0;
    bool at_end() const { return pos >= text.size(); }
    void skip_blanks() {
        while (pos < text.size() && text[pos] == ' ') ++pos;
    }
};

int read_number(input_cursor& in, int max_digits, bool allow_sign = false) {
    in.skip_blanks();
    if (in.at_end()) {
        throw ora_error(1840);
    }
    bool neg = false;
    if (allow_sign && (in.text[in.pos] == '-' || in.text[in.pos] == '+')) {
        neg = in.text[in.pos] == '-';
        ++in.pos;
    }
    int digits = 0;
    int value = 0;
    while (digits < max_digits && !in.at_end() &&
           std::isdigit(static_cast<unsigned char>(in.text[in.pos]))) {
        value = value * 10 + (in.text[in.pos] - '0');
        ++in.pos;
        ++digits;
    }
    if (digits == 0) {
        throw ora_error(1858);
    }
    return neg ? -value : value;
}

int read_name(input_cursor& in, const char* const* names, int count, int error) {
    in.skip_blanks();
    std::string_view rest = in.text.substr(in.pos);
    for (int full = 1; full >= 0; --full) {
        for (int k = 0; k < count; ++k) {
            std::string_view name = names[k];
            size_t n = full ? name.size() : 3;
            if (rest.size() < n)
                continue;
            bool match = true;
            for (size_t j = 0; j < n; ++j) {
                if (std::toupper(static_cast<unsigned char>(rest[j])) != name[j]) {
                    match = false;
                    break;
                }
            }
            if (match) {
                in.pos += n;
                return k;
            }
        }
    }
    throw ora_error(error);
}

}  // namespace

int days_in_month(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && is_leap(year))
        return 29;
    return days[month - 1];
}

bool datetime::valid() const {
    return year >= -4712 && year <= 9999 && year != 0 && month >= 1 && month <= 12 && day >= 1 &&
           day <= days_in_month(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
           minute <= 59 && second >= 0 && second <= 59 && nanos >= 0 && nanos <= 999999999;
}

datetime datetime::now(bool with_fraction) {
    auto tp = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(tp);
    std::tm tm{};
    localtime_r(&t, &tm);
    datetime d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    if (with_fraction) {
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(tp.time_since_epoch());
        d.nanos = static_cast<int>(us.count() % 1000000) * 1000;
    }
    return d;
}

std::string datetime::storage_text(bool with_fraction) const {
    char buf[k_storage_text_room];
    return std::string(buf, write_storage_text(buf, with_fraction));
}

size_t datetime::write_storage_text(char* out, bool with_fraction) const {
    // Every stored value is written here: digit by digit when the fields are in their ranges.
    const int abs_year = year < 0 ? -year : year;
    if (abs_year <= 9999 && month >= 0 && month <= 99 && day >= 0 && day <= 99 && hour >= 0 &&
        hour <= 99 && minute >= 0 && minute <= 99 && second >= 0 && second <= 99 && nanos >= 0 &&
        nanos <= 999999999) {
        char* p = out;
        if (year < 0)
            *p++ = '-';
        auto put = [&p](int v, int width) {
            for (int i = width - 1; i >= 0; --i) {
                p[i] = static_cast<char>('0' + v % 10);
                v /= 10;
            }
            p += width;
        };
        put(abs_year, 4);
        *p++ = '-';
        put(month, 2);
        *p++ = '-';
        put(day, 2);
        *p++ = ' ';
        put(hour, 2);
        *p++ = ':';
        put(minute, 2);
        *p++ = ':';
        put(second, 2);
        if (with_fraction) {
            *p++ = '.';
            put(nanos, 9);
        }
        return static_cast<size_t>(p - out);
    }
    int n = with_fraction
                ? std::snprintf(out, k_storage_text_room, "%s%04d-%02d-%02d %02d:%02d:%02d.%09d",
                                year < 0 ? "-" : "", year < 0 ? -year : year, month, day, hour,
                                minute, second, nanos)
                : std::snprintf(out, k_storage_text_room, "%s%04d-%02d-%02d %02d:%02d:%02d",
                                year < 0 ? "-" : "", year < 0 ? -year : year, month, day, hour,
                                minute, second);
    return std::min(static_cast<size_t>(n), k_storage_text_room - 1);
}

std::optional<datetime> datetime::from_storage(std::string_view text) {
    datetime d;
    bool neg = !text.empty() && text[0] == '-';
    std::string s(text.substr(neg ? 1 : 0));
    int frac_len = 0;
    char frac[16] = {0};
    int n = std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d.%15[0-9]%n", &d.year, &d.month, &d.day,
                        &d.hour, &d.minute, &d.second, frac, &frac_len);
    if (n < 3) {
        return std::nullopt;
    }
    if (n >= 7) {
        std::string f(frac);
        f.resize(9, '0');
        d.nanos = std::atoi(f.c_str());
    }
    if (neg)
        d.year = -d.year;
    if (!d.valid())
        return std::nullopt;
    return d;
}

void datetime::to_bytes7(unsigned char* out) const {
    int y = year;
    int century = y >= 0 ? y / 100 : -((-y) / 100);
    int yic = y >= 0 ? y % 100 : -((-y) % 100);
    out[0] = static_cast<unsigned char>(century + 100);
    out[1] = static_cast<unsigned char>(yic + 100);
    out[2] = static_cast<unsigned char>(month);
    out[3] = static_cast<unsigned char>(day);
    out[4] = static_cast<unsigned char>(hour + 1);
    out[5] = static_cast<unsigned char>(minute + 1);
    out[6] = static_cast<unsigned char>(second + 1);
}

std::optional<datetime> datetime::from_bytes7(const unsigned char* in) {
    datetime d;
    d.year = (in[0] - 100) * 100 + (in[1] - 100);
    d.month = in[2];
    d.day = in[3];
    d.hour = in[4] - 1;
    d.minute = in[5] - 1;
    d.second = in[6] - 1;
    if (!d.valid())
        return std::nullopt;
    return d;
}

int64_t datetime::day_number() const {
    return days_from_civil(astro(year), static_cast<unsigned>(month), static_cast<unsigned>(day));
}

datetime datetime::from_day_number(int64_t days) {
    int64_t y;
    unsigned m, d;
    civil_from_days(days, y, m, d);
    datetime out;
    out.year = from_astro(static_cast<int>(y));
    out.month = static_cast<int>(m);
    out.day = static_cast<int>(d);
    return out;
}

datetime datetime::plus_days(const decimal& days) const {
    decimal seconds = (days * decimal::from_int(86400)).rounded(0);
    int64_t total = day_number() * 86400 + hour * 3600 + minute * 60 + second;
    auto delta = seconds.to_int64();
    if (!delta)
        throw ora_error(1841);
    total += *delta;
    int64_t dn = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
    int64_t rest = total - dn * 86400;
    datetime out = from_day_number(dn);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest % 3600 / 60);
    out.second = static_cast<int>(rest % 60);
    out.nanos = nanos;
    if (!out.valid())
        throw ora_error(1841);
    return out;
}

decimal datetime::minus(const datetime& other) const {
    int64_t a = day_number() * 86400 + hour * 3600 + minute * 60 + second;
    int64_t b = other.day_number() * 86400 + other.hour * 3600 + other.minute * 60 + other.second;
    return decimal::divide(decimal::from_int(a - b), decimal::from_int(86400));
}

datetime datetime::plus_months(int months) const {
    int64_t index = static_cast<int64_t>(astro(year)) * 12 + (month - 1) + months;
    int64_t y = index >= 0 ? index / 12 : -((-index + 11) / 12);
    datetime out = *this;
    out.year = from_astro(static_cast<int>(y));
    out.month = static_cast<int>(index - y * 12) + 1;
    bool last = day == days_in_month(year, month);
    int dim = days_in_month(out.year, out.month);
    out.day = (last || day > dim) ? dim : day;
    if (!out.valid())
        throw ora_error(1841);
    return out;
}

int datetime::compare(const datetime& o) const {
    const int a[] = {year, month, day, hour, minute, second, nanos};
    const int b[] = {o.year, o.month, o.day, o.hour, o.minute, o.second, o.nanos};
    for (int i = 0; i < 7; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

datetime parse_datetime(std::string_view text, std::string_view format) {
    const std::vector<element>& elements = tokenize_format(format);
    // The clock is read only for a format that leaves the year or month to it (most give
    // both, and a bulk load parses one value per row).
    std::optional<datetime> clock;
    auto now = [&clock]() -> const datetime& {
        if (!clock)
            clock = datetime::now();
        return *clock;
    };
    constexpr int k_unset = std::numeric_limits<int>::min();
    int year = k_unset;
    int month = k_unset;
    int day = 1;
    int hour = 0, minute = 0, second = 0, nanos = 0;
    int pm = -1;       // -1: no meridian indicator
    bool h12 = false;  // the hour came from HH or HH12
    int day_of_year = 0;
    input_cursor in{text};
    for (size_t index = 0; index < elements.size(); ++index) {
        const element& e = elements[index];
        if (e.kind == element::punct) {
            // Any run of punctuation matches, short of a quoted text that follows.
            char stop = '\0';
            if (index + 1 < elements.size() && elements[index + 1].kind == element::literal &&
                !elements[index + 1].text.empty()) {
                stop = elements[index + 1].text[0];
            }
            while (!in.at_end() && !std::isalnum(static_cast<unsigned char>(in.text[in.pos])) &&
                   in.text[in.pos] != stop) {
                ++in.pos;
            }
            continue;
        }
        if (e.kind == element::literal) {
            in.skip_blanks();
            if (in.text.substr(in.pos, e.text.size()) != e.text) {
                throw ora_error(1861);
            }
            in.pos += e.text.size();
            continue;
        }
        const int k = e.code;
        if (k == kw("FX") || k == kw("FM") || k == kw("X")) {
            continue;
        }
        if (in.at_end()) {
            throw ora_error(1840);
        }
        if (k == kw("YYYY") || k == kw("RRRR") || k == kw("SYYYY")) {
            size_t start = in.pos;
            year = read_number(in, 4, k == kw("SYYYY"));
            if (k == kw("RRRR") && in.pos - start <= 2) {
                int cur = now().year % 100;
                int century = now().year / 100;
                year = (year < 50) ? (cur < 50 ? century : century + 1) * 100 + year
                                   : (cur < 50 ? century - 1 : century) * 100 + year;
            }
            if (year == 0)
                throw ora_error(1841);
        } else if (k == kw("YYY")) {
            year = now().year / 1000 * 1000 + read_number(in, 3);
        } else if (k == kw("YY")) {
            year = now().year / 100 * 100 + read_number(in, 2);
        } else if (k == kw("Y")) {
            year = now().year / 10 * 10 + read_number(in, 1);
        } else if (k == kw("RR")) {
            size_t start = in.pos;
            int yy = read_number(in, 4);
            if (in.pos - start > 2) {
                year = yy;
            } else {
                int cur = now().year % 100;
                int century = now().year / 100;
                if (yy < 50) {
                    year = (cur < 50 ? century : century + 1) * 100 + yy;
                } else {
                    year = (cur < 50 ? century - 1 : century) * 100 + yy;
                }
            }
            if (year == 0)
                throw ora_error(1841);
        } else if (k == kw("MM")) {
            in.skip_blanks();
            if (!in.at_end() && std::isalpha(static_cast<unsigned char>(in.text[in.pos]))) {
                month = read_name(in, k_months, 12, 1843) + 1;
            } else {
                month = read_number(in, 2);
            }
            if (month < 1 || month > 12)
                throw ora_error(1843);
        } else if (k == kw("MON") || k == kw("MONTH")) {
            month = read_name(in, k_months, 12, 1843) + 1;
        } else if (k == kw("DD")) {
            day = read_number(in, 2);
            if (day < 1 || day > 31)
                throw ora_error(1847);
        } else if (k == kw("DDD")) {
            day_of_year = read_number(in, 3);
            if (day_of_year < 1 || day_of_year > 366)
                throw ora_error(1848);
        } else if (k == kw("DY") || k == kw("DAY")) {
            read_name(in, k_days, 7, 1846);
        } else if (k == kw("D")) {
            read_number(in, 1);
        } else if (k == kw("HH24")) {
            hour = read_number(in, 2);
            if (hour > 23)
                throw ora_error(1850);
        } else if (k == kw("HH") || k == kw("HH12")) {
            hour = read_number(in, 2);
            if (hour < 1 || hour > 12)
                throw ora_error(1849);
            h12 = true;
        } else if (k == kw("MI")) {
            minute = read_number(in, 2);
            if (minute > 59)
                throw ora_error(1851);
        } else if (k == kw("SS")) {
            second = read_number(in, 2);
            if (second > 59)
                throw ora_error(1852);
        } else if (k == kw("SSSSS")) {
            int s = read_number(in, 5);
            if (s > 86399)
                throw ora_error(1853);
            hour = s / 3600;
            minute = s % 3600 / 60;
            second = s % 60;
        } else if (is_fraction(k)) {
            in.skip_blanks();
            std::string digits;
            while (!in.at_end() && digits.size() < 9 &&
                   std::isdigit(static_cast<unsigned char>(in.text[in.pos]))) {
                digits.push_back(in.text[in.pos++]);
            }
            if (digits.empty())
                throw ora_error(1858);
            digits.resize(9, '0');
            nanos = std::atoi(digits.c_str());
        } else if (k == kw("AM") || k == kw("PM") || k == kw("A.M.") || k == kw("P.M.")) {
            in.skip_blanks();
            std::string_view rest = in.text.substr(in.pos);
            auto starts = [&](std::string_view w) {
                if (rest.size() < w.size())
                    return false;
                for (size_t j = 0; j < w.size(); ++j) {
                    if (std::toupper(static_cast<unsigned char>(rest[j])) != w[j])
                        return false;
                }
                return true;
            };
            if (starts("A.M.") || starts("P.M.")) {
                pm = starts("P.M.") ? 1 : 0;
                in.pos += 4;
            } else if (starts("AM") || starts("PM")) {
                pm = starts("PM") ? 1 : 0;
                in.pos += 2;
            } else {
                throw ora_error(1855);
            }
        } else if (k == kw("J")) {
            int j = read_number(in, 7);
            datetime d = datetime::from_day_number(j - 2440588);
            year = d.year;
            month = d.month;
            day = d.day;
        } else {
            throw ora_error(1821);
        }
    }
    in.skip_blanks();
    if (!in.at_end()) {
        throw ora_error(1830);
    }
    if (year == k_unset)
        year = now().year;
    if (month == k_unset)
        month = now().month;
    if (h12 || pm >= 0) {
        if (pm == 1 && hour < 12)
            hour += 12;
        if (pm == 0 && hour == 12)
            hour = 0;
    }
    if (year < -4712 || year > 9999 || year == 0) {
        throw ora_error(1841);
    }
    if (day_of_year > 0) {
        datetime d = datetime::from_day_number(datetime{year, 1, 1}.day_number() + day_of_year - 1);
        if (d.year != year)
            throw ora_error(1848);
        month = d.month;
        day = d.day;
    }
    if (day > days_in_month(year, month)) {
        throw ora_error(1839);
    }
    datetime out{year, month, day, hour, minute, second, nanos};
    return out;
}

namespace {

// Applies the case of a keyword as written ("MON", "Mon", "mon") to a name.
std::string cased(const std::string& name, const std::string& raw) {
    bool first_upper = !raw.empty() && std::isupper(static_cast<unsigned char>(raw[0]));
    // The case of the rest follows the element's second letter ("Mon", "MON", "A.M.").
    bool second_upper = first_upper;
    for (size_t i = 1; i < raw.size(); ++i) {
        if (std::isalpha(static_cast<unsigned char>(raw[i]))) {
            second_upper = std::isupper(static_cast<unsigned char>(raw[i])) != 0;
            break;
        }
    }
    std::string out = name;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (i == 0) {
            out[i] = static_cast<char>(first_upper ? std::toupper(c) : std::tolower(c));
        } else {
            out[i] = static_cast<char>(second_upper ? std::toupper(c) : std::tolower(c));
        }
    }
    return out;
}

std::string padded_number(long value, int width, bool fill_mode) {
    char buf[32];
    if (fill_mode) {
        std::snprintf(buf, sizeof buf, "%ld", value);
    } else {
        std::snprintf(buf, sizeof buf, "%0*ld", width, value);
    }
    return buf;
}

}  // namespace

void check_datetime_format(std::string_view format) {
    tokenize_format(format);
}

std::string format_datetime(const datetime& v, std::string_view format) {
    const std::vector<element>& elements = tokenize_format(format);
    std::string out;
    bool fm = false;
    int64_t dn = v.day_number();
    int weekday = static_cast<int>(((dn % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    int doy = static_cast<int>(dn - datetime{v.year, 1, 1}.day_number()) + 1;
    int abs_year = v.year < 0 ? -v.year : v.year;
    for (const element& e : elements) {
        if (e.kind != element::keyword) {
            out += e.text;
            continue;
        }
        const std::string& k = e.text;
        if (k == "FM") {
            fm = !fm;
        } else if (k == "FX") {
        } else if (k == "YYYY" || k == "RRRR") {
            out += padded_number(abs_year, 4, fm);
        } else if (k == "SYYYY") {
            out += (v.year < 0 ? "-" : (fm ? "" : " ")) + padded_number(abs_year, 4, fm);
        } else if (k == "YYY") {
            out += padded_number(abs_year % 1000, 3, fm);
        } else if (k == "YY" || k == "RR") {
            out += padded_number(abs_year % 100, 2, fm);
        } else if (k == "Y") {
            out += padded_number(abs_year % 10, 1, fm);
        } else if (k == "MM") {
            out += padded_number(v.month, 2, fm);
        } else if (k == "MON") {
            out += cased(std::string(k_months[v.month - 1]).substr(0, 3), e.raw);
        } else if (k == "MONTH") {
            std::string name = cased(k_months[v.month - 1], e.raw);
            if (!fm)
                name.resize(9, ' ');
            out += name;
        } else if (k == "DD") {
            out += padded_number(v.day, 2, fm);
        } else if (k == "DDD") {
            out += padded_number(doy, 3, fm);
        } else if (k == "D") {
            out += std::to_string(weekday + 1);
        } else if (k == "DY") {
            out += cased(std::string(k_days[weekday]).substr(0, 3), e.raw);
        } else if (k == "DAY") {
            std::string name = cased(k_days[weekday], e.raw);
            if (!fm)
                name.resize(9, ' ');
            out += name;
        } else if (k == "HH24") {
            out += padded_number(v.hour, 2, fm);
        } else if (k == "HH" || k == "HH12") {
            int h = v.hour % 12;
            out += padded_number(h == 0 ? 12 : h, 2, fm);
        } else if (k == "MI") {
            out += padded_number(v.minute, 2, fm);
        } else if (k == "SS") {
            out += padded_number(v.second, 2, fm);
        } else if (k == "SSSSS") {
            out += padded_number(v.hour * 3600 + v.minute * 60 + v.second, 5, fm);
        } else if (k.rfind("FF", 0) == 0) {
            int digits = k.size() == 3 ? k[2] - '0' : 9;
            std::string f = padded_number(v.nanos, 9, false).substr(0, static_cast<size_t>(digits));
            out += f;
        } else if (k == "AM" || k == "PM") {
            out += cased(v.hour < 12 ? "AM" : "PM", e.raw);
        } else if (k == "A.M." || k == "P.M.") {
            out += cased(v.hour < 12 ? "A.M." : "P.M.", e.raw);
        } else if (k == "J") {
            out += padded_number(static_cast<long>(dn + 2440588), 7, fm);
        } else if (k == "Q") {
            out += std::to_string((v.month - 1) / 3 + 1);
        } else if (k == "WW") {
            out += padded_number((doy - 1) / 7 + 1, 2, fm);
        } else if (k == "X") {
            out += ".";
        } else {
            throw ora_error(1821);
        }
    }
    return out;
}

}  // namespace oralite
