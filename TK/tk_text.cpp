#include "TK/tk_text.h"

#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/codepage.h"

std::string tk_vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) {
        return {};
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        return std::string(small, static_cast<size_t>(needed));
    }
    std::string out(static_cast<size_t>(needed), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string tk_format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = tk_vformat(format, args);
    va_end(args);
    return out;
}

std::wstring tk_vwformat(const wchar_t* format, va_list args) {
    // vswprintf reports overflow only as failure, so grow the buffer until it fits.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0) {
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        }
        if (buffer.size() >= (size_t{1} << 26)) {
            return {};
        }
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring tk_wformat(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring out = tk_vwformat(format, args);
    va_end(args);
    return out;
}

std::wstring tk_utf8_to_ucs2(std::string_view text) {
    return platform::utf8_to_wide(text);
}
std::string tk_ucs2_to_utf8(std::wstring_view text) {
    return platform::wide_to_utf8(text);
}
std::wstring tk_ansi_to_ucs2(std::string_view text) {
    return platform::ansi_to_wide(text);
}
std::string tk_ucs2_to_ansi(std::wstring_view text) {
    return platform::wide_to_ansi(text);
}
