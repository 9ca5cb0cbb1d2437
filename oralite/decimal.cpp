#include "oralite/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "oralite/ora_error.h"

namespace oralite {

namespace {

// Adds two non-negative digit strings of equal length (most significant first).
std::string add_digits(const std::string& a, const std::string& b) {
    std::string out(a.size() + 1, '0');
    int carry = 0;
    for (size_t i = a.size(); i-- > 0;) {
        int s = (a[i] - '0') + (b[i] - '0') + carry;
        out[i + 1] = static_cast<char>('0' + s % 10);
        carry = s / 10;
    }
    out[0] = static_cast<char>('0' + carry);
    return out;
}

// a - b for equal-length digit strings with a >= b.
std::string sub_digits(const std::string& a, const std::string& b) {
    std::string out(a.size(), '0');
    int borrow = 0;
    for (size_t i = a.size(); i-- > 0;) {
        int d = (a[i] - '0') - (b[i] - '0') - borrow;
        borrow = d < 0 ? 1 : 0;
        out[i] = static_cast<char>('0' + (d + 10) % 10);
    }
    return out;
}

}  // namespace

decimal::decimal(bool negative, std::string digits, int exponent)
    : negative_(negative), digits_(std::move(digits)), exponent_(exponent) {
    normalize();
}

void decimal::normalize() {
    size_t first = digits_.find_first_not_of('0');
    if (first == std::string::npos) {
        digits_.clear();
        exponent_ = 0;
        negative_ = false;
        return;
    }
    digits_.erase(0, first);
    size_t last = digits_.find_last_not_of('0');
    exponent_ += static_cast<int>(digits_.size() - last - 1);
    digits_.resize(last + 1);
    if (static_cast<int>(digits_.size()) > k_max_digits) {
        int drop = static_cast<int>(digits_.size()) - k_max_digits;
        bool up = digits_[k_max_digits] >= '5';
        digits_.resize(k_max_digits);
        exponent_ += drop;
        if (up) {
            std::string one(digits_.size(), '0');
            one.back() = '1';
            digits_ = add_digits(digits_, one);
        }
        normalize();
        return;
    }
    int mag = magnitude();
    if (mag >= 126) {
        throw ora_error(1426);
    }
    if (mag < -130) {
        digits_.clear();
        exponent_ = 0;
        negative_ = false;
    }
}

int decimal::magnitude() const {
    return digits_.empty() ? 0 : static_cast<int>(digits_.size()) - 1 + exponent_;
}

decimal decimal::from_int(int64_t v) {
    bool neg = v < 0;
    uint64_t u = neg ? (~static_cast<uint64_t>(v) + 1) : static_cast<uint64_t>(v);
    return decimal(neg, std::to_string(u), 0);
}

std::optional<decimal> decimal::parse(std::string_view text) {
    size_t i = 0;
    size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) {
        ++i;
    }
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t' || text[n - 1] == '\n' ||
                     text[n - 1] == '\r')) {
        --n;
    }
    bool neg = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        neg = text[i] == '-';
        ++i;
    }
    std::string digits;
    digits.reserve(n - i);  // one allocation at most, however many digits
    int exponent = 0;
    bool any = false;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        digits.push_back(text[i++]);
        any = true;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            digits.push_back(text[i++]);
            --exponent;
            any = true;
        }
    }
    if (!any) {
        return std::nullopt;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            eneg = text[i] == '-';
            ++i;
        }
        if (i >= n || text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        long e = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            e = std::min<long>(e * 10 + (text[i++] - '0'), 100000);
        }
        exponent += static_cast<int>(eneg ? -e : e);
    }
    if (i != n) {
        return std::nullopt;
    }
    return decimal(neg, std::move(digits), exponent);
}

std::optional<decimal> decimal::from_double(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    try {
        return parse(std::string_view(buf, res.ptr - buf));
    } catch (const ora_error&) {
        // The shortest text of the double nearest 1e126 is "1e+126", beyond NUMBER, though
        // the double itself (9.9999999999999992e125) is within it: its 17 digits decide.
        res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 16);
        return parse(std::string_view(buf, res.ptr - buf));
    }
}

std::optional<decimal> decimal::from_oracle_bytes(const unsigned char* b, size_t len) {
    if (len == 0 || len > 22) {
        return std::nullopt;
    }
    if (b[0] == 0x80 && len == 1) {
        return decimal();
    }
    bool neg = b[0] < 0x80;
    int e = neg ? 62 - b[0] : b[0] - 193;
    std::string digits;
    for (size_t i = 1; i < len; ++i) {
        int m = neg ? 101 - b[i] : b[i] - 1;
        if (neg && b[i] == 102) {
            break;
        }
        if (m < 0 || m > 99) {
            return std::nullopt;
        }
        digits.push_back(static_cast<char>('0' + m / 10));
        digits.push_back(static_cast<char>('0' + m % 10));
    }
    int exponent = 2 * e - static_cast<int>(digits.size()) + 2;
    try {
        return decimal(neg, std::move(digits), exponent);
    } catch (const ora_error&) {
        return std::nullopt;
    }
}

std::string decimal::to_oracle_bytes() const {
    if (digits_.empty()) {
        return std::string(1, '\x80');
    }
    // Align the digits to base-100 pairs: the value is 0.d1d2... x 100^(e+1).
    int mag = magnitude();
    int e = (mag >= 0) ? mag / 2 : -((-mag + 1) / 2);
    int lead = mag - 2 * e;  // 0 or 1: digits before the first pair boundary
    std::string padded = (lead == 0 ? "0" : "") + digits_;
    if (padded.size() % 2) {
        padded.push_back('0');
    }
    std::string out;
    out.push_back(static_cast<char>(negative_ ? 62 - e : 193 + e));
    for (size_t i = 0; i < padded.size() && out.size() < 21; i += 2) {
        int m = (padded[i] - '0') * 10 + (padded[i + 1] - '0');
        out.push_back(static_cast<char>(negative_ ? 101 - m : m + 1));
    }
    if (negative_ && out.size() < 21) {
        out.push_back(static_cast<char>(102));
    }
    return out;
}

std::string decimal::sort_key() const {
    if (digits_.empty()) {
        return std::string(1, '\x80');
    }
    std::string key;
    unsigned e = static_cast<unsigned>(magnitude() + 32768);
    key.push_back(static_cast<char>(e >> 8));
    key.push_back(static_cast<char>(e & 0xFF));
    for (char d : digits_) {
        key.push_back(static_cast<char>(d - '0' + 1));
    }
    key.push_back('\0');
    if (negative_) {
        for (char& c : key) {
            c = static_cast<char>(~static_cast<unsigned char>(c));
        }
        return '\x40' + key;
    }
    return '\xC0' + key;
}

std::string decimal::to_string() const {
    if (digits_.empty()) {
        return "0";
    }
    std::string out = negative_ ? "-" : "";
    int len = static_cast<int>(digits_.size());
    if (exponent_ >= 0) {
        out += digits_;
        out.append(static_cast<size_t>(exponent_), '0');
    } else if (-exponent_ < len) {
        out += digits_.substr(0, len + exponent_);
        out += '.';
        out += digits_.substr(len + exponent_);
    } else {
        out += "0.";
        out.append(static_cast<size_t>(-exponent_ - len), '0');
        out += digits_;
    }
    return out;
}

std::string decimal::to_oracle_string() const {
    std::string s = to_string();
    if (s.rfind("0.", 0) == 0) {
        return s.substr(1);
    }
    if (s.rfind("-0.", 0) == 0) {
        return "-" + s.substr(2);
    }
    return s;
}

std::optional<int64_t> decimal::to_int64() const {
    if (!is_integer()) {
        return std::nullopt;
    }
    if (digits_.empty()) {
        return 0;
    }
    if (magnitude() > 18) {
        return std::nullopt;
    }
    uint64_t v = 0;
    for (char d : digits_) {
        v = v * 10 + static_cast<uint64_t>(d - '0');
    }
    for (int i = 0; i < exponent_; ++i) {
        v *= 10;
    }
    if (negative_) {
        if (v > static_cast<uint64_t>(INT64_MAX) + 1) {
            return std::nullopt;
        }
        return static_cast<int64_t>(~v + 1);
    }
    if (v > static_cast<uint64_t>(INT64_MAX)) {
        return std::nullopt;
    }
    return static_cast<int64_t>(v);
}

double decimal::to_double() const {
    // Up to 15 digits are exact in a double, and so is 10^k up to 10^22: one multiplication or
    // division of the two is then correctly rounded, the same double strtod gives.
    static constexpr double k_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (digits_.size() <= 15 && exponent_ >= -22 && exponent_ <= 22) {
        int64_t m = 0;
        for (char d : digits_) m = m * 10 + (d - '0');
        double x = static_cast<double>(m);
        x = exponent_ < 0 ? x / k_powers[-exponent_] : x * k_powers[exponent_];
        return negative_ ? -x : x;
    }
    std::string s = (negative_ ? "-" : "") + (digits_.empty() ? std::string("0") : digits_) + "e" +
                    std::to_string(exponent_);
    return std::strtod(s.c_str(), nullptr);
}

int decimal::compare(const decimal& o) const {
    if (negative_ != o.negative_) {
        return negative_ ? -1 : 1;
    }
    int sign = negative_ ? -1 : 1;
    if (digits_.empty() || o.digits_.empty()) {
        if (digits_.empty() && o.digits_.empty())
            return 0;
        return digits_.empty() ? -1 : 1;  // both non-negative here
    }
    int ma = magnitude();
    int mb = o.magnitude();
    if (ma != mb) {
        return ma < mb ? -sign : sign;
    }
    int c = digits_.compare(o.digits_);
    return c == 0 ? 0 : (c < 0 ? -sign : sign);
}

decimal decimal::rounded(int scale) const {
    if (digits_.empty() || exponent_ >= -scale) {
        return *this;
    }
    int keep = static_cast<int>(digits_.size()) - ((-scale) - exponent_);
    if (keep < 0) {
        return decimal();
    }
    bool up = digits_[keep] >= '5';
    std::string kept = digits_.substr(0, keep);
    if (up) {
        kept = "0" + kept;
        std::string one(kept.size(), '0');
        one.back() = '1';
        kept = add_digits(kept, one);
    }
    return decimal(negative_, kept, -scale);
}

decimal decimal::truncated(int scale) const {
    if (digits_.empty() || exponent_ >= -scale) {
        return *this;
    }
    int keep = static_cast<int>(digits_.size()) - ((-scale) - exponent_);
    if (keep <= 0) {
        return decimal();
    }
    return decimal(negative_, digits_.substr(0, keep), -scale);
}

decimal decimal::negated() const {
    decimal d = *this;
    if (!d.digits_.empty()) {
        d.negative_ = !d.negative_;
    }
    return d;
}

decimal decimal::abs() const {
    decimal d = *this;
    d.negative_ = false;
    return d;
}

decimal decimal::floor() const {
    decimal t = truncated(0);
    if (negative_ && t.compare(*this) != 0) {
        return t - from_int(1);
    }
    return t;
}

decimal decimal::ceil() const {
    decimal t = truncated(0);
    if (!negative_ && t.compare(*this) != 0) {
        return t + from_int(1);
    }
    return t;
}

decimal operator+(const decimal& a, const decimal& b) {
    if (a.digits_.empty())
        return b;
    if (b.digits_.empty())
        return a;
    int e = std::min(a.exponent_, b.exponent_);
    // Keep the work bounded when the magnitudes are far apart: digits far below the larger
    // operand's 40th digit cannot change the rounded result.
    int top = std::max(a.magnitude(), b.magnitude());
    e = std::max(e, top - 80);
    auto widen = [&](const decimal& d) {
        if (d.exponent_ < e) {  // only when the operand lies entirely below the window
            return std::string();
        }
        return d.digits_ + std::string(static_cast<size_t>(d.exponent_ - e), '0');
    };
    std::string da = widen(a);
    std::string db = widen(b);
    size_t len = std::max(da.size(), db.size());
    da.insert(0, len - da.size(), '0');
    db.insert(0, len - db.size(), '0');
    if (a.negative_ == b.negative_) {
        return decimal(a.negative_, add_digits(da, db), e);
    }
    if (da >= db) {
        return decimal(a.negative_, sub_digits(da, db), e);
    }
    return decimal(b.negative_, sub_digits(db, da), e);
}

decimal operator-(const decimal& a, const decimal& b) {
    return a + b.negated();
}

decimal operator*(const decimal& a, const decimal& b) {
    if (a.digits_.empty() || b.digits_.empty()) {
        return decimal();
    }
    std::vector<int> acc(a.digits_.size() + b.digits_.size(), 0);
    for (size_t i = a.digits_.size(); i-- > 0;) {
        for (size_t j = b.digits_.size(); j-- > 0;) {
            acc[i + j + 1] += (a.digits_[i] - '0') * (b.digits_[j] - '0');
        }
    }
    for (size_t k = acc.size(); k-- > 1;) {
        acc[k - 1] += acc[k] / 10;
        acc[k] %= 10;
    }
    std::string digits;
    for (int d : acc) {
        digits.push_back(static_cast<char>('0' + d));
    }
    return decimal(a.negative_ != b.negative_, digits, a.exponent_ + b.exponent_);
}

decimal decimal::divide(const decimal& a, const decimal& b) {
    if (b.digits_.empty()) {
        throw ora_error(1476);
    }
    if (a.digits_.empty()) {
        return decimal();
    }
    // Long division of integer mantissas, producing 42 significant digits.
    const std::string& divisor = b.digits_;
    std::string rem;
    std::string quotient;
    size_t pos = 0;
    int produced_after = 0;  // digits produced after the dividend's digits ran out
    auto ge = [](const std::string& x, const std::string& y) {
        if (x.size() != y.size())
            return x.size() > y.size();
        return x >= y;
    };
    while (true) {
        if (pos < a.digits_.size()) {
            rem.push_back(a.digits_[pos++]);
        } else {
            bool rem_zero = rem.find_first_not_of('0') == std::string::npos;
            size_t sig = quotient.find_first_not_of('0');
            size_t sig_count = sig == std::string::npos ? 0 : quotient.size() - sig;
            if (rem_zero || sig_count >= 42) {
                break;
            }
            rem.push_back('0');
            ++produced_after;
        }
        size_t nz = rem.find_first_not_of('0');
        rem = nz == std::string::npos ? std::string() : rem.substr(nz);
        int q = 0;
        while (ge(rem, divisor)) {
            std::string d = divisor;
            d.insert(0, rem.size() - d.size(), '0');
            rem = sub_digits(rem, d);
            nz = rem.find_first_not_of('0');
            rem = nz == std::string::npos ? std::string() : rem.substr(nz);
            ++q;
        }
        quotient.push_back(static_cast<char>('0' + q));
    }
    int exponent = a.exponent_ - b.exponent_ - produced_after;
    return decimal(a.negative_ != b.negative_, quotient, exponent);
}

decimal decimal::modulo(const decimal& a, const decimal& b) {
    if (b.digits_.empty()) {
        return a;  // Oracle: MOD(m, 0) = m
    }
    decimal q = divide(a, b).truncated(0);
    return a - q * b;
}

decimal decimal::power(const decimal& a, int n) {
    if (n < -1000 || n > 1000) {
        throw ora_error(1426);
    }
    decimal result = from_int(1);
    decimal base = a;
    int m = n < 0 ? -n : n;
    while (m > 0) {
        if (m & 1)
            result = result * base;
        m >>= 1;
        if (m)
            base = base * base;
    }
    return n < 0 ? divide(from_int(1), result) : result;
}

}  // namespace oralite
