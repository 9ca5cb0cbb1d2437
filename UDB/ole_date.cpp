#include "UDB/ole_date.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "TK/tk_exception.h"
#include "TK/tk_string.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads count digits at text[pos]; false unless all are digits.
bool fixed_digits(std::string_view text, size_t pos, size_t count, int& value) {
    value = 0;
    for (size_t k = pos; k < pos + count; ++k) {
        if (!is_digit(text[k])) {
            return false;
        }
        value = value * 10 + (text[k] - '0');
    }
    return true;
}

// A small scanner with the matching rules of sscanf for the patterns used here: "%hd" skips
// white space and reads an optional sign and at least one digit; a blank in the pattern skips
// any white space (none included); "%s" reads a run of non-white characters; any other
// character must match itself. Numbers saturate instead of overflowing.
class pattern_scanner {
  public:
    explicit pattern_scanner(std::string_view text) : text_(text) {}

    // Matches the pattern ('d' a number, 's' a word, ' ' white space, others literal) and
    // returns how many numbers and words were read before the first mismatch.
    int match(std::string_view pattern, std::array<int, 5>& numbers, std::string& word) {
        int items = 0;
        size_t number_index = 0;
        for (const char p : pattern) {
            if (p == ' ') {
                skip_space();
            } else if (p == 'd') {
                skip_space();
                if (!read_number(numbers[number_index++])) {
                    return items;
                }
                ++items;
            } else if (p == 's') {
                skip_space();
                const size_t start = pos_;
                while (pos_ < text_.size() && !is_space(text_[pos_])) {
                    ++pos_;
                }
                if (pos_ == start) {
                    return items;
                }
                word.assign(text_.substr(start, pos_ - start));
                ++items;
            } else {
                if (pos_ >= text_.size() || text_[pos_] != p) {
                    return items;
                }
                ++pos_;
            }
        }
        return items;
    }

  private:
    static bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    void skip_space() {
        while (pos_ < text_.size() && is_space(text_[pos_])) {
            ++pos_;
        }
    }
    bool read_number(int& value) {
        bool negative = false;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            negative = text_[pos_++] == '-';
        }
        const size_t start = pos_;
        long long magnitude = 0;
        while (pos_ < text_.size() && is_digit(text_[pos_])) {
            magnitude = std::min(magnitude * 10 + (text_[pos_++] - '0'), 1000000LL);
        }
        if (pos_ == start) {
            return false;
        }
        value = static_cast<int>(negative ? -magnitude : magnitude);
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// Parts hold 16-bit unsigned fields; anything outside is kept out by storing an impossible
// value that is_valid refuses.
uint16_t part(int value) {
    return value < 0 || value > 65535 ? 65535 : static_cast<uint16_t>(value);
}

bool has_any_date(const SYSTEMTIME& t) {
    return t.wYear != 0 || t.wMonth != 0 || t.wDay != 0;
}

}  // namespace

ole_date::ole_date(const SYSTEMTIME& parts) : ole_date(parts, 0) {}

ole_date::ole_date(const SYSTEMTIME& parts, uint32_t microseconds)
    : kind_(kind_date_time), parts_(parts) {
    tk_trace(1, "ole_date::ole_date(SYSTEMTIME)");
    if (microseconds != 0) {
        set_microseconds(microseconds);
    }
    refine_type();
}

ole_date::ole_date(std::string_view text) {
    parse(text);
}

ole_date::ole_date(std::wstring_view text) {
    parse(platform::wide_to_ansi(text));
}

void ole_date::clear_parts() noexcept {
    parts_ = SYSTEMTIME();
    microseconds_ = 0;
}

void ole_date::parse(std::string_view given) {
    tk_trace(1, "ole_date::ole_date('%.*s')", static_cast<int>(given.size()), given.data());
    clear_parts();
    std::string text = tk_trim(std::string(given));
    tk_trace(1, "After tk_trim: %s", text.c_str());
    bool pm = false;
    bool am = false;
    for (const char* marker : {"AM", "PM", "am", "pm"}) {
        const size_t at = text.find(marker);
        if (at != std::string::npos) {
            pm = marker[0] == 'P' || marker[0] == 'p';
            am = !pm;
            text = tk_trim(text.substr(0, at));
            tk_trace(1, "Again buf1=%s", text.c_str());
            break;
        }
    }
    if (text.size() <= 4) {
        tk_trace(2, "Invalid date/time format: '%s'", text.c_str());
        kind_ = kind_invalid;
        return;
    }
    import_from_string(text);
    if ((kind_ == kind_date_time || kind_ == kind_date) && parts_.wDay > 31 && parts_.wYear < 32) {
        std::swap(parts_.wDay, parts_.wYear);
    }
    // 12 PM is noon and 12 AM midnight; 1 to 11 PM are 13 to 23.
    if (pm && parts_.wHour <= 11) {
        parts_.wHour = static_cast<uint16_t>(parts_.wHour + 12);
    } else if (am && parts_.wHour == 12) {
        parts_.wHour = 0;
    }
}

bool ole_date::is_valid() const {
    tk_trace(1, "ole_date::is_valid");
    if (kind_ == kind_invalid) {
        return false;
    }
    const SYSTEMTIME& t = parts_;
    if (!has_any_date(t)) {
        tk_trace(1, "DATETIME is a pute time");
    } else {
        if (t.wMonth < 1 || t.wMonth > 12) {
            tk_trace(1, "Invalid month");
            return false;
        }
        // No destination holds a year beyond 9999; such a text is no date.
        if (t.wDay == 0 || t.wYear == 0 || (t.wDay > 31 && t.wYear > 31) ||
            std::max(t.wDay, t.wYear) > 9999) {
            tk_trace(1, "Invalid day and/or year");
            return false;
        }
    }
    if (t.wHour > 60 || t.wMinute > 60 || t.wSecond > 60) {
        tk_trace(1, "Invalid time");
        return false;
    }
    return true;
}

void ole_date::refine_type() {
    const SYSTEMTIME& t = parts_;
    if (t.wDay == 0 && t.wMonth == 0 && t.wYear == 0) {
        kind_ = kind_time;
    } else if (t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0 && microseconds_ == 0 &&
               t.wDay != 0 && t.wMonth != 0 && t.wYear != 0) {
        kind_ = kind_date;
    }
}

bool ole_date::try_fixed_digits(std::string_view text) {
    std::array<int, 6> v{};
    if (text.size() == 14) {
        tk_trace(1, "Trying timestamp format (1)...");
        static constexpr std::array<size_t, 6> widths = {4, 2, 2, 2, 2, 2};
        size_t pos = 0;
        for (size_t k = 0; k < widths.size(); ++k) {
            if (!fixed_digits(text, pos, widths[k], v[k])) {
                return false;
            }
            pos += widths[k];
        }
        parts_.wYear = part(v[0]), parts_.wMonth = part(v[1]), parts_.wDay = part(v[2]);
        parts_.wHour = part(v[3]), parts_.wMinute = part(v[4]), parts_.wSecond = part(v[5]);
        kind_ = kind_date_time;
    } else if (text.size() == 8) {
        tk_trace(1, "Trying timestamp format (2)...");
        if (!fixed_digits(text, 0, 4, v[0]) || !fixed_digits(text, 4, 2, v[1]) ||
            !fixed_digits(text, 6, 2, v[2])) {
            return false;
        }
        parts_.wYear = part(v[0]), parts_.wMonth = part(v[1]), parts_.wDay = part(v[2]);
        kind_ = kind_date;
    } else {
        return false;
    }
    if (is_valid()) {
        return true;
    }
    clear_parts();
    kind_ = kind_invalid;
    return false;
}

bool ole_date::try_pure_time(std::string_view text) {
    tk_trace(1, "Trying pure time format...");
    std::array<int, 5> v{};
    std::string seconds;
    if (pattern_scanner(text).match("d:d:s", v, seconds) != 3) {
        return false;
    }
    parts_.wHour = part(v[0]);
    parts_.wMinute = part(v[1]);
    parts_.wSecond = part(std::atoi(seconds.c_str()));
    kind_ = kind_time;
    if (!is_valid()) {
        clear_parts();
        kind_ = kind_invalid;
        return false;
    }
    process_milliseconds(seconds.c_str());
    return true;
}

bool ole_date::try_platform(std::string_view text) {
    DATE value = 0;
    const LCID lcid = GetSystemDefaultLCID() == 0 ? LOCALE_ENGLISH_US : GetSystemDefaultLCID();
    if (FAILED(VarDateFromStr(platform::ansi_to_wide(text), lcid, 0, &value)) ||
        !VariantTimeToSystemTime(value, &parts_)) {
        clear_parts();
        return false;
    }
    tk_trace(1, "Got datetime using Microsoft API");
    kind_ = kind_date_time;
    refine_type();
    return true;
}

bool ole_date::try_separated(std::string_view text) {
    static constexpr std::array<std::string_view, 3> patterns = {"d-d-d d:d:s", "d/d/d d:d:s",
                                                                 "d.d.d d:d:s"};
    for (size_t k = 0; k < patterns.size(); ++k) {
        const int format = static_cast<int>(k) + 1;
        tk_trace(1, "Trying datetime format #%d", format);
        clear_parts();
        std::array<int, 5> v{};
        std::string seconds;
        const int items = pattern_scanner(text).match(patterns[k], v, seconds);
        if (items != 3 && items != 6) {
            continue;
        }
        parts_.wYear = part(v[0]), parts_.wMonth = part(v[1]), parts_.wDay = part(v[2]);
        if (items == 3) {
            kind_ = kind_date;
            if (is_valid()) {
                tk_trace(1, "Format #%d succeeded (3 items)", format);
                return true;
            }
            continue;
        }
        parts_.wHour = part(v[3]), parts_.wMinute = part(v[4]);
        parts_.wSecond = part(std::atoi(seconds.c_str()));
        kind_ = kind_date_time;
        if (is_valid()) {
            process_milliseconds(seconds.c_str());
            refine_type();
            tk_trace(1, "Format #%d succeeded (6 items)", format);
            return true;
        }
    }
    clear_parts();
    kind_ = kind_invalid;
    return false;
}

bool ole_date::import_from_string(std::string_view text) {
    tk_trace(1, "ole_date::import_from_string");
    clear_parts();
    kind_ = kind_invalid;
    if (try_fixed_digits(text) || try_pure_time(text) || try_platform(text) ||
        try_separated(text)) {
        return true;
    }
    clear_parts();
    kind_ = kind_invalid;
    tk_trace(2, "Invalid date/time format: '%.*s'", static_cast<int>(text.size()), text.data());
    return false;
}

void ole_date::process_milliseconds(const char* seconds) {
    TK_ASSERT(seconds != nullptr);
    // The text is read digit by digit: a binary fraction would turn .29 into 289 ms.
    const char* p = seconds;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    int second = 0;
    while (is_digit(*p)) {
        second = std::min(second * 10 + (*p++ - '0'), 100000);
    }
    uint32_t fraction = 0;
    if (*p == '.') {
        ++p;
        // Digits beyond the microsecond are cut, never rounded into the second.
        for (int k = 0; k < 6; ++k) {
            fraction = fraction * 10 + (is_digit(*p) ? static_cast<uint32_t>(*p++ - '0') : 0);
        }
    }
    parts_.wSecond = part(second);
    set_microseconds(fraction);
}

void ole_date::set_microseconds(uint32_t microseconds) noexcept {
    microseconds_ = microseconds % 1000000;
    parts_.wMilliseconds = static_cast<uint16_t>(microseconds_ / 1000);
}

std::string ole_date::to_string() const {
    char buffer[64];
    const SYSTEMTIME& t = parts_;
    char fraction[16] = "";
    if (microseconds_ != 0) {
        std::snprintf(fraction, sizeof fraction, ".%06u", static_cast<unsigned>(microseconds_));
    }
    switch (kind_) {
        case kind_date_time:
            tk_trace(1, "printing datetime...");
            if (omit_zero_time_ && t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0 &&
                microseconds_ == 0) {
                std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
            } else {
                std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d%s", t.wYear,
                              t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, fraction);
            }
            return buffer;
        case kind_date:
            tk_trace(1, "printing date...");
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
            return buffer;
        case kind_time:
            tk_trace(1, "printing time...");
            std::snprintf(buffer, sizeof buffer, "0000-00-00 %02d:%02d:%02d%s", t.wHour, t.wMinute,
                          t.wSecond, fraction);
            return buffer;
        default:
            return {};
    }
}

std::wstring ole_date::to_wstring() const {
    const std::string text = to_string();
    return std::wstring(text.begin(), text.end());
}
