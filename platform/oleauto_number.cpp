// Numbers of the OLE Automation stand-in: the locale-1033 parsers and printers of currency
// and decimal values and the exact conversions between the numeric kinds.
#include "platform/oleauto_number.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>

namespace platform::ole_detail {
namespace {

// Exponents beyond this are far outside every kind; clamping keeps the arithmetic in range.
constexpr int32_t exponent_limit = 1000000;

template <class Char>
bool is_blank(Char c) {
    return c == Char(' ') || c == Char('\t');
}

template <class Char>
bool is_digit(Char c) {
    return c >= Char('0') && c <= Char('9');
}

void strip_leading_zeros(std::string& digits) {
    size_t first = 0;
    while (first < digits.size() && digits[first] == '0') {
        ++first;
    }
    digits.erase(0, first);
}

template <class Char>
bool parse_exact_text(std::basic_string_view<Char> text, exact_number& out) {
    size_t i = 0;
    size_t end = text.size();
    while (i < end && is_blank(text[i])) {
        ++i;
    }
    while (end > i && is_blank(text[end - 1])) {
        --end;
    }
    exact_number result;
    if (i < end && (text[i] == Char('+') || text[i] == Char('-'))) {
        result.negative = text[i] == Char('-');
        ++i;
    }
    size_t mantissa_digits = 0;
    int64_t fraction_digits = 0;
    while (i < end && is_digit(text[i])) {
        result.digits.push_back(static_cast<char>(text[i++]));
        ++mantissa_digits;
    }
    if (i < end && text[i] == Char('.')) {
        ++i;
        while (i < end && is_digit(text[i])) {
            result.digits.push_back(static_cast<char>(text[i++]));
            ++mantissa_digits;
            ++fraction_digits;
        }
    }
    if (mantissa_digits == 0) {
        return false;
    }
    int64_t exponent = 0;
    if (i < end && (text[i] == Char('e') || text[i] == Char('E'))) {
        ++i;
        bool exponent_negative = false;
        if (i < end && (text[i] == Char('+') || text[i] == Char('-'))) {
            exponent_negative = text[i] == Char('-');
            ++i;
        }
        if (i >= end || !is_digit(text[i])) {
            return false;
        }
        while (i < end && is_digit(text[i])) {
            exponent = std::min<int64_t>(exponent * 10 + (text[i++] - Char('0')), exponent_limit);
        }
        if (exponent_negative) {
            exponent = -exponent;
        }
    }
    if (i != end) {
        return false;
    }
    strip_leading_zeros(result.digits);
    exponent -= fraction_digits;
    result.exponent = static_cast<int32_t>(
        std::clamp<int64_t>(exponent, -2 * int64_t{exponent_limit}, 2 * int64_t{exponent_limit}));
    // A zero keeps its sign here so that -0.0 reads back as itself; DECIMAL and the printers
    // never show a negative zero.
    out = std::move(result);
    return true;
}

std::string digits_of(unsigned __int128 magnitude) {
    if (magnitude == 0) {
        return {};
    }
    char buffer[48];
    char* p = buffer + sizeof buffer;
    while (magnitude != 0) {
        *--p = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    }
    return std::string(p, buffer + sizeof buffer);
}

// Adds one to a string of decimal digits.
void increment(std::string& digits) {
    for (size_t k = digits.size(); k-- > 0;) {
        if (digits[k] != '9') {
            ++digits[k];
            return;
        }
        digits[k] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Scientific text "[-]digitsE<exponent>" that from_chars reads exactly.
std::string scientific_text(const exact_number& value) {
    std::string text;
    text.reserve(value.digits.size() + 16);
    if (value.negative) {
        text.push_back('-');
    }
    text += value.digits.empty() ? std::string("0") : value.digits;
    text.push_back('e');
    text += std::to_string(value.exponent);
    return text;
}

template <class Real>
HRESULT real_from_exact(const exact_number& value, Real* out) {
    if (value.digits.empty()) {
        *out = value.negative ? -Real(0) : Real(0);
        return S_OK;
    }
    const std::string text = scientific_text(value);
    Real result{};
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (error == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero; too large does not fit.
        const int64_t magnitude =
            static_cast<int64_t>(value.exponent) + static_cast<int64_t>(value.digits.size());
        if (magnitude < 0) {
            *out = value.negative ? -Real(0) : Real(0);
            return S_OK;
        }
        return DISP_E_OVERFLOW;
    }
    if (error != std::errc() || ptr != text.data() + text.size()) {
        return DISP_E_TYPEMISMATCH;
    }
    *out = result;
    return S_OK;
}

template <class Real>
bool exact_from_real(Real value, exact_number& out) {
    if (!std::isfinite(value)) {
        return false;
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    return parse_exact(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)), out);
}

}  // namespace

bool parse_exact(std::string_view text, exact_number& out) {
    return parse_exact_text(text, out);
}
bool parse_exact(std::wstring_view text, exact_number& out) {
    return parse_exact_text(text, out);
}

exact_number exact_from_decimal(const DECIMAL& value) {
    return exact_number{value.digits, -static_cast<int32_t>(value.scale), value.negative};
}

exact_number exact_from_integer(__int128 value) {
    exact_number result;
    result.negative = value < 0;
    const unsigned __int128 magnitude =
        value < 0 ? static_cast<unsigned __int128>(0) - static_cast<unsigned __int128>(value)
                  : static_cast<unsigned __int128>(value);
    result.digits = digits_of(magnitude);
    return result;
}

exact_number exact_from_cy(CY value) {
    exact_number result = exact_from_integer(value.int64);
    result.exponent = -4;
    return result;
}

void trim_fraction_zeros(exact_number& value) {
    while (value.exponent < 0 && !value.digits.empty() && value.digits.back() == '0') {
        value.digits.pop_back();
        ++value.exponent;
    }
    if (value.digits.empty()) {
        value.exponent = 0;
    }
}

bool exact_from_double(double value, exact_number& out) {
    return exact_from_real(value, out);
}
bool exact_from_float(float value, exact_number& out) {
    return exact_from_real(value, out);
}

bool round_to_scale(const exact_number& value, int32_t scale, size_t max_digits, std::string& out) {
    const int64_t shift = static_cast<int64_t>(value.exponent) + scale;
    if (value.digits.empty()) {
        out.clear();
        return true;
    }
    if (shift >= 0) {
        if (value.digits.size() + static_cast<uint64_t>(shift) > max_digits) {
            return false;
        }
        out = value.digits;
        out.append(static_cast<size_t>(shift), '0');
        return true;
    }
    const uint64_t cut = static_cast<uint64_t>(-shift);
    const size_t length = value.digits.size();
    std::string kept = cut >= length ? std::string() : value.digits.substr(0, length - cut);
    // The first dropped digit and whether anything non-zero follows it.
    char first_dropped = '0';
    bool rest_nonzero = false;
    if (cut <= length) {
        first_dropped = value.digits[length - cut];
        for (size_t k = length - cut + 1; k < length; ++k) {
            rest_nonzero = rest_nonzero || value.digits[k] != '0';
        }
    } else {
        // Every digit lies below the first dropped position: the value is under half a unit.
        rest_nonzero = true;
    }
    bool round_up = false;
    if (first_dropped > '5') {
        round_up = true;
    } else if (first_dropped == '5') {
        const bool last_odd = !kept.empty() && ((kept.back() - '0') % 2 == 1);
        round_up = rest_nonzero || last_odd;
    }
    if (round_up) {
        increment(kept);
    }
    strip_leading_zeros(kept);
    if (kept.size() > max_digits) {
        return false;
    }
    out = std::move(kept);
    return true;
}

HRESULT decimal_from_exact(exact_number value, DECIMAL* out) {
    DECIMAL result;
    result.negative = value.negative && !value.digits.empty();
    if (value.exponent >= 0) {
        if (!value.digits.empty()) {
            if (value.digits.size() + static_cast<size_t>(value.exponent) > DECIMAL_MAX_DIGITS) {
                return DISP_E_OVERFLOW;
            }
            value.digits.append(static_cast<size_t>(value.exponent), '0');
        }
        result.digits = std::move(value.digits);
        *out = std::move(result);
        return S_OK;
    }
    int64_t scale = -static_cast<int64_t>(value.exponent);
    // Trailing fraction zeros carry no value; drop them only when the limits ask for it.
    while (scale > 0 &&
           (scale > DECIMAL_MAX_SCALE ||
            value.digits.size() > static_cast<size_t>(DECIMAL_MAX_DIGITS)) &&
           (value.digits.empty() || value.digits.back() == '0')) {
        if (!value.digits.empty()) {
            value.digits.pop_back();
        }
        --scale;
    }
    if (scale > DECIMAL_MAX_SCALE ||
        value.digits.size() > static_cast<size_t>(DECIMAL_MAX_DIGITS)) {
        return DISP_E_OVERFLOW;
    }
    result.digits = std::move(value.digits);
    result.scale = static_cast<uint8_t>(scale);
    *out = std::move(result);
    return S_OK;
}

HRESULT integer_from_exact(const exact_number& value, __int128* out) {
    std::string digits;
    if (!round_to_scale(value, 0, 38, digits)) {
        return DISP_E_OVERFLOW;
    }
    unsigned __int128 magnitude = 0;
    for (const char c : digits) {
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    }
    const __int128 signed_magnitude = static_cast<__int128>(magnitude);
    *out = value.negative ? -signed_magnitude : signed_magnitude;
    return S_OK;
}

HRESULT cy_from_exact(const exact_number& value, CY* out) {
    exact_number scaled = value;
    scaled.exponent = value.exponent + 4;
    __int128 units = 0;
    const HRESULT hr = integer_from_exact(scaled, &units);
    if (FAILED(hr)) {
        return hr;
    }
    if (units > std::numeric_limits<int64_t>::max() ||
        units < std::numeric_limits<int64_t>::min()) {
        return DISP_E_OVERFLOW;
    }
    out->int64 = static_cast<int64_t>(units);
    return S_OK;
}

HRESULT double_from_exact(const exact_number& value, double* out) {
    return real_from_exact(value, out);
}
HRESULT float_from_exact(const exact_number& value, float* out) {
    return real_from_exact(value, out);
}

std::string text_from_scaled(bool negative, std::string_view digits, int32_t scale,
                             bool trim_zeros) {
    std::string integer_part;
    std::string fraction;
    const size_t length = digits.size();
    const size_t fraction_length = static_cast<size_t>(std::max(scale, 0));
    if (length > fraction_length) {
        integer_part.assign(digits.substr(0, length - fraction_length));
        fraction.assign(digits.substr(length - fraction_length));
    } else {
        integer_part = "0";
        fraction.assign(fraction_length - length, '0');
        fraction.append(digits);
    }
    if (trim_zeros) {
        while (!fraction.empty() && fraction.back() == '0') {
            fraction.pop_back();
        }
    }
    std::string text;
    text.reserve(integer_part.size() + fraction.size() + 2);
    if (negative && !digits.empty()) {
        text.push_back('-');
    }
    text += integer_part;
    if (!fraction.empty()) {
        text.push_back('.');
        text += fraction;
    }
    return text;
}

}  // namespace platform::ole_detail

using namespace platform::ole_detail;

namespace {

std::wstring widen_ascii(std::string_view text) {
    return std::wstring(text.begin(), text.end());
}

template <class Real>
std::wstring text_from_real(Real value) {
    if (std::isnan(value)) {
        return L"NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? L"-Infinity" : L"Infinity";
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::wstring text =
        widen_ascii(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
    for (wchar_t& c : text) {
        if (c == L'e') {
            c = L'E';
        }
    }
    return text;
}

}  // namespace

std::wstring var_text_from_r8(double value) {
    return text_from_real(value);
}
std::wstring var_text_from_r4(float value) {
    return text_from_real(value);
}

HRESULT VarCyFromStr(std::wstring_view text, LCID, uint32_t, CY* out) {
    exact_number value;
    if (!parse_exact(text, value)) {
        return DISP_E_TYPEMISMATCH;
    }
    return cy_from_exact(value, out);
}

HRESULT VarDecFromStr(std::wstring_view text, LCID, uint32_t, DECIMAL* out) {
    exact_number value;
    if (!parse_exact(text, value)) {
        return DISP_E_TYPEMISMATCH;
    }
    return decimal_from_exact(std::move(value), out);
}

HRESULT VarBstrFromCy(CY value, LCID, uint32_t, BSTR* out) {
    const exact_number exact = exact_from_cy(value);
    *out = widen_ascii(text_from_scaled(exact.negative, exact.digits, 4, true));
    return S_OK;
}

HRESULT VarBstrFromDec(const DECIMAL& value, LCID, uint32_t, BSTR* out) {
    *out = widen_ascii(text_from_scaled(value.negative, value.digits, value.scale, false));
    return S_OK;
}

HRESULT VarR8FromCy(CY value, double* out) {
    return double_from_exact(exact_from_cy(value), out);
}

HRESULT VarR8FromDec(const DECIMAL& value, double* out) {
    return double_from_exact(exact_from_decimal(value), out);
}

namespace {

template <class Int>
HRESULT integer_kind_from_dec(const DECIMAL& value, Int* out) {
    __int128 result = 0;
    const HRESULT hr = integer_from_exact(exact_from_decimal(value), &result);
    if (FAILED(hr)) {
        return hr;
    }
    if (result < static_cast<__int128>(std::numeric_limits<Int>::min()) ||
        result > static_cast<__int128>(std::numeric_limits<Int>::max())) {
        return DISP_E_OVERFLOW;
    }
    *out = static_cast<Int>(result);
    return S_OK;
}

}  // namespace

HRESULT VarI4FromDec(const DECIMAL& value, int32_t* out) {
    return integer_kind_from_dec(value, out);
}
HRESULT VarI8FromDec(const DECIMAL& value, int64_t* out) {
    return integer_kind_from_dec(value, out);
}
HRESULT VarUI8FromDec(const DECIMAL& value, uint64_t* out) {
    return integer_kind_from_dec(value, out);
}

HRESULT VarCyFromDec(const DECIMAL& value, CY* out) {
    return cy_from_exact(exact_from_decimal(value), out);
}

HRESULT VarDecFromCy(CY value, DECIMAL* out) {
    exact_number exact = exact_from_cy(value);
    trim_fraction_zeros(exact);
    return decimal_from_exact(std::move(exact), out);
}

HRESULT VarDecFromI8(int64_t value, DECIMAL* out) {
    return decimal_from_exact(exact_from_integer(value), out);
}
HRESULT VarDecFromUI8(uint64_t value, DECIMAL* out) {
    return decimal_from_exact(exact_from_integer(static_cast<__int128>(value)), out);
}

HRESULT VarDecFromR8(double value, DECIMAL* out) {
    exact_number exact;
    if (!exact_from_double(value, exact)) {
        return DISP_E_OVERFLOW;
    }
    return decimal_from_exact(std::move(exact), out);
}

HRESULT VarCyFromR8(double value, CY* out) {
    exact_number exact;
    if (!exact_from_double(value, exact)) {
        return DISP_E_OVERFLOW;
    }
    return cy_from_exact(exact, out);
}

HRESULT VarCyFromI8(int64_t value, CY* out) {
    return cy_from_exact(exact_from_integer(value), out);
}
