#include "oralite/unicode.h"

#include <cstring>

namespace oralite {

namespace {
constexpr char32_t k_replacement = 0xFFFD;
}

char32_t next_code_point(std::string_view text, size_t& pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        ++pos;
        return k_replacement;
    }
    if (pos + static_cast<size_t>(extra) >= text.size()) {
        ++pos;
        return k_replacement;
    }
    for (int i = 1; i <= extra; ++i) {
        unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return k_replacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return k_replacement;
    }
    pos += extra + 1;
    return cp;
}

namespace {

// Writes one code point as UTF-8 at `p`; the position after it.
char* put_utf8(char* p, char32_t cp) {
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
    char buf[4];
    out.append(buf, put_utf8(buf, cp));
}

std::u16string utf8_to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out.push_back(b);
            ++pos;
            continue;
        }
        char32_t cp = next_code_point(text, pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

namespace {

// UTF-16 code units (unit(i) gives the i-th of n) as UTF-8; a lone surrogate becomes U+FFFD.
// Written through a pointer into room for the longest result (3 bytes a unit: a pair of
// units gives 4), then cut to size: one allocation, no per-character growth checks.
template <typename Unit>
std::string units_to_utf8(size_t n, Unit unit) {
    std::string out(n * 3, '\0');
    char* p = out.data();
    for (size_t i = 0; i < n; ++i) {
        char32_t c = unit(i);
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = k_replacement;
        }
        p = put_utf8(p, c);
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return out;
}

}  // namespace

std::string utf16_to_utf8(std::u16string_view text) {
    return units_to_utf8(text.size(), [text](size_t i) { return text[i]; });
}

std::string utf16_bytes_to_utf8(const void* data, size_t bytes) {
    // Straight from the client's buffer, which need not be aligned for char16_t.
    const auto* p = static_cast<const unsigned char*>(data);
    return units_to_utf8(bytes / 2, [p](size_t i) {
        char16_t u;
        std::memcpy(&u, p + i * 2, 2);
        return u;
    });
}

size_t utf8_length(std::string_view text) {
    size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

size_t utf16_length(std::string_view text) {
    size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            n += (c >= 0xF0) ? 2 : 1;
        }
    }
    return n;
}

size_t utf8_offset_of_utf16_unit(std::string_view text, size_t units) {
    size_t pos = 0;
    size_t n = 0;
    while (pos < text.size() && n < units) {
        unsigned char c = static_cast<unsigned char>(text[pos]);
        n += (c >= 0xF0) ? 2 : 1;
        next_code_point(text, pos);
    }
    return pos;
}

std::string_view utf8_prefix(std::string_view text, size_t chars) {
    size_t pos = 0;
    for (size_t i = 0; i < chars && pos < text.size(); ++i) {
        next_code_point(text, pos);
    }
    return text.substr(0, pos);
}

bool is_letter(char32_t cp) {
    if (cp < 0x80) {
        return (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z');
    }
    if (cp < 0xC0 || cp == 0xD7 || cp == 0xF7) {
        return false;
    }
    if (cp >= 0x2000 && cp <= 0x2BFF) {  // punctuation, symbols, arrows, box drawing
        return false;
    }
    if (cp == 0x3000 || cp == 0xFEFF || cp == k_replacement || (cp >= 0xFF00 && cp <= 0xFF20)) {
        return false;
    }
    return true;
}

char32_t to_upper(char32_t cp) {
    if (cp < 0x80) {
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    }
    if ((cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)) {
        return cp - 32;
    }
    if (cp == 0xFF) {
        return 0x178;
    }
    if (cp >= 0x100 && cp <= 0x17F && cp != 0x130 && cp != 0x131 && cp != 0x138 && cp != 0x149 &&
        cp != 0x17F) {
        bool odd_lower = (cp <= 0x137) || (cp >= 0x14A && cp <= 0x177);
        if (odd_lower) {
            return (cp & 1) ? cp - 1 : cp;
        }
        return (cp & 1) ? cp : cp - 1;  // 0x139..0x148 and 0x179..0x17E: even is lower
    }
    if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) {
        return cp - 32;
    }
    if (cp >= 0x430 && cp <= 0x44F) {
        return cp - 32;
    }
    if (cp >= 0x450 && cp <= 0x45F) {
        return cp - 80;
    }
    return cp;
}

char32_t to_lower(char32_t cp) {
    if (cp < 0x80) {
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    }
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) {
        return cp + 32;
    }
    if (cp == 0x178) {
        return 0xFF;
    }
    if (cp >= 0x100 && cp <= 0x17F && to_upper(cp) == cp) {
        for (char32_t candidate : {cp + 1, cp - 1}) {
            if (candidate != cp && to_upper(candidate) == cp) {
                return candidate;
            }
        }
        return cp;
    }
    if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) {
        return cp + 32;
    }
    if (cp >= 0x410 && cp <= 0x42F) {
        return cp + 32;
    }
    if (cp >= 0x400 && cp <= 0x40F) {
        return cp + 80;
    }
    return cp;
}

namespace {
template <typename F>
std::string map_case(std::string_view text, F f) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(f(b)));
            ++pos;
            continue;
        }
        append_utf8(out, f(next_code_point(text, pos)));
    }
    return out;
}
}  // namespace

std::string utf8_upper(std::string_view text) {
    return map_case(text, to_upper);
}
std::string utf8_lower(std::string_view text) {
    return map_case(text, to_lower);
}

std::string hex_upper(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

bool hex_decode(std::string_view hex, std::string& out) {
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    out.clear();
    out.reserve(hex.size() / 2 + 1);
    size_t i = 0;
    if (hex.size() % 2 == 1) {
        int n = nibble(hex[0]);
        if (n < 0)
            return false;
        out.push_back(static_cast<char>(n));
        i = 1;
    }
    for (; i < hex.size(); i += 2) {
        int hi = nibble(hex[i]);
        int lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return true;
}

}  // namespace oralite
