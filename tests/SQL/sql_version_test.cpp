// Version behaviour that only old servers would show, tested on the version parser and the
// name quoting directly.
#include <gtest/gtest.h>

#include "SQL/sql_engine.h"

namespace {

TEST(sql_version, parses_three_numbers_and_ignores_suffixes) {
    struct {
        const char* text;
        std::optional<uint32_t> version;
    } const cases[] = {
        {"5.0.51a-community", 0x050033},
        {"3.23.43", 0x03172B},
        {"3.23.44-log", 0x03172C},
        {"4.1.0-alpha", 0x040100},
        {"4.0.27", 0x04001B},
        {"10.11.19-MariaDB-0+deb12u1", 0x0A0B13},
        {"8.0.36", 0x080024},
        {"5.5", std::nullopt},
        {"", std::nullopt},
        {"MariaDB", std::nullopt},
        {nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sql_parse_server_version(c.text), c.version) << (c.text ? c.text : "(null)");
    }
}

TEST(sql_version, thresholds_for_quoting_foreign_keys_and_authentication) {
    struct {
        uint32_t version;
        bool foreign_keys;
        const wchar_t* quoted;
        bool refuses_password;
    } const cases[] = {
        {0x03172B, false, L"orders", false},  // 3.23.43
        {0x03172C, true, L"orders", false},   // 3.23.44
        {0x04001B, true, L"orders", false},   // 4.0.27: names bare
        {0x040100, true, L"`orders`", true},  // 4.1.0: backquotes, password refused
        {0x040101, true, L"`orders`", false},
        {0x050033, true, L"`orders`", false},  // 5.0.51a-community
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(sql_supports_foreign_keys(c.version), c.foreign_keys);
        EXPECT_EQ(sql_quote_name(L"orders", c.version), c.quoted);
        EXPECT_EQ(sql_refuses_authentication(c.version, "secret"), c.refuses_password);
        EXPECT_FALSE(sql_refuses_authentication(c.version, ""));
    }
}

TEST(sql_version, backquotes_inside_names_are_doubled) {
    // A name must never be able to end its own quoting and smuggle in a statement.
    EXPECT_EQ(sql_quote_name(L"a`b", 0x0A0B00), L"`a``b`");
    EXPECT_EQ(sql_quote_name(L"x` ; DROP TABLE y; --", 0x050000), L"`x`` ; DROP TABLE y; --`");
    EXPECT_EQ(sql_quote_name(L"Gr\u00fc\u00dfe", 0x050000), L"`Gr\u00fc\u00dfe`");
}

}  // namespace
