#include "UDB/ole_variant.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "TK/tk_string.h"
#include "TK/tk_trace_log.h"
#include "UDB/ole_date.h"
#include "platform/codepage.h"

namespace {

// Byte arrays print at most this many bytes.
constexpr size_t max_printed_bytes = 0x50000;

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Wide text that is plain ASCII narrows by copying; anything else goes through the ANSI set.
std::string narrow(std::wstring_view text) {
    std::string result(text.size(), '\0');
    for (size_t k = 0; k < text.size(); ++k) {
        if (static_cast<uint32_t>(text[k]) >= 0x80) {
            return platform::wide_to_ansi(text);
        }
        result[k] = static_cast<char>(text[k]);
    }
    return result;
}

std::wstring widen_ascii(std::string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::string with_dots(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c == ',') {
            c = '.';
        }
    }
    return result;
}

// The leading decimal integer of the text: blanks skipped, optional sign, digits up to the
// first non-digit, 0 when there are none. False when it does not fit [low, high].
bool leading_integer(std::string_view text, __int128 low, __int128 high, __int128& value) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
    }
    __int128 magnitude = 0;
    const __int128 limit = static_cast<__int128>(1) << 70;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        magnitude = magnitude * 10 + (text[i++] - '0');
        if (magnitude > limit) {
            return false;
        }
    }
    value = negative ? -magnitude : magnitude;
    return value >= low && value <= high;
}

// The leading floating-point number of the text, as strtod reads it but independent of the
// process locale; 0 when there is none. False when it is out of range.
template <class Real>
bool leading_real(std::string_view text, Real& value) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
    }
    value = 0;
    if (i >= text.size() || text[i] == '+' || text[i] == '-') {
        return true;
    }
    Real result{};
    const auto [ptr, error] = std::from_chars(text.data() + i, text.data() + text.size(), result);
    if (error == std::errc::invalid_argument) {
        return true;
    }
    if (error == std::errc::result_out_of_range) {
        // Below the smallest normal number (a DOUBLE of 1e-320): the nearest value of the
        // kind, a subnormal or zero, is the value, not NULL. Above the largest: out of range.
        long double wide = 0;
        const auto widened = std::from_chars(text.data() + i, text.data() + text.size(), wide);
        if (widened.ec != std::errc() || std::fabs(wide) >= 1) {
            return false;
        }
        result = static_cast<Real>(wide);
    }
    value = negative ? -result : result;
    return true;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Shortest-free scientific text with the given digits after the point.
template <class Real>
std::string scientific(Real value, int precision) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, precision);
    return std::string(buffer, result.ptr);
}

template <class Int>
std::string integer_text(Int value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// A date's platform double: the time of day alone for a pure time, else the whole moment.
bool date_value(const SYSTEMTIME& parts, DATE& value) {
    if (parts.wYear == 0 && parts.wMonth == 0 && parts.wDay == 0) {
        if (parts.wHour > 23 || parts.wMinute > 59 || parts.wSecond > 59) {
            return false;
        }
        value = (parts.wHour * 3600.0 + parts.wMinute * 60.0 + parts.wSecond) / 86400.0;
        return true;
    }
    return SystemTimeToVariantTime(&parts, &value) != 0;
}

// The 16 bytes of a Windows DECIMAL (reserved, scale, sign, high 32 bits, low 64 bits);
// false when the coefficient does not fit 96 bits or the scale 28.
bool windows_decimal_bytes(const DECIMAL& d, std::vector<uint8_t>& out) {
    if (d.scale > 28 || d.digits.size() > 29) {
        return false;
    }
    unsigned __int128 coefficient = 0;
    for (const char c : d.digits) {
        coefficient = coefficient * 10 + static_cast<unsigned>(c - '0');
    }
    if (coefficient >> 96 != 0) {
        return false;
    }
    const uint16_t reserved = 0;
    const uint8_t scale = d.scale;
    const uint8_t sign = d.negative ? 0x80 : 0;
    const uint32_t high = static_cast<uint32_t>(coefficient >> 64);
    const uint64_t low = static_cast<uint64_t>(coefficient);
    out.resize(16);
    std::memcpy(out.data(), &reserved, 2);
    out[2] = scale;
    out[3] = sign;
    std::memcpy(out.data() + 4, &high, 4);
    std::memcpy(out.data() + 8, &low, 8);
    return true;
}

template <class T>
void append_bytes(std::vector<uint8_t>& out, const T& value) {
    out.resize(sizeof(T));
    std::memcpy(out.data(), &value, sizeof(T));
}

}  // namespace

// ---- ole_type_exception, helpers ---------------------------------------------------------------

ole_type_exception::ole_type_exception()
    : tk_exception("The operating type is not supported yet", 1) {}

bool ole_is_binary_type(VARTYPE vt) {
    return vt == VT_ARRAY_UI1 || vt == VT_BLOB || vt == VT_BLOB_OBJECT;
}

// ---- construction, copy and assignment ---------------------------------------------------------

ole_variant::ole_variant(const ole_variant& other) = default;
ole_variant::ole_variant(ole_variant&& other) noexcept = default;
ole_variant& ole_variant::operator=(const ole_variant& other) = default;
ole_variant& ole_variant::operator=(ole_variant&& other) noexcept = default;
ole_variant::~ole_variant() = default;

ole_variant::ole_variant(bool value) {
    tk_trace(1, "ole_variant::ctor from bool(%d)", value ? 1 : 0);
    value_.vt = VT_BOOL;
    value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ole_variant::ole_variant(char value) : ole_variant(static_cast<signed char>(value)) {}

ole_variant::ole_variant(signed char value) {
    tk_trace(1, "ole_variant::ctor from char(%d)", value);
    value_.vt = VT_I1;
    value_.cVal = value;
}

ole_variant::ole_variant(unsigned char value) {
    tk_trace(1, "ole_variant::ctor from byte(%u)", value);
    value_.vt = VT_UI1;
    value_.bVal = value;
}

ole_variant::ole_variant(short value) {
    tk_trace(1, "ole_variant::ctor from short(%d)", value);
    value_.vt = VT_I2;
    value_.iVal = value;
}

ole_variant::ole_variant(unsigned short value) {
    tk_trace(1, "ole_variant::ctor from unsigned short(%u)", value);
    value_.vt = VT_UI2;
    value_.uiVal = value;
}

ole_variant::ole_variant(int value) {
    tk_trace(1, "ole_variant::ctor from int(%d)", value);
    value_.vt = VT_I4;
    value_.lVal = value;
}

ole_variant::ole_variant(unsigned int value) {
    tk_trace(1, "ole_variant::ctor from unsigned int(%u)", value);
    value_.vt = VT_UI4;
    value_.ulVal = value;
}

ole_variant::ole_variant(long value) : ole_variant(static_cast<long long>(value)) {}

ole_variant::ole_variant(long long value) {
    tk_trace(1, "ole_variant::ctor(hyper, %lld)", value);
    value_.vt = VT_I8;
    value_.llVal = value;
}

ole_variant::ole_variant(unsigned long value)
    : ole_variant(static_cast<unsigned long long>(value)) {}

ole_variant::ole_variant(unsigned long long value) {
    tk_trace(1, "ole_variant::ctor(uhyper, %llu)", value);
    value_.vt = VT_UI8;
    value_.ullVal = value;
}

ole_variant::ole_variant(float value) {
    tk_trace(1, "ole_variant::ctor from float(%g)", static_cast<double>(value));
    value_.vt = VT_R4;
    value_.fltVal = value;
}

ole_variant::ole_variant(double value) {
    tk_trace(1, "ole_variant::ctor from double(%g)", value);
    value_.vt = VT_R8;
    value_.dblVal = value;
}

ole_variant::ole_variant(const SYSTEMTIME& value) {
    tk_trace(1, "ole_variant::ctor from SYSTEMTIME");
    set_date_parts(value);
}

ole_variant::ole_variant(const SYSTEMTIME& value, uint32_t microseconds, bool negative) {
    tk_trace(1, "ole_variant::ctor from SYSTEMTIME");
    set_date_parts(value, microseconds, negative);
}

ole_variant::ole_variant(CY value) {
    tk_trace(1, "ole_variant::ctor from currency");
    value_.vt = VT_CY;
    value_.cyVal = value;
}

ole_variant::ole_variant(DECIMAL value) {
    tk_trace(1, "ole_variant::ctor from DECIMAL");
    value_.decVal() = std::move(value);
    value_.vt = VT_DECIMAL;
}

ole_variant::ole_variant(std::string_view text) {
    tk_trace(1, "ole_variant::ctor from string");
    attach_string(text);
}

ole_variant::ole_variant(const char* text)
    : ole_variant(std::string_view(text == nullptr ? "" : text)) {}

ole_variant::ole_variant(std::wstring text) {
    tk_trace(1, "ole_variant::ctor from wstring");
    attach_wstring(std::move(text));
}

ole_variant::ole_variant(const wchar_t* text)
    : ole_variant(std::wstring(text == nullptr ? L"" : text)) {}

ole_variant::ole_variant(const std::vector<uint8_t>& bytes) {
    tk_trace(1, "ole_variant::ctor from vector (size=%zu)", bytes.size());
    attach_binary(bytes);
}

ole_variant::ole_variant(std::vector<uint8_t>&& bytes) {
    tk_trace(1, "ole_variant::ctor from vector (size=%zu)", bytes.size());
    attach_binary(std::move(bytes));
}

ole_variant::ole_variant(size_t length, const void* bytes) {
    tk_trace(1, "ole_variant::ctor from bytes (size=%zu)", length);
    attach_binary(length, bytes);
}

void ole_variant::set_date_parts(const SYSTEMTIME& parts, uint32_t microseconds, bool negative) {
    VariantClear(&value_);
    value_.vt = VT_DATE;
    date_parts_ = parts;
    date_microseconds_ = microseconds % 1000000;
    date_parts_.wMilliseconds = static_cast<uint16_t>(date_microseconds_ / 1000);
    date_negative_ = negative;
    DATE value = 0;
    if (negative || !date_value(parts, value)) {
        tk_trace(2, "Failed to convert SYSTEMTIME->VARIANT");
        value = 0;
    }
    value_.date = value;
}

void ole_variant::clear() noexcept {
    VariantClear(&value_);
    date_parts_ = SYSTEMTIME();
    date_microseconds_ = 0;
    date_negative_ = false;
}

std::wstring ole_variant::date_text() const {
    std::wstring text = ole_date(date_parts_, date_microseconds_).to_wstring();
    if (date_negative_) {
        // A duration prints as "0000-00-00 -12:00:00".
        const size_t time = text.find(L' ');
        text.insert(time == std::wstring::npos ? 0 : time + 1, 1, L'-');
    }
    return text;
}

bool ole_variant::is_long_duration() const noexcept {
    const SYSTEMTIME& t = date_parts_;
    return value_.vt == VT_DATE && t.wYear == 0 && t.wMonth == 0 && t.wDay == 0 &&
           (t.wHour > 23 || date_negative_);
}

// ---- from_string -------------------------------------------------------------------------------

ole_variant ole_variant::from_string(const char* text, VARTYPE type) {
    return from_string(std::string_view(text == nullptr ? "" : text), type);
}

ole_variant ole_variant::from_string(const std::string& text, VARTYPE type) {
    return from_string(std::string_view(text), type);
}

ole_variant ole_variant::from_string(std::string_view text, VARTYPE type) {
    tk_trace(1, "ole_variant::from_string('%.*s', 0x%08X)", static_cast<int>(text.size()),
             text.data(), type);
    ole_variant result;
    if (text.empty()) {
        if (type == VT_BSTR) {
            result.attach_wstring(std::wstring());
        }
        return result;
    }
    __int128 low = 0, high = 0;
    switch (type) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8: {
            ole_integer_range(type, low, high);
            __int128 value = 0;
            // A value that does not fit the kind is not cut to its width.
            if (!leading_integer(text, low, high, value)) {
                tk_trace(3, "Integer out of range for type %d: '%.*s'", type,
                         static_cast<int>(text.size()), text.data());
                return result;
            }
            ole_store_integer(result.value_, type, value);
            return result;
        }
        case VT_R4:
        case VT_R8: {
            const std::string dotted = with_dots(text);
            bool ok = false;
            if (type == VT_R4) {
                ok = leading_real(dotted, result.value_.fltVal);
            } else {
                ok = leading_real(dotted, result.value_.dblVal);
            }
            if (!ok) {
                tk_trace(3, "Floating-point value out of range: '%s'", dotted.c_str());
                result.value_.llVal = 0;
                return result;
            }
            result.value_.vt = type;
            return result;
        }
        case VT_CY: {
            CY value;
            const HRESULT hr =
                VarCyFromStr(widen_ascii(with_dots(text)), LOCALE_ENGLISH_US, 0, &value);
            if (FAILED(hr)) {
                tk_trace(3, "VarCyFromStr failed: %08X", static_cast<unsigned>(hr));
                return result;
            }
            result.value_.vt = VT_CY;
            result.value_.cyVal = value;
            return result;
        }
        case VT_DECIMAL: {
            const HRESULT hr = VarDecFromStr(widen_ascii(with_dots(text)), LOCALE_ENGLISH_US, 0,
                                             &result.value_.decVal());
            if (FAILED(hr)) {
                tk_trace(3, "VarDecFromStr failed: %08X", static_cast<unsigned>(hr));
                result.value_.release_payload();
                return result;
            }
            result.value_.vt = VT_DECIMAL;
            return result;
        }
        case VT_DATE: {
            const ole_date date(text);
            if (date.is_valid()) {
                result.set_date_parts(date.parts(), date.microseconds());
            }
            return result;
        }
        case VT_BOOL: {
            bool value = false;
            if (text == "yes" || text == "true") {
                value = true;
            } else if (text == "no" || text == "false") {
                value = false;
            } else {
                __int128 number = 0;
                // atoi: a number too large for int is still not zero.
                value = !leading_integer(text, INT64_MIN, INT64_MAX, number) || number != 0;
            }
            result.value_.vt = VT_BOOL;
            result.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
            return result;
        }
        case VT_ARRAY_UI1:
        case VT_BLOB:
        case VT_BLOB_OBJECT: {
            if (text.size() % 2 != 0) {
                tk_trace(2, "Incorrect BLOB (size is odd)");
                return result;
            }
            std::string_view digits = text;
            if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
                digits.remove_prefix(2);
            }
            std::vector<uint8_t> bytes(digits.size() / 2);
            for (size_t k = 0; k < bytes.size(); ++k) {
                const int high_nibble = hex_value(digits[2 * k]);
                const int low_nibble = hex_value(digits[2 * k + 1]);
                if (high_nibble < 0 || low_nibble < 0) {
                    tk_trace(2, "Incorrect BLOB (not hexadecimal)");
                    return result;
                }
                bytes[k] = static_cast<uint8_t>(high_nibble * 16 + low_nibble);
            }
            tk_trace(1, "Got BLOB size: %zu", bytes.size());
            result.attach_binary(std::move(bytes));
            return result;
        }
        case VT_BSTR:
            result.attach_string(text);
            return result;
        default: {
            VARIANT source;
            source.vt = VT_BSTR;
            source.bstr() = platform::ansi_to_wide(text);
            if (FAILED(VariantChangeType(&result.value_, &source, 0, type))) {
                throw ole_type_exception();
            }
            tk_trace(1, "VariantChangeType succeeded");
            return result;
        }
    }
}

ole_variant ole_variant::from_wstring(std::wstring_view text, VARTYPE type) {
    if (type == VT_BSTR) {
        return ole_variant(std::wstring(text));
    }
    return from_string(narrow(text), type);
}

ole_variant ole_variant::from_wstring(const wchar_t* text, VARTYPE type) {
    return from_wstring(std::wstring_view(text == nullptr ? L"" : text), type);
}

ole_variant ole_variant::from_wstring(const std::wstring& text, VARTYPE type) {
    return from_wstring(std::wstring_view(text), type);
}

ole_variant ole_variant::from_wstring(std::wstring&& text, VARTYPE type) {
    if (type == VT_BSTR) {
        ole_variant result;
        result.attach_wstring(std::move(text));
        return result;
    }
    return from_string(narrow(text), type);
}

// ---- change_type -------------------------------------------------------------------------------

void ole_variant::change_type(VARTYPE new_type) {
    const VARTYPE old_type = value_.vt;
    tk_trace(1, "ole_variant::change_type(old=%d,new=%d)", old_type, new_type);
    // 1. Same kind, or NULL: a NULL stays NULL whatever the destination kind.
    if (new_type == old_type || old_type == VT_EMPTY || old_type == VT_NULL) {
        return;
    }
    // 2. Bytes stay bytes.
    if (ole_is_binary_type(new_type) && ole_is_binary_type(old_type)) {
        return;
    }
    // 5. A scalar's own bytes (64-bit integers included, so this comes first).
    if (ole_is_binary_type(new_type)) {
        change_to_bytes();
        return;
    }
    // 3. and 4. 64-bit integers.
    if (old_type == VT_I8 || old_type == VT_UI8) {
        change_from_hyper(new_type);
        return;
    }
    if (new_type == VT_I8 || new_type == VT_UI8) {
        change_to_hyper(new_type);
        return;
    }
    // 6. Dates become text only.
    if (old_type == VT_DATE) {
        if (new_type != VT_BSTR) {
            throw ole_type_exception();
        }
        attach_wstring(date_text());
        return;
    }
    // 7. Text of the shape "YYYY-MM-DD hh:mm:ss" becomes a date; text that does not read as
    // one is a failure, not a NULL.
    if (new_type == VT_DATE) {
        if (old_type != VT_BSTR || value_.bstr().size() != 19) {
            throw ole_type_exception();
        }
        ole_variant date = from_wstring(value_.bstr(), VT_DATE);
        if (date.vartype() != VT_DATE) {
            throw ole_type_exception();
        }
        *this = std::move(date);
        return;
    }
    // 8. The platform's rules.
    if (FAILED(VariantChangeType(&value_, &value_, 0, new_type))) {
        throw ole_type_exception();
    }
}

void ole_variant::change_from_hyper(VARTYPE new_type) {
    const __int128 value = value_.vt == VT_I8 ? static_cast<__int128>(value_.llVal)
                                              : static_cast<__int128>(value_.ullVal);
    __int128 low = 0, high = 0;
    if (ole_integer_range(new_type, low, high)) {
        // A value that does not fit the narrower kind fails instead of being cut to its width.
        if (value < low || value > high) {
            throw ole_type_exception();
        }
        ole_store_integer(value_, new_type, value);
        return;
    }
    switch (new_type) {
        case VT_R4:
        case VT_R8: {
            const double real = static_cast<double>(value);
            VariantClear(&value_);
            value_.vt = new_type;
            if (new_type == VT_R4) {
                value_.fltVal = static_cast<float>(value);
            } else {
                value_.dblVal = real;
            }
            return;
        }
        case VT_BOOL:
            VariantClear(&value_);
            value_.vt = VT_BOOL;
            value_.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case VT_BSTR:
            attach_wstring(widen_ascii(to_string()));
            return;
        case VT_CY:
        case VT_DECIMAL:
            // Exact through the platform's decimal and currency conversions.
            if (FAILED(VariantChangeType(&value_, &value_, 0, new_type))) {
                throw ole_type_exception();
            }
            return;
        default:
            throw ole_type_exception();
    }
}

void ole_variant::change_to_hyper(VARTYPE new_type) {
    const VARTYPE old_type = value_.vt;
    __int128 value = 0;
    if (old_type == VT_BOOL && new_type == VT_UI8) {
        value = value_.boolVal != 0 ? 1 : 0;
    } else if (ole_integer_value(value_, value)) {
    } else if (old_type == VT_R4 || old_type == VT_R8) {
        const double real = old_type == VT_R4 ? static_cast<double>(value_.fltVal) : value_.dblVal;
        if (!std::isfinite(real) || std::fabs(real) >= 2e19) {
            throw ole_type_exception();
        }
        value = static_cast<__int128>(std::trunc(real));
    } else if (old_type == VT_CY || old_type == VT_DECIMAL) {
        if (FAILED(VariantChangeType(&value_, &value_, 0, new_type))) {
            throw ole_type_exception();
        }
        return;
    } else {
        throw ole_type_exception();
    }
    __int128 low = 0, high = 0;
    ole_integer_range(new_type, low, high);
    if (value < low || value > high) {
        throw ole_type_exception();
    }
    ole_store_integer(value_, new_type, value);
}

void ole_variant::change_to_bytes() {
    std::vector<uint8_t> bytes;
    switch (value_.vt) {
        case VT_I2:
        case VT_BOOL:
        case VT_UI2:
            append_bytes(bytes, value_.uiVal);
            break;
        case VT_I4:
        case VT_R4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            append_bytes(bytes, value_.ulVal);
            break;
        case VT_R8:
        case VT_CY:
        case VT_I8:
        case VT_UI8:
            append_bytes(bytes, value_.ullVal);
            break;
        case VT_I1:
        case VT_UI1:
            append_bytes(bytes, value_.bVal);
            break;
        case VT_DATE:
            append_bytes(bytes, date_parts_);
            break;
        case VT_DECIMAL:
            if (!windows_decimal_bytes(value_.decVal(), bytes)) {
                throw ole_type_exception();
            }
            break;
        case VT_BSTR: {
            // Text becomes its UTF-8 bytes.
            const std::string utf8 = platform::wide_to_utf8(value_.bstr());
            bytes.assign(utf8.begin(), utf8.end());
            break;
        }
        default:
            throw ole_type_exception();
    }
    attach_binary(std::move(bytes));
}

// ---- readers
// -------------------------------------------------------------------------------------

int32_t ole_variant::to_long() const {
    tk_trace(1, "ole_variant::to_long(vt=%08X)", value_.vt);
    __int128 value = 0;
    switch (value_.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return 0;
        case VT_R4:
        case VT_R8: {
            const double real =
                value_.vt == VT_R4 ? static_cast<double>(value_.fltVal) : value_.dblVal;
            const double truncated = std::trunc(real);
            if (!(truncated >= INT32_MIN && truncated <= INT32_MAX)) {
                throw ole_type_exception();
            }
            return static_cast<int32_t>(truncated);
        }
        case VT_DECIMAL: {
            int32_t result = 0;
            const HRESULT hr = VarI4FromDec(value_.decVal(), &result);
            tk_trace(1, "from DECIMAL, hr=%08X", static_cast<unsigned>(hr));
            if (FAILED(hr)) {
                throw ole_type_exception();
            }
            return result;
        }
        default:
            if (!ole_integer_value(value_, value)) {
                TK_FAIL();
            }
            // A value beyond 32 bits is not returned cut to its low bits.
            if (value < INT32_MIN || value > INT32_MAX) {
                throw ole_type_exception();
            }
            return static_cast<int32_t>(value);
    }
}

double ole_variant::to_double() const {
    tk_trace(1, "ole_variant::to_double(%08X)", value_.vt);
    __int128 value = 0;
    switch (value_.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return 0;
        case VT_R4:
            return value_.fltVal;
        case VT_R8:
            return value_.dblVal;
        case VT_CY: {
            double result = 0;
            const HRESULT hr = VarR8FromCy(value_.cyVal, &result);
            tk_trace(1, "from CURRECY: res=%lg, hr=%08X", result, static_cast<unsigned>(hr));
            return FAILED(hr) ? 0 : result;
        }
        case VT_DECIMAL: {
            double result = 0;
            const HRESULT hr = VarR8FromDec(value_.decVal(), &result);
            tk_trace(1, "from DECIMAL: res=%lg, hr=%08X", result, static_cast<unsigned>(hr));
            return FAILED(hr) ? 0 : result;
        }
        default:
            if (!ole_integer_value(value_, value)) {
                TK_FAIL();
            }
            return static_cast<double>(value);
    }
}

std::string ole_variant::to_string() const {
    tk_trace(1, "ole_variant::to_string (vt=%08X)", value_.vt);
    switch (value_.vt) {
        case VT_I1:
            return integer_text(static_cast<int>(value_.cVal));
        case VT_I2:
            return integer_text(static_cast<int>(value_.iVal));
        case VT_I4:
        case VT_INT:
            return integer_text(value_.lVal);
        case VT_UI1:
            return integer_text(static_cast<unsigned>(value_.bVal));
        case VT_UI2:
            return integer_text(static_cast<unsigned>(value_.uiVal));
        case VT_UI4:
        case VT_UINT:
            return integer_text(value_.ulVal);
        case VT_I8:
            return integer_text(value_.llVal);
        case VT_UI8:
            return integer_text(value_.ullVal);
        // Enough digits to read back the same value: 9 significant for a float, 17 for a double.
        case VT_R4:
            return scientific(value_.fltVal, 8);
        case VT_R8:
            return scientific(value_.dblVal, 16);
        case VT_BOOL:
            return value_.boolVal != 0 ? "1" : "0";
        case VT_CY: {
            BSTR text;
            if (FAILED(VarBstrFromCy(value_.cyVal, GetUserDefaultLCID(), 0, &text))) {
                return {};
            }
            return with_dots(narrow(text));
        }
        case VT_DECIMAL: {
            BSTR text;
            if (FAILED(VarBstrFromDec(value_.decVal(), GetUserDefaultLCID(), 0, &text))) {
                return {};
            }
            return with_dots(narrow(text));
        }
        case VT_DATE:
            return platform::wide_to_ansi(date_text());
        case VT_BSTR:
            return platform::wide_to_ansi(value_.bstr());
        case VT_ARRAY_UI1: {
            const std::vector<uint8_t>& data = value_.parray().data;
            if (data.empty()) {
                return {};
            }
            return "0x" + tk_hex_encode(data.data(), std::min(data.size(), max_printed_bytes));
        }
        default:
            return {};
    }
}

std::wstring ole_variant::to_wstring() const {
    if (value_.vt == VT_BSTR) {
        return value_.bstr();
    }
    // Every other kind prints plain ASCII.
    return widen_ascii(to_string());
}

size_t ole_variant::get_bytes(const uint8_t*& data) const {
    tk_trace(1, "ole_variant::get_bytes(%d)", value_.vt);
    data = nullptr;
    if (is_null()) {
        return 0;
    }
    if (value_.vt != VT_ARRAY_UI1) {
        TK_FAIL();
    }
    const std::vector<uint8_t>& bytes = value_.parray().data;
    tk_trace(1, "get_safe_array_size");
    tk_trace(1, "lower=0, upper=%lld", static_cast<long long>(bytes.size()) - 1);
    data = bytes.empty() ? nullptr : bytes.data();
    return bytes.size();
}

std::span<const uint8_t> ole_variant::bytes() const {
    const uint8_t* data = nullptr;
    const size_t size = get_bytes(data);
    return {data, size};
}

std::span<uint8_t> ole_variant::mutable_bytes() {
    if (value_.vt != VT_ARRAY_UI1) {
        TK_FAIL();
    }
    std::vector<uint8_t>& bytes = value_.parray().data;
    return {bytes.data(), bytes.size()};
}

const std::wstring& ole_variant::bstr() const {
    if (value_.vt != VT_BSTR) {
        TK_FAIL();
    }
    return value_.bstr();
}

const DECIMAL& ole_variant::decimal() const {
    if (value_.vt != VT_DECIMAL) {
        TK_FAIL();
    }
    return value_.decVal();
}

// ---- writers
// -------------------------------------------------------------------------------------

void ole_variant::allocate_safe_array(size_t size) {
    tk_trace(1, "ole_variant::allocate_safe_array (size=%zu)", size);
    if (value_.vt == VT_ARRAY_UI1) {
        tk_trace(1, "Redimension array");
        value_.parray().data.resize(size);
        return;
    }
    clear();
    value_.parray().data.assign(size, 0);
    value_.vt = VT_ARRAY_UI1;
}

void ole_variant::attach_binary(size_t length, const void* data) {
    TK_ASSERT(data != nullptr);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    clear();
    value_.parray().data.assign(bytes, bytes + length);
    value_.vt = VT_ARRAY_UI1;
}

void ole_variant::attach_binary(const std::vector<uint8_t>& bytes) {
    clear();
    value_.parray().data = bytes;
    value_.vt = VT_ARRAY_UI1;
}

void ole_variant::attach_binary(std::vector<uint8_t>&& bytes) {
    clear();
    value_.parray().data = std::move(bytes);
    value_.vt = VT_ARRAY_UI1;
}

void ole_variant::attach_string(std::string_view text) {
    tk_trace(1, "ole_variant::attach_string('%.*s')", static_cast<int>(text.size()), text.data());
    attach_wstring(platform::ansi_to_wide(text));
}

void ole_variant::attach_wstring(std::wstring text) {
    if (value_.vt != VT_BSTR) {
        clear();
    }
    value_.bstr() = std::move(text);
    value_.vt = VT_BSTR;
}

bool ole_variant::same_as(const ole_variant& other) const {
    if (value_.vt != other.value_.vt) {
        return false;
    }
    __int128 a = 0, b = 0;
    if (ole_integer_value(value_, a) && ole_integer_value(other.value_, b)) {
        return a == b;
    }
    switch (value_.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_R4:
            return std::memcmp(&value_.fltVal, &other.value_.fltVal, sizeof(float)) == 0;
        case VT_R8:
            return std::memcmp(&value_.dblVal, &other.value_.dblVal, sizeof(double)) == 0;
        case VT_CY:
            return value_.cyVal == other.value_.cyVal;
        case VT_DECIMAL:
            return value_.decVal() == other.value_.decVal();
        case VT_DATE:
            return date_parts_ == other.date_parts_ &&
                   date_microseconds_ == other.date_microseconds_ &&
                   date_negative_ == other.date_negative_;
        case VT_BSTR:
            return value_.bstr() == other.value_.bstr();
        case VT_ARRAY_UI1:
            return value_.parray().data == other.value_.parray().data;
        default:
            return value_.llVal == other.value_.llVal;
    }
}

// ---- ole_guid_extractor
// --------------------------------------------------------------------------

ole_guid_extractor::ole_guid_extractor(std::wstring text) : text_(std::move(text)) {
    tk_trace_w(1, L"ole_guid_extractor::ctor(%ls)", text_.c_str());
    if (text_.size() < 45) {
        return;
    }
    size_t match = text_.find(L"guid");
    if (match == std::wstring::npos) {
        match = text_.find(L"GUID");
    }
    tk_trace(1, "Locating 'guid' (%d : %d)", static_cast<int>(match),
             static_cast<int>(text_.size()));
    if (match == std::wstring::npos) {
        return;
    }
    const size_t brace = text_.find(L'{', match + 4);
    // The 38 characters of the GUID must all be there.
    if (brace == std::wstring::npos || brace + 38 > text_.size()) {
        return;
    }
    position_ = static_cast<int32_t>(brace);
    found_ = true;
}

std::wstring ole_guid_extractor::guid() const {
    return found_ ? text_.substr(static_cast<size_t>(position_), 38) : std::wstring();
}

std::wstring ole_guid_extractor::hex_digits() const {
    if (!found_) {
        return {};
    }
    const size_t p = static_cast<size_t>(position_);
    return text_.substr(p + 1, 8) + text_.substr(p + 10, 4) + text_.substr(p + 15, 4) +
           text_.substr(p + 20, 4) + text_.substr(p + 25, 12);
}
