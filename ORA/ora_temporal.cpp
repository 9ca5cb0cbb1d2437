#include "ORA/ora_temporal.h"

#include <ctime>

#include "TK/tk_text.h"

namespace {

constexpr uint32_t powers_of_ten[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

int32_t clamp_digits(int32_t digits) {
    return digits < 0 ? 0 : (digits > 6 ? 6 : digits);
}

}  // namespace

uint32_t ora_kept_microseconds(uint32_t microseconds, int32_t fraction_digits) {
    const uint32_t unit = powers_of_ten[6 - clamp_digits(fraction_digits)];
    return microseconds / unit * unit;
}

namespace {

// Writes number as exactly width decimal digits (the value's lowest ones).
void put_digits(wchar_t* out, uint32_t number, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<wchar_t>(L'0' + number % 10);
        number /= 10;
    }
}

}  // namespace

// Written digit by digit: these run for every date value of a conversion.
std::wstring ora_date_text(const ole_variant& value) {
    const SYSTEMTIME& t = value.date_parts();
    if (t.wYear > 9999) {
        return tk_wformat(L"%d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                          t.wMinute, t.wSecond);
    }
    std::wstring text(L"0000-00-00 00:00:00");
    put_digits(text.data(), t.wYear, 4);
    put_digits(text.data() + 5, t.wMonth, 2);
    put_digits(text.data() + 8, t.wDay, 2);
    put_digits(text.data() + 11, t.wHour, 2);
    put_digits(text.data() + 14, t.wMinute, 2);
    put_digits(text.data() + 17, t.wSecond, 2);
    return text;
}

bool ora_date_bytes(std::wstring_view text, uint8_t (&bytes)[7]) {
    // Where each field's digits start, and how many there are.
    static constexpr struct {
        size_t at;
        size_t width;
    } fields[] = {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}};
    if (text.size() != 19 || text[4] != L'-' || text[7] != L'-' || text[10] != L' ' ||
        text[13] != L':' || text[16] != L':') {
        return false;
    }
    int values[6] = {};
    for (size_t f = 0; f < 6; ++f) {
        for (size_t k = 0; k < fields[f].width; ++k) {
            const wchar_t c = text[fields[f].at + k];
            if (c < L'0' || c > L'9') {
                return false;
            }
            values[f] = values[f] * 10 + (c - L'0');
        }
    }
    bytes[0] = static_cast<uint8_t>(values[0] / 100 + 100);
    bytes[1] = static_cast<uint8_t>(values[0] % 100 + 100);
    bytes[2] = static_cast<uint8_t>(values[1]);
    bytes[3] = static_cast<uint8_t>(values[2]);
    bytes[4] = static_cast<uint8_t>(values[3] + 1);
    bytes[5] = static_cast<uint8_t>(values[4] + 1);
    bytes[6] = static_cast<uint8_t>(values[5] + 1);
    return true;
}

std::wstring ora_timestamp_text(const ole_variant& value, int32_t fraction_digits) {
    std::wstring text = ora_date_text(value);
    const size_t point = text.size();
    text.append(L".000000");
    put_digits(text.data() + point + 1,
               ora_kept_microseconds(value.date_microseconds(), fraction_digits), 6);
    return text;
}

std::wstring ora_interval_text(const ole_variant& value, int32_t fraction_digits) {
    const SYSTEMTIME& t = value.date_parts();
    return tk_wformat(
        L"%lc%02d %02d:%02d:%02d.%06u", value.date_negative() ? L'-' : L'+', t.wHour / 24,
        t.wHour % 24, t.wMinute, t.wSecond,
        static_cast<unsigned>(ora_kept_microseconds(value.date_microseconds(), fraction_digits)));
}

std::wstring ora_current_month_start() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return tk_wformat(L"%04d-%02d-01", local.tm_year + 1900, local.tm_mon + 1);
}

bool ora_read_interval(const std::wstring& text, ole_variant& value) {
    size_t pos = 0;
    const auto number = [&](size_t max_digits, long& out) {
        out = 0;
        size_t read = 0;
        while (pos < text.size() && read < max_digits && text[pos] >= L'0' && text[pos] <= L'9') {
            out = out * 10 + (text[pos++] - L'0');
            ++read;
        }
        return read > 0;
    };
    const auto literal = [&](wchar_t c) {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    };
    while (pos < text.size() && text[pos] == L' ') {
        ++pos;
    }
    const bool negative = literal(L'-');
    if (!negative) {
        literal(L'+');
    }
    long days = 0, hours = 0, minutes = 0, seconds = 0;
    if (!number(9, days) || !literal(L' ') || !number(2, hours) || !literal(L':') ||
        !number(2, minutes) || !literal(L':') || !number(2, seconds) || hours > 23 ||
        minutes > 59 || seconds > 59 || days * 24 + hours > 65535) {
        return false;
    }
    uint32_t microseconds = 0;
    if (literal(L'.')) {
        size_t digits = 0;
        while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
            // Oracle keeps nine digits; the system keeps microseconds.
            if (digits < 6) {
                microseconds = microseconds * 10 + static_cast<uint32_t>(text[pos] - L'0');
            }
            ++digits;
            ++pos;
        }
        for (; digits < 6; ++digits) {
            microseconds *= 10;
        }
    }
    if (pos != text.size()) {
        return false;
    }
    SYSTEMTIME parts;
    parts.wHour = static_cast<uint16_t>(days * 24 + hours);
    parts.wMinute = static_cast<uint16_t>(minutes);
    parts.wSecond = static_cast<uint16_t>(seconds);
    const bool below_zero = negative && (days | hours | minutes | seconds | microseconds) != 0;
    value = ole_variant(parts, microseconds, below_zero);
    return true;
}
