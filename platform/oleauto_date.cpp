// Dates of the OLE Automation stand-in: DATE <-> SYSTEMTIME and the date parser and printer
// of locale 1033. The accepted texts are listed at VarDateFromStr in oleauto.h.
#include <array>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <string>

#include "platform/oleauto.h"

namespace {

// Days from 1970-01-01 to the Gregorian date (proleptic), valid for every year used here.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

void civil_from_days(int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned mp = (5 * day_of_year + 2) / 153;
    day = day_of_year - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0));
}

bool is_leap_year(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : days[static_cast<size_t>(month - 1)];
}

// 1899-12-30, day 0 of the DATE scale.
const int64_t date_epoch = days_from_civil(1899, 12, 30);
// 0100-01-01 and 9999-12-31, the range Windows accepts.
constexpr double min_date = -657434.0;
constexpr double max_date = 2958465.0 + 86399.0 / 86400.0;

bool valid_parts(int year, int month, int day, int hour, int minute, int second) {
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= days_in_month(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
           minute <= 59 && second >= 0 && second <= 59;
}

bool encode_date(int year, int month, int day, int hour, int minute, int second, DATE* out) {
    if (!valid_parts(year, month, day, hour, minute, second)) {
        return false;
    }
    const int64_t days =
        days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        date_epoch;
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    *out = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return true;
}

}  // namespace

int SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* out) {
    if (time == nullptr || out == nullptr) {
        return 0;
    }
    return encode_date(time->wYear, time->wMonth, time->wDay, time->wHour, time->wMinute,
                       time->wSecond, out)
               ? 1
               : 0;
}

int VariantTimeToSystemTime(DATE value, SYSTEMTIME* out) {
    if (out == nullptr || !std::isfinite(value) || value < min_date || value > max_date + 1e-9) {
        return 0;
    }
    // The whole part counts days; the fraction is the time of day, forward from midnight even
    // for negative values.
    int64_t days = static_cast<int64_t>(std::trunc(value));
    const double fraction = std::fabs(value - static_cast<double>(days));
    int64_t seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civil_from_days(days + date_epoch, year, month, day);
    if (year < 100 || year > 9999) {
        return 0;
    }
    out->wYear = static_cast<uint16_t>(year);
    out->wMonth = static_cast<uint16_t>(month);
    out->wDay = static_cast<uint16_t>(day);
    // 1970-01-01 was a Thursday.
    const int64_t weekday = ((days + date_epoch) % 7 + 11) % 7;
    out->wDayOfWeek = static_cast<uint16_t>(weekday);
    out->wHour = static_cast<uint16_t>(seconds / 3600);
    out->wMinute = static_cast<uint16_t>(seconds / 60 % 60);
    out->wSecond = static_cast<uint16_t>(seconds % 60);
    out->wMilliseconds = 0;
    return 1;
}

namespace {

constexpr std::array<const wchar_t*, 12> month_names = {
    L"january", L"february", L"march",     L"april",   L"may",      L"june",
    L"july",    L"august",   L"september", L"october", L"november", L"december"};
constexpr std::array<const wchar_t*, 7> weekday_names = {
    L"sunday", L"monday", L"tuesday", L"wednesday", L"thursday", L"friday", L"saturday"};

// A full English name or its first three letters.
template <size_t N>
int name_index(const std::wstring& word, const std::array<const wchar_t*, N>& names) {
    for (size_t k = 0; k < N; ++k) {
        const std::wstring name = names[k];
        if (word == name || (word.size() == 3 && name.compare(0, 3, word) == 0)) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

// A cursor over the date text.
class date_scanner {
  public:
    explicit date_scanner(std::wstring_view text) : text_(text) {}

    bool at_end() const { return pos_ >= text_.size(); }
    wchar_t peek() const { return at_end() ? L'\0' : text_[pos_]; }
    size_t position() const { return pos_; }
    void rewind(size_t position) { pos_ = position; }

    // Blanks between items; true when at least one was skipped.
    bool skip_blanks() {
        const size_t start = pos_;
        while (!at_end() && (text_[pos_] == L' ' || text_[pos_] == L'\t')) {
            ++pos_;
        }
        return pos_ > start;
    }
    bool accept(wchar_t c) {
        if (peek() != c) {
            return false;
        }
        ++pos_;
        return true;
    }
    // A run of 1 to 4 digits; digit_count tells how many.
    bool number(int& value, int& digit_count) {
        value = 0;
        digit_count = 0;
        while (!at_end() && text_[pos_] >= L'0' && text_[pos_] <= L'9') {
            if (++digit_count > 4) {
                return false;
            }
            value = value * 10 + (text_[pos_++] - L'0');
        }
        return digit_count > 0;
    }
    // A run of ASCII letters, lower-cased.
    bool word(std::wstring& out) {
        out.clear();
        while (!at_end() && ((text_[pos_] >= L'a' && text_[pos_] <= L'z') ||
                             (text_[pos_] >= L'A' && text_[pos_] <= L'Z'))) {
            out.push_back(static_cast<wchar_t>(std::towlower(text_[pos_++])));
        }
        return !out.empty();
    }

  private:
    std::wstring_view text_;
    size_t pos_ = 0;
};

struct parsed_date {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Two-digit years mean 1930..2029; four digits are taken as they are.
bool year_from(int value, int digit_count, int& year) {
    if (digit_count == 4) {
        year = value;
        return true;
    }
    if (digit_count == 2) {
        year = value < 30 ? 2000 + value : 1900 + value;
        return true;
    }
    return false;
}

// YYYY-MM-DD, YYYY/MM/DD, M/D/Y, M-D-Y.
bool numeric_date(date_scanner& s, parsed_date& d) {
    int first = 0, second = 0, third = 0;
    int first_digits = 0, second_digits = 0, third_digits = 0;
    if (!s.number(first, first_digits)) {
        return false;
    }
    const wchar_t separator = s.peek();
    if (separator != L'-' && separator != L'/') {
        return false;
    }
    s.accept(separator);
    if (!s.number(second, second_digits) || second_digits > 2 || !s.accept(separator) ||
        !s.number(third, third_digits)) {
        return false;
    }
    if (first_digits == 4) {
        if (third_digits > 2) {
            return false;
        }
        d.year = first, d.month = second, d.day = third;
        return true;
    }
    if (first_digits > 2) {
        return false;
    }
    d.month = first, d.day = second;
    return year_from(third, third_digits, d.year);
}

// "Month D, YYYY", "Month D YYYY", "D Month YYYY", "D-Mon-YYYY".
bool named_month_date(date_scanner& s, parsed_date& d) {
    std::wstring word;
    int value = 0, digits = 0, year_value = 0, year_digits = 0;
    if (s.word(word)) {
        d.month = name_index(word, month_names) + 1;
        if (d.month == 0 || !s.skip_blanks() || !s.number(value, digits) || digits > 2) {
            return false;
        }
        d.day = value;
        const bool comma = s.accept(L',');
        const bool blank = s.skip_blanks();
        if ((!comma && !blank) || !s.number(year_value, year_digits)) {
            return false;
        }
        return year_from(year_value, year_digits, d.year);
    }
    if (!s.number(value, digits) || digits > 2) {
        return false;
    }
    d.day = value;
    const bool dashed = s.accept(L'-');
    if (!dashed && !s.skip_blanks()) {
        return false;
    }
    if (!s.word(word)) {
        return false;
    }
    d.month = name_index(word, month_names) + 1;
    if (d.month == 0) {
        return false;
    }
    if (dashed ? !s.accept(L'-') : !s.skip_blanks()) {
        return false;
    }
    if (!s.number(year_value, year_digits)) {
        return false;
    }
    return year_from(year_value, year_digits, d.year);
}

// H:MM[:SS] [AM|PM]
bool time_of_day(date_scanner& s, parsed_date& d) {
    int digits = 0;
    if (!s.number(d.hour, digits) || digits > 2 || !s.accept(L':') || !s.number(d.minute, digits) ||
        digits != 2) {
        return false;
    }
    if (s.accept(L':') && (!s.number(d.second, digits) || digits != 2)) {
        return false;
    }
    s.skip_blanks();
    std::wstring word;
    if (!s.word(word)) {
        return true;
    }
    if ((word != L"am" && word != L"pm") || d.hour < 1 || d.hour > 12) {
        return false;
    }
    d.hour %= 12;
    if (word == L"pm") {
        d.hour += 12;
    }
    return true;
}

bool parse_date_text(std::wstring_view text, parsed_date& d) {
    date_scanner s(text);
    s.skip_blanks();
    // An optional weekday name, with or without a comma.
    const size_t start = s.position();
    std::wstring word;
    if (s.word(word) && name_index(word, weekday_names) >= 0) {
        s.accept(L',');
        s.skip_blanks();
    } else {
        s.rewind(start);
    }
    const size_t date_start = s.position();
    if (!numeric_date(s, d)) {
        s.rewind(date_start);
        d = parsed_date();
        if (!named_month_date(s, d)) {
            return false;
        }
    }
    const bool blank = s.skip_blanks();
    if (s.at_end()) {
        return true;
    }
    if (!blank || !time_of_day(s, d)) {
        return false;
    }
    s.skip_blanks();
    return s.at_end();
}

}  // namespace

HRESULT VarDateFromStr(std::wstring_view text, LCID, uint32_t, DATE* out) {
    parsed_date d;
    if (!parse_date_text(text, d)) {
        return DISP_E_TYPEMISMATCH;
    }
    if (!encode_date(d.year, d.month, d.day, d.hour, d.minute, d.second, out)) {
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT VarBstrFromDate(DATE value, LCID, uint32_t, BSTR* out) {
    SYSTEMTIME t;
    if (!VariantTimeToSystemTime(value, &t)) {
        return DISP_E_OVERFLOW;
    }
    wchar_t buffer[32];
    const bool no_date = t.wYear == 1899 && t.wMonth == 12 && t.wDay == 30;
    const bool no_time = t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0;
    if (no_date && !no_time) {
        std::swprintf(buffer, 32, L"%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
    } else if (no_time) {
        std::swprintf(buffer, 32, L"%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
    } else {
        std::swprintf(buffer, 32, L"%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                      t.wHour, t.wMinute, t.wSecond);
    }
    *out = buffer;
    return S_OK;
}

LCID GetSystemDefaultLCID() {
    return LOCALE_ENGLISH_US;
}
LCID GetUserDefaultLCID() {
    return LOCALE_ENGLISH_US;
}
