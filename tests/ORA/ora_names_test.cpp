// The Oracle name validators: acceptable names, safe names, and lengths counted in UTF-8 bytes.
#include <gtest/gtest.h>

#include <string>

#include "ORA/ora_validator.h"
#include "platform/codepage.h"

namespace {

const bool locale_ready = (platform::init_locale(), true);

std::wstring repeat(const std::wstring& text, int times) {
    std::wstring result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

TEST(ora_validator, acceptable_names) {
    ASSERT_TRUE(locale_ready);
    struct case_t {
        std::wstring name;
        bool acceptable;
    };
    const case_t cases[] = {
        {L"a$b#c", true},
        {L"orders", true},
        {L"élan", true},        // national letters are letters
        {L"2nd_table", false},  // must start with a letter
        {L"_x", false},
        {L"order-lines", false},
        {L"with space", false},
        {L"quo\"te", false},
        {L"", false},
        {repeat(L"a", 30), true},
        {repeat(L"a", 31), false},
        {repeat(L"é", 15), true},          // 30 bytes
        {repeat(L"é", 16), false},         // 32 bytes in 16 characters
        {repeat(L"é", 20), false},         // 20 accented letters: 40 bytes
        {L"a" + repeat(L"€", 10), false},  // 31 bytes
    };
    ora_validator validator;
    for (const case_t& c : cases) {
        EXPECT_EQ(validator.is_acceptable(c.name), c.acceptable) << platform::wide_to_utf8(c.name);
    }
}

TEST(ora_validator, restricted_names_compare_without_case) {
    ora_validator validator;
    validator.restricted.push_back(L"PRIMARY");
    EXPECT_FALSE(validator.is_acceptable(L"primary"));
    EXPECT_FALSE(validator.is_acceptable(L"Primary"));
    EXPECT_EQ(validator.get_safe_name(L"primary"), L"primary00000");
}

TEST(ora_validator, safe_names) {
    struct case_t {
        std::wstring name;
        std::wstring safe;
    };
    const case_t cases[] = {
        {L"2nd_table", L"A2nd_table"},
        {L"order-lines", L"order_lines"},
        {L"a$b#c", L"a$b#c"},
        {L"", L"A"},
        {repeat(L"x", 35), repeat(L"x", 29)},
        // cut at a character boundary to at most 29 bytes: 14 letters of two bytes
        {repeat(L"é", 20), repeat(L"é", 14)},
        {L"a" + repeat(L"ḁ", 10), L"a" + repeat(L"ḁ", 9)},  // three-byte letters
    };
    for (const case_t& c : cases) {
        ora_validator validator;
        EXPECT_EQ(validator.get_safe_name(c.name), c.safe) << platform::wide_to_utf8(c.name);
    }
}

TEST(ora_validator, numbered_safe_names_fit_in_thirty_bytes) {
    struct case_t {
        std::wstring name;
        std::wstring taken;
        std::wstring expected;
    };
    const case_t cases[] = {
        {repeat(L"x", 40), repeat(L"x", 29), repeat(L"x", 24) + L"00000"},
        {L"orders", L"orders", L"orders00000"},
        // the cut form of a long accented name is taken: the stem is cut to 24 bytes
        {repeat(L"é", 40), repeat(L"é", 14), repeat(L"é", 12) + L"00000"},
    };
    for (const case_t& c : cases) {
        ora_validator validator;
        validator.in_use.push_back(c.taken);
        const std::wstring safe = validator.get_safe_name(c.name);
        EXPECT_EQ(safe, c.expected);
        EXPECT_LE(ora_validator::byte_length(safe), 30u);
        EXPECT_TRUE(validator.is_acceptable(safe));
    }
}

TEST(ora_validator, next_free_number) {
    ora_validator validator;
    validator.in_use = {L"t", L"t00000", L"T00001"};
    EXPECT_EQ(validator.get_safe_name(L"t"), L"t00002");
    validator.add_mapped_pair(L"t", L"t00002");
    EXPECT_TRUE(validator.is_duplicated(L"T00002"));
    EXPECT_FALSE(validator.is_acceptable(L"T00002"));
}

TEST(ora_validator, byte_helpers) {
    EXPECT_EQ(ora_validator::byte_length(L"abc"), 3u);
    EXPECT_EQ(ora_validator::byte_length(L"é€😀"), 2u + 3u + 4u);
    EXPECT_EQ(ora_validator::cut_to_bytes(L"aé€", 3), L"aé");
    EXPECT_EQ(ora_validator::cut_to_bytes(L"aé€", 5), L"aé");
    EXPECT_EQ(ora_validator::cut_to_bytes(L"aé€", 6), L"aé€");
}

TEST(ora_fn_validator, column_names) {
    udb_schema fields;
    fields.add(t_ftd(L"id", VT_I4, 0));
    fields.add(t_ftd(L"order_id", VT_I4, 0));
    ora_fn_validator validator(fields);
    // Upper-case ROWID cannot name a column even in quotes.
    EXPECT_FALSE(validator.is_acceptable(L"ROWID"));
    EXPECT_TRUE(validator.is_acceptable(L"rowid"));
    EXPECT_EQ(validator.get_safe_name(L"ROWID"), L"ROWID00000");
    // the source names are in use: a renamed column never takes one of them
    EXPECT_EQ(validator.get_safe_name(L"order-id"), L"order_id00000");
}

TEST(ora_tn_validator, selected_and_existing_tables_are_in_use) {
    ora_tn_validator validator({L"orders"}, {L"CUSTOMERS"});
    EXPECT_TRUE(validator.is_duplicated(L"ORDERS"));
    EXPECT_TRUE(validator.is_duplicated(L"customers"));
    EXPECT_TRUE(validator.is_acceptable(L"orders"));
    EXPECT_EQ(validator.get_safe_name(L"order-s"), L"order_s");
}

}  // namespace
