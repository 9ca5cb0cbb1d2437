#include "platform/codepage.h"

#include <langinfo.h>

#include <strings.h>
#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>

namespace platform {
namespace {

constexpr char32_t replacement_char = 0xFFFD;

bool is_valid_code_point(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Decodes one UTF-8 sequence starting at text[i]; advances i past what was consumed.
// A malformed or truncated sequence consumes one byte and gives U+FFFD.
char32_t decode_utf8(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return replacement_char;
    }
    if (i + length > text.size()) {
        ++i;
        return replacement_char;
    }
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return replacement_char;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || !is_valid_code_point(code)) {
        ++i;
        return replacement_char;
    }
    i += length;
    return code;
}

void append_utf8(std::string& out, char32_t c) {
    if (!is_valid_code_point(c)) {
        c = replacement_char;
    }
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::wstring utf8_to_wide(std::string_view text) {
    // Never more characters than bytes: written through a pointer, then cut to what came.
    std::wstring out(text.size(), L'\0');
    wchar_t* next = out.data();
    for (size_t i = 0; i < text.size();) {
        *next++ = static_cast<wchar_t>(decode_utf8(text, i));
    }
    out.resize(static_cast<size_t>(next - out.data()));
    return out;
}

std::string wide_to_utf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (wchar_t c : text) {
        append_utf8(out, static_cast<char32_t>(c));
    }
    return out;
}

bool ansi_is_utf8() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || *codeset == '\0') {
        return true;
    }
    return strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0 ||
           strcmp(codeset, "ANSI_X3.4-1968") == 0 || strcmp(codeset, "ASCII") == 0;
}

std::wstring ansi_to_wide(std::string_view text) {
    if (ansi_is_utf8()) {
        return utf8_to_wide(text);
    }
    std::wstring out;
    out.reserve(text.size());
    std::mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        wchar_t c = 0;
        const size_t used = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            out.push_back(static_cast<wchar_t>(replacement_char));
            state = std::mbstate_t{};
            ++i;
            continue;
        }
        out.push_back(c);
        i += used == 0 ? 1 : used;
    }
    return out;
}

std::string wide_to_ansi(std::wstring_view text) {
    if (ansi_is_utf8()) {
        return wide_to_utf8(text);
    }
    std::string out;
    out.reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        const size_t used = std::wcrtomb(buffer, c, &state);
        if (used == static_cast<size_t>(-1)) {
            out.push_back('?');
            state = std::mbstate_t{};
            continue;
        }
        out.append(buffer, used);
    }
    return out;
}

size_t wide_to_utf16(std::wstring_view text, char16_t* out) {
    size_t n = 0;
    for (wchar_t w : text) {
        char32_t c = static_cast<char32_t>(w);
        if (!is_valid_code_point(c)) {
            c = replacement_char;
        }
        if (c < 0x10000) {
            out[n++] = static_cast<char16_t>(c);
        } else {
            c -= 0x10000;
            out[n++] = static_cast<char16_t>(0xD800 | (c >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
        }
    }
    return n;
}

std::u16string wide_to_utf16(std::wstring_view text) {
    std::u16string out(text.size() * 2, u'\0');
    out.resize(wide_to_utf16(text, out.data()));
    return out;
}

std::wstring utf16_to_wide(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t c = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            out.push_back(static_cast<wchar_t>(c));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back(static_cast<wchar_t>(replacement_char));
        } else {
            out.push_back(static_cast<wchar_t>(unit));
        }
    }
    return out;
}

}  // namespace platform

namespace platform {

void init_locale() {
    // When one category names a locale the machine does not have, the whole call fails and
    // changes nothing; the character set is then still worth taking on its own.
    if (std::setlocale(LC_ALL, "") == nullptr) {
        std::setlocale(LC_CTYPE, "");
    }
    // Numbers are read and written in one notation whatever the user's locale: MySQL values
    // and defaults, Oracle literals, profile and trace texts all use a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    if (ctype == nullptr || std::strcmp(ctype, "C") == 0 || std::strcmp(ctype, "POSIX") == 0) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
}

}  // namespace platform
