#include "SQL/sql_temporal.h"

#include "SQL/sql_type_map.h"

namespace {

// Reads the text from left to right; every read fails (and stays failed) at the first
// character that does not fit.
class temporal_scanner {
  public:
    explicit temporal_scanner(std::string_view text) : text_(text) {}

    // Exactly count digits.
    bool digits(size_t count, int& value) {
        value = 0;
        for (size_t k = 0; k < count; ++k) {
            if (pos_ >= text_.size() || text_[pos_] < '0' || text_[pos_] > '9') {
                return false;
            }
            value = value * 10 + (text_[pos_++] - '0');
        }
        return true;
    }
    // One to max digits.
    bool some_digits(size_t max, int& value) {
        value = 0;
        size_t read = 0;
        while (read < max && pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            value = value * 10 + (text_[pos_++] - '0');
            ++read;
        }
        return read > 0;
    }
    bool literal(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // An optional ".f" of one to six digits, as microseconds.
    bool fraction(uint32_t& microseconds) {
        microseconds = 0;
        if (!literal('.')) {
            return true;
        }
        size_t read = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            if (read == 6) {
                return false;
            }
            microseconds = microseconds * 10 + static_cast<uint32_t>(text_[pos_++] - '0');
            ++read;
        }
        for (size_t k = read; k < 6; ++k) {
            microseconds *= 10;
        }
        return read > 0;
    }
    bool at_end() const { return pos_ == text_.size(); }

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

sql_temporal unreadable() {
    return {};
}

sql_temporal read_time(std::string_view text) {
    temporal_scanner scan(text);
    const bool negative = scan.literal('-');
    int hours = 0, minutes = 0, seconds = 0;
    uint32_t microseconds = 0;
    if (!scan.some_digits(3, hours) || !scan.literal(':') || !scan.digits(2, minutes) ||
        !scan.literal(':') || !scan.digits(2, seconds) || !scan.fraction(microseconds) ||
        !scan.at_end() || minutes > 59 || seconds > 59 || hours > 838) {
        return unreadable();
    }
    SYSTEMTIME parts;
    parts.wHour = static_cast<uint16_t>(hours);
    parts.wMinute = static_cast<uint16_t>(minutes);
    parts.wSecond = static_cast<uint16_t>(seconds);
    // "-00:00:00" is midnight: a sign without a magnitude says nothing.
    const bool below_zero = negative && (hours | minutes | seconds | microseconds) != 0;
    return {sql_temporal_status::value, ole_variant(parts, microseconds, below_zero)};
}

sql_temporal read_date(std::string_view text, bool with_time) {
    temporal_scanner scan(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    uint32_t microseconds = 0;
    if (!scan.digits(4, year) || !scan.literal('-') || !scan.digits(2, month) ||
        !scan.literal('-') || !scan.digits(2, day)) {
        return unreadable();
    }
    // A DATETIME may come without its time, a DATE never with one.
    if (with_time && !scan.at_end()) {
        if (!scan.literal(' ') || !scan.digits(2, hour) || !scan.literal(':') ||
            !scan.digits(2, minute) || !scan.literal(':') || !scan.digits(2, second) ||
            !scan.fraction(microseconds)) {
            return unreadable();
        }
    }
    if (!scan.at_end() || month > 12 || day > 31 || hour > 23 || minute > 59 || second > 59) {
        return unreadable();
    }
    if (year == 0 && month == 0 && day == 0) {
        return {sql_temporal_status::zero_date, ole_variant()};
    }
    if (month == 0 || day == 0) {
        return {sql_temporal_status::partial_zero_date, ole_variant()};
    }
    SYSTEMTIME parts;
    parts.wYear = static_cast<uint16_t>(year);
    parts.wMonth = static_cast<uint16_t>(month);
    parts.wDay = static_cast<uint16_t>(day);
    parts.wHour = static_cast<uint16_t>(hour);
    parts.wMinute = static_cast<uint16_t>(minute);
    parts.wSecond = static_cast<uint16_t>(second);
    return {sql_temporal_status::value, ole_variant(parts, microseconds)};
}

}  // namespace

sql_temporal sql_read_temporal(int type_code, std::string_view text) {
    if (type_code == sql_type_time) {
        return read_time(text);
    }
    return read_date(text, type_code != sql_type_date && type_code != sql_type_newdate);
}
