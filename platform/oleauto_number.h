// Exact decimal arithmetic shared by the OLE Automation stand-in's number conversions.
// Internal to platform/; the value model sees only platform/oleauto.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/oleauto.h"

namespace platform::ole_detail {

// ±digits × 10^exponent; digits without leading zeros ("" is zero; only a parsed -0 keeps
// its sign, for the floating-point kinds).
struct exact_number {
    std::string digits;
    int32_t exponent = 0;
    bool negative = false;
};

// Number syntax of the locale-1033 parsers (see VarDecFromStr). False on anything else.
bool parse_exact(std::string_view text, exact_number& out);
bool parse_exact(std::wstring_view text, exact_number& out);

exact_number exact_from_decimal(const DECIMAL& value);
exact_number exact_from_cy(CY value);
// Drops fraction digits that are 0 (the value stays the same).
void trim_fraction_zeros(exact_number& value);
exact_number exact_from_integer(__int128 value);
// The shortest decimal that reads back to the same value; false for NaN and infinities.
bool exact_from_double(double value, exact_number& out);
bool exact_from_float(float value, exact_number& out);

// The coefficient of the value at scale fractional digits, rounded half to even, without
// leading zeros. False when it would have more than max_digits digits.
bool round_to_scale(const exact_number& value, int32_t scale, size_t max_digits, std::string& out);

HRESULT decimal_from_exact(exact_number value, DECIMAL* out);
HRESULT cy_from_exact(const exact_number& value, CY* out);
// Rounded half to even to an integer; DISP_E_OVERFLOW beyond 38 digits.
HRESULT integer_from_exact(const exact_number& value, __int128* out);
HRESULT double_from_exact(const exact_number& value, double* out);
HRESULT float_from_exact(const exact_number& value, float* out);

// "[-]int[.fraction]" of a coefficient at a scale; trailing fraction zeros are kept unless
// trim_zeros.
std::string text_from_scaled(bool negative, std::string_view digits, int32_t scale,
                             bool trim_zeros);

}  // namespace platform::ole_detail
