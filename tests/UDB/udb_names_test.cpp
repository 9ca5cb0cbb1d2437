#include "UDB/udb_names.h"

#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "platform/codepage.h"

namespace {

const bool locale_ready = (platform::init_locale(), true);

TEST(t_names_map, unmapped_names_map_to_themselves) {
    ASSERT_TRUE(locale_ready);
    t_names_map map;
    map.add(L"Order", L"ORDERS_");
    map.add(L"Order", L"IGNORED");  // the first pair stays
    map.add(L"\u00dcber", L"UEBER");
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.get_mapped_name(L"Order", true), L"ORDERS_");
    EXPECT_EQ(map.get_mapped_name(L"ORDER", false), L"ORDERS_");
    EXPECT_EQ(map.get_mapped_name(L"ORDER", true), L"ORDER");
    EXPECT_EQ(map.get_mapped_name(L"\u00fcBER", false), L"UEBER");
    EXPECT_EQ(map.get_mapped_name(L"other", false), L"other");
}

TEST(udb_names_map, tables_by_exact_key_columns_by_rule) {
    udb_names_map names;
    names.add_tn_mapping(L"orders", L"ORDERS");
    t_names_map columns;
    columns.add(L"id", L"ID_");
    names.add_fn_map(L"orders", columns);
    t_names_map ignored;
    ignored.add(L"id", L"OTHER");
    names.add_fn_map(L"orders", ignored);  // an existing entry is kept

    EXPECT_EQ(names.get_tn_mapped_name(L"Orders", false), L"ORDERS");
    EXPECT_EQ(names.get_tn_mapped_name(L"Orders", true), L"Orders");
    EXPECT_EQ(names.get_tn_mapped_name(L"items", false), L"items");
    EXPECT_EQ(names.get_fn_mapped_name(L"orders", L"ID", false), L"ID_");
    EXPECT_EQ(names.get_fn_mapped_name(L"orders", L"ID", true), L"ID");
    EXPECT_EQ(names.get_fn_mapped_name(L"ORDERS", L"id", false), L"id");  // table key is exact
    EXPECT_EQ(names.get_fn_mapped_name(L"items", L"id", false), L"id");
}

// A validator as the destination's validators make them: a limit, illegal characters and
// reserved words.
class test_validator : public udb_validator {
  public:
    test_validator() : udb_validator(30) {
        illegal_chars = {L' ', L'-', L'$'};
        restricted = {L"SELECT", L"TABLE"};
    }
};

TEST(udb_validator, safe_names) {
    const std::wstring long35 = L"abcdefghijklmnopqrstuvwxyz_123456789";  // 36
    const struct {
        const char* what;
        std::vector<std::wstring> in_use;
        std::wstring name;
        std::wstring safe;
    } cases[] = {
        {"acceptable as it is", {}, L"orders", L"orders"},
        {"too long keeps max - 1", {}, long35, long35.substr(0, 29)},
        {"exactly the limit", {}, long35.substr(0, 30), long35.substr(0, 30)},
        {"illegal characters", {}, L"order items-2", L"order_items_2"},
        {"restricted in another case", {}, L"select", L"select00000"},
        {"clash after cutting", {long35.substr(0, 29)}, long35, long35.substr(0, 24) + L"00000"},
        {"first free number",
         {long35.substr(0, 29), long35.substr(0, 24) + L"00000"},
         long35,
         long35.substr(0, 24) + L"00001"},
        {"in use in another case", {L"ORDERS"}, L"orders", L"orders00000"},
        {"short name numbered keeps whole stem", {L"a"}, L"A", L"A00000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test_validator v;
        v.in_use = c.in_use;
        const std::wstring safe = v.get_safe_name(c.name);
        EXPECT_EQ(safe, c.safe);
        EXPECT_LE(safe.size(), 30u);
        EXPECT_TRUE(v.is_acceptable(safe));
        EXPECT_FALSE(v.is_duplicated(safe));
    }
}

TEST(udb_validator, acceptance_rules) {
    test_validator v;
    EXPECT_TRUE(v.is_acceptable(std::wstring(30, L'a')));
    EXPECT_FALSE(v.is_acceptable(std::wstring(31, L'a')));
    EXPECT_FALSE(v.is_acceptable(L"Table"));
    EXPECT_FALSE(v.is_acceptable(L"a$b"));
    udb_validator unlimited;
    EXPECT_TRUE(unlimited.is_acceptable(std::wstring(1000, L'a')));
    EXPECT_EQ(unlimited.get_safe_name(std::wstring(1000, L'a')), std::wstring(1000, L'a'));
}

TEST(udb_validator, mapped_pairs_are_in_use_and_restricted) {
    test_validator v;
    v.add_mapped_pair(L"a", L"b");
    EXPECT_TRUE(v.is_duplicated(L"B"));
    EXPECT_FALSE(v.is_acceptable(L"B"));
    EXPECT_EQ(v.mapped.get_mapped_name(L"a", true), L"b");
    EXPECT_EQ(v.get_safe_name(L"b"), L"b00000");
}

TEST(udb_validator, running_out_of_numbers_is_an_internal_error) {
    // A limit too small for any numbered form leaves no safe name.
    udb_validator v(3);
    v.restricted = {L"ab"};
    EXPECT_THROW(v.get_safe_name(L"ab"), tk_mail_assertion);
}

}  // namespace
