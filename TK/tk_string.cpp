#include "TK/tk_string.h"

#include <cwctype>

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"

namespace {

template <class S>
S trim_left_of(const S& text) {
    const size_t first = text.find_first_not_of(typename S::value_type(' '));
    return first == S::npos ? S() : text.substr(first);
}

template <class S>
S trim_right_of(const S& text) {
    const size_t last = text.find_last_not_of(typename S::value_type(' '));
    return last == S::npos ? S() : text.substr(0, last + 1);
}

template <class S>
S trim_of(const S& text) {
    const size_t first = text.find_first_not_of(typename S::value_type(' '));
    if (first == S::npos) {
        if (!text.empty()) {
            tk_trace(1, "Special processing for all-spaces-string");
        }
        return S();
    }
    const size_t last = text.find_last_not_of(typename S::value_type(' '));
    return text.substr(first, last - first + 1);
}

template <class S>
std::vector<S> split_of(const S& text, typename S::value_type separator) {
    std::vector<S> items;
    if (text.empty()) {
        return items;
    }
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == S::npos) {
            items.push_back(text.substr(start));
            return items;
        }
        items.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

}  // namespace

std::string tk_trim(const std::string& text) {
    return trim_of(text);
}
std::wstring tk_trim(const std::wstring& text) {
    return trim_of(text);
}
std::string tk_trim_left(const std::string& text) {
    return trim_left_of(text);
}
std::wstring tk_trim_left(const std::wstring& text) {
    return trim_left_of(text);
}
std::string tk_trim_right(const std::string& text) {
    return trim_right_of(text);
}
std::wstring tk_trim_right(const std::wstring& text) {
    return trim_right_of(text);
}

std::vector<std::string> tk_split(const std::string& text, char separator) {
    return split_of(text, separator);
}
std::vector<std::wstring> tk_split(const std::wstring& text, wchar_t separator) {
    return split_of(text, separator);
}

std::string tk_hex_encode(const void* bytes, size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    const auto* data = static_cast<const unsigned char*>(bytes);
    std::string out(length * 2, '\0');
    for (size_t i = 0; i < length; ++i) {
        out[2 * i] = digits[data[i] >> 4];
        out[2 * i + 1] = digits[data[i] & 0x0F];
    }
    return out;
}

void tk_hex_encode(size_t length, const unsigned char* bytes, char* output) {
    TK_ASSERT(output != nullptr);
    const std::string digits = tk_hex_encode(bytes, length);
    digits.copy(output, digits.size());
    output[digits.size()] = '\0';
}

std::wstring tk_wstring::to_upper(std::wstring& text) {
    tk_trace_w(1, L"tk_wstring::to_upper(%ls)", text.c_str());
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    return text;
}

int tk_wcsicmp(const std::wstring& a, const std::wstring& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t x = std::towlower(static_cast<wint_t>(a[i]));
        const wint_t y = std::towlower(static_cast<wint_t>(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
