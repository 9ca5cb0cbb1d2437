// UTF-8 read into wide text: every length of sequence, the ends of the code space, and each kind
// of malformed input, which gives U+FFFD for its first byte and goes on with the next.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

TEST(codepage, utf8_becomes_wide_text_with_one_replacement_per_bad_byte) {
    struct {
        std::string utf8;
        std::wstring wide;
    } const cases[] = {
        {"", L""},
        {"plain ASCII \x7F", L"plain ASCII \x7F"},
        {"\xC2\x80\xDF\xBF", L"\u0080\u07FF"},
        {"\xE0\xA0\x80\xEF\xBF\xBF", L"\u0800\uFFFF"},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", L"\U00010000\U0010FFFF"},
        {"Qualit\xC3\xA4t \xE2\x80\x93 \xF0\x9F\x98\x80!", L"Qualit\u00E4t \u2013 \U0001F600!"},
        // A continuation byte alone, a lead byte cut short (at the end and before ASCII).
        {"a\x80z", L"a\uFFFDz"},
        {"a\xE2\x82", L"a\uFFFD\uFFFD"},
        {"\xE2\x82z", L"\uFFFD\uFFFDz"},
        // Overlong forms, an encoded surrogate, beyond U+10FFFF, bytes no sequence starts with.
        {"\xC0\xAF", L"\uFFFD\uFFFD"},
        {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xFF\xFE", L"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::utf8_to_wide(c.utf8), c.wide) << c.utf8;
    }
}
