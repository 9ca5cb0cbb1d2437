#include "UDB/udb_schema.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

const bool locale_ready = (platform::init_locale(), true);

t_ftd column(VARTYPE vt, int32_t size = 0, const wchar_t* name = L"c") {
    return t_ftd(name, vt, size);
}

TEST(t_ftd, equality_and_conformity) {
    ASSERT_TRUE(locale_ready);
    const struct {
        const char* what;
        t_ftd source;
        t_ftd destination;
        bool equal;
        bool conforms;
    } cases[] = {
        {"same text size", column(VT_BSTR, 50), column(VT_BSTR, 50), true, true},
        {"text into longer text", column(VT_BSTR, 50), column(VT_BSTR, 100), false, true},
        {"text into shorter text", column(VT_BSTR, 100), column(VT_BSTR, 50), false, false},
        {"text into unlimited text", column(VT_BSTR, 100), column(VT_BSTR, 0), false, true},
        {"decimal and currency", column(VT_DECIMAL), column(VT_CY), true, true},
        {"currency and decimal", column(VT_CY), column(VT_DECIMAL), true, true},
        {"int sizes do not matter", column(VT_I4, 4), column(VT_I4, 11), true, true},
        {"int into double", column(VT_I4), column(VT_R8), false, true},
        {"hyper into int", column(VT_I8), column(VT_I4), false, true},
        {"VT_INT source is not numeric", column(VT_INT), column(VT_I4), false, false},
        {"VT_UINT destination is numeric", column(VT_I2), column(VT_UINT), false, true},
        {"text into number", column(VT_BSTR, 10), column(VT_I4), false, false},
        {"19-char text into date", column(VT_BSTR, 19), column(VT_DATE), false, true},
        {"20-char text into date", column(VT_BSTR, 20), column(VT_DATE), false, false},
        {"number into date", column(VT_I4), column(VT_DATE), false, false},
        {"date into text", column(VT_DATE), column(VT_BSTR, 5), false, true},
        {"number into text", column(VT_R8), column(VT_LPWSTR, 5), false, true},
        {"bytes into text", column(VT_BLOB, 5), column(VT_BSTR, 0), false, false},
        {"bytes into bytes", column(VT_ARRAY_UI1, 10), column(VT_BLOB, 5), false, false},
        {"bytes into unlimited bytes", column(VT_ARRAY_UI1, 10), column(VT_BLOB_OBJECT, 0), false,
         true},
        {"text into bytes", column(VT_BSTR, 10), column(VT_BLOB, 10), false, true},
        {"number into bytes", column(VT_I4), column(VT_BLOB, 1), false, true},
        {"into empty", column(VT_I4), column(VT_EMPTY), false, false},
        {"into error", column(VT_I4), column(VT_ERROR), false, false},
        {"into variant", column(VT_BSTR), column(VT_VARIANT), false, false},
        {"into unknown kind", column(VT_I4), column(VT_FILETIME), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.source == c.destination, c.equal);
        EXPECT_EQ(c.source.conform_to(c.destination), c.conforms);
    }
}

TEST(t_ftd, precision_and_scale_pack_into_subtype) {
    t_ftd d(L"price", VT_DECIMAL, 0, true, false, ole_variant(), t_ftd::pack_precision(65, 30));
    EXPECT_EQ(d.precision(), 65);
    EXPECT_EQ(d.scale(), 30);
    EXPECT_EQ(d.subtype, 65 * 256 + 30);
}

udb_schema make_schema(std::initializer_list<t_ftd> columns) {
    udb_schema schema;
    for (const t_ftd& c : columns) {
        schema.add(c);
    }
    return schema;
}

TEST(udb_schema, conforms_column_by_position) {
    const udb_schema source = make_schema({column(VT_I4, 0, L"id"), column(VT_BSTR, 20, L"name")});
    const udb_schema same = make_schema({column(VT_I8, 0, L"other"), column(VT_BSTR, 0, L"names")});
    const udb_schema swapped = make_schema({column(VT_BSTR, 20, L"name"), column(VT_I4, 0, L"id")});
    const udb_schema shorter = make_schema({column(VT_I4, 0, L"id")});
    EXPECT_TRUE(source.conform_to(same));
    EXPECT_FALSE(source.conform_to(swapped));
    EXPECT_FALSE(source.conform_to(shorter));
    EXPECT_TRUE(udb_schema().conform_to(udb_schema()));
}

TEST(udb_schema, finds_columns_case_insensitively_with_national_letters) {
    udb_schema schema = make_schema({column(VT_I4, 4, L"ID"), column(VT_BSTR, 30, L"\u00c4pfel")});
    EXPECT_TRUE(schema.find_field(L"id"));
    EXPECT_TRUE(schema.find_field(L"\u00e4PFEL"));
    EXPECT_FALSE(schema.find_field(L"apfel"));
    EXPECT_EQ(schema.get_field_size(L"\u00e4pfel"), 30);
    EXPECT_EQ(schema.get_field_type(L"Id"), VT_I4);
    EXPECT_EQ(schema.get_field(L"iD").name, L"ID");
    EXPECT_THROW(schema.get_field(L"missing"), tk_mail_assertion);
    EXPECT_THROW(schema.get_field_size(L"missing"), tk_mail_assertion);
    EXPECT_THROW(schema.get_field_type(L"missing"), tk_mail_assertion);
}

TEST(udb_schema, copies_own_their_descriptors_and_borrowers_do_not_delete) {
    udb_schema owner = make_schema({column(VT_I4, 0, L"a")});
    owner.auto_increment_next = 1001;
    udb_schema copy = owner;
    EXPECT_EQ(copy.auto_increment_next, 1001);
    copy.get_field(L"a").size = 9;
    EXPECT_EQ(owner.get_field_size(L"a"), 0);
    EXPECT_TRUE(copy.owns());
    {
        udb_schema borrower(false);
        borrower.add(owner.fields()[0]);
        EXPECT_THROW(borrower.add(std::make_unique<t_ftd>()), tk_mail_assertion);
    }
    EXPECT_EQ(owner.get_field(L"a").name, L"a");  // still alive after the borrower went
    udb_schema moved = std::move(owner);
    EXPECT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved.auto_increment_next, 1001);
    udb_schema assigned;
    assigned = copy;
    EXPECT_EQ(assigned.auto_increment_next, 1001);
    EXPECT_THROW(moved.add(static_cast<t_ftd*>(nullptr)), tk_mail_assertion);
}

TEST(udb_field, shares_the_column_name_and_holds_the_value) {
    const udb_name name = udb_make_name(L"price");
    udb_field a(name, 8, ole_variant::from_string("12.50", VT_DECIMAL));
    udb_field b(name, 8);
    EXPECT_EQ(&a.name(), &b.name());
    EXPECT_EQ(a.get_vartype(), VT_DECIMAL);
    EXPECT_EQ(b.get_vartype(), VT_EMPTY);
    EXPECT_EQ(a.to_string(), "12.50");
    b.set_value(ole_variant(L"x"));
    EXPECT_EQ(b.name(), L"price");
    EXPECT_EQ(b.size, 8);
    EXPECT_EQ(udb_field().name(), L"");
    EXPECT_FALSE(a.changed || a.marked);
}

udb_index make_index(const wchar_t* name, std::vector<std::wstring> fields, bool unique = false,
                     bool primary = false) {
    udb_index index;
    index.name = name;
    index.fields = std::move(fields);
    index.is_unique = unique;
    index.is_primary = primary;
    return index;
}

TEST(udb_indexes, search_by_leading_fields_and_members) {
    udb_indexes indexes;
    indexes.push_back(make_index(L"PRIMARY", {L"id"}, true, true));
    indexes.push_back(make_index(L"ab", {L"a", L"b"}, false));
    indexes.push_back(make_index(L"cd", {L"c", L"d"}, true));

    EXPECT_TRUE(indexes.has_index_on_fields({L"a"}, false));
    EXPECT_FALSE(indexes.has_index_on_fields({L"a"}, true));  // found, but not unique
    EXPECT_TRUE(indexes.has_index_on_fields({L"C", L"d"}, true));
    EXPECT_FALSE(indexes.has_index_on_fields({L"a", L"b", L"x"}, false));
    EXPECT_FALSE(indexes.has_index_on_fields({L"b"}, false));

    udb_indexes only_a;
    only_a.push_back(make_index(L"a", {L"a"}));
    EXPECT_FALSE(only_a.has_index_on_fields({L"a", L"b"}, false));

    EXPECT_TRUE(indexes[1].consists_of_fields({L"b", L"a"}));
    EXPECT_FALSE(indexes[1].consists_of_fields({L"B", L"a"}));  // exact
    EXPECT_FALSE(indexes[1].consists_of_fields({L"a"}));

    EXPECT_TRUE(indexes.is_idx_field(L"d", false));
    EXPECT_FALSE(indexes.is_idx_field(L"d", true));
    EXPECT_TRUE(indexes.is_idx_field(L"id", true));
    EXPECT_FALSE(indexes.is_idx_field(L"ID", false));  // exact

    EXPECT_FALSE(indexes.is_acceptable_name(L"primary"));
    EXPECT_TRUE(indexes.is_acceptable_name(L"ef"));
    EXPECT_EQ(indexes.get_index(L"CD").fields.size(), 2u);
    EXPECT_THROW(indexes.get_index(L"ef"), tk_mail_assertion);
}

TEST(udb_relationships, search_by_name) {
    udb_relationships keys;
    udb_relationship key;
    key.name = L"fk_order_customer";
    key.table = L"orders";
    key.referenced_table = L"customers";
    key.rule = L"ON DELETE CASCADE";
    key.fields = {L"customer_id"};
    key.referenced_fields = {L"id"};
    keys.push_back(key);
    EXPECT_FALSE(keys.is_acceptable_name(L"FK_ORDER_CUSTOMER"));
    EXPECT_TRUE(keys.is_acceptable_name(L"fk_other"));
    EXPECT_EQ(keys.get_index(L"Fk_Order_Customer").referenced_table, L"customers");
    EXPECT_THROW(keys.get_index(L"fk_other"), tk_mail_assertion);
}

}  // namespace
