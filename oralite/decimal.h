// Exact decimal numbers: the values of Oracle's NUMBER type.
//
// A decimal is sign x digits x 10^exponent with at most 40 significant digits, kept
// normalised (no leading or trailing zero digits), so equal values have equal
// representations. Arithmetic is exact where the result fits in 40 digits and rounds half
// away from zero otherwise, as Oracle does. Results beyond Oracle's range (|x| >= 1e126) raise
// ORA-01426; results below 1e-130 become zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace oralite {

class decimal {
  public:
    static constexpr int k_max_digits = 40;

    decimal() = default;
    static decimal from_int(int64_t v);
    // Oracle number text: optional blanks, sign, digits with an optional point, optional
    // exponent. nullopt when the text is not a number.
    static std::optional<decimal> parse(std::string_view text);
    // The shortest decimal that reads back as the same double; nullopt for inf and NaN.
    static std::optional<decimal> from_double(double v);
    // The 22-byte internal NUMBER form (SQLT_NUM); nullopt when malformed.
    static std::optional<decimal> from_oracle_bytes(const unsigned char* bytes, size_t len);

    bool is_zero() const { return digits_.empty(); }
    bool is_negative() const { return negative_; }
    bool is_integer() const { return digits_.empty() || exponent_ >= 0; }
    // Number of significant digits.
    int digit_count() const { return static_cast<int>(digits_.size()); }
    // Power of ten of the most significant digit (0 for zero).
    int magnitude() const;

    // "0.5", "-12.25", "100000000000000000000": never an exponent.
    std::string to_string() const;
    // Oracle's implicit conversion to text: ".5", "-.25", integers as above.
    std::string to_oracle_string() const;
    std::optional<int64_t> to_int64() const;
    double to_double() const;
    // 1 to 22 bytes of the internal NUMBER form.
    std::string to_oracle_bytes() const;
    // Bytes whose memcmp order is the numeric order (for sorting).
    std::string sort_key() const;

    int compare(const decimal& other) const;
    bool operator==(const decimal& other) const { return compare(other) == 0; }

    // Rounded half away from zero to `scale` digits after the point (negative: left of it).
    decimal rounded(int scale) const;
    decimal truncated(int scale) const;
    decimal negated() const;
    decimal abs() const;
    decimal floor() const;
    decimal ceil() const;

    friend decimal operator+(const decimal& a, const decimal& b);
    friend decimal operator-(const decimal& a, const decimal& b);
    friend decimal operator*(const decimal& a, const decimal& b);
    // ORA-01476 for a zero divisor.
    static decimal divide(const decimal& a, const decimal& b);
    static decimal modulo(const decimal& a, const decimal& b);
    // Integer power (exponent within +-1000).
    static decimal power(const decimal& a, int n);

  private:
    decimal(bool negative, std::string digits, int exponent);
    void normalize();

    bool negative_ = false;
    std::string digits_;  // '0'..'9', no leading or trailing '0'
    int exponent_ = 0;    // value = digits_ * 10^exponent_
};

}  // namespace oralite
