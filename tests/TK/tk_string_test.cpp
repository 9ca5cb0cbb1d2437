#include "TK/tk_string.h"

#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "platform/codepage.h"

namespace {

TEST(tk_string, trim_removes_only_blanks) {
    EXPECT_EQ(tk_trim(std::string("  a b  ")), "a b");
    EXPECT_EQ(tk_trim(std::string("    ")), "");
    EXPECT_EQ(tk_trim(std::string("\ta\t")), "\ta\t");
    EXPECT_EQ(tk_trim(std::wstring(L"  x ")), L"x");
    EXPECT_EQ(tk_trim_left(std::string("  x ")), "x ");
    EXPECT_EQ(tk_trim_right(std::string("  x ")), "  x");
}

TEST(tk_string, split_keeps_empty_items) {
    using v = std::vector<std::string>;
    EXPECT_EQ(tk_split(std::string("2005-12-31"), '-'), (v{"2005", "12", "31"}));
    EXPECT_EQ(tk_split(std::string("a--b-"), '-'), (v{"a", "", "b", ""}));
    EXPECT_EQ(tk_split(std::string(""), '-'), v{});
}

TEST(tk_string, hex_encoder_writes_uppercase_digits_and_nul) {
    const unsigned char bytes[] = {0x00, 0x0a, 0xff};
    char out[7];
    tk_hex_encode(3, bytes, out);
    EXPECT_STREQ(out, "000AFF");
    EXPECT_THROW(tk_hex_encode(3, bytes, nullptr), tk_mail_assertion);
}

TEST(tk_string, upper_case_and_comparison_cover_national_letters) {
    platform::init_locale();
    std::wstring text = L"stra\u00dfe \u00e9t\u00e9 \u0161";
    EXPECT_EQ(tk_wstring::to_upper(text), L"STRA\u00dfE \u00c9T\u00c9 \u0160");
    EXPECT_EQ(text, L"STRA\u00dfE \u00c9T\u00c9 \u0160");
    EXPECT_EQ(tk_wcsicmp(L"\u00e9t\u00e9", L"\u00c9T\u00c9"), 0);
    EXPECT_LT(tk_wcsicmp(L"a", L"B"), 0);
}

}  // namespace
