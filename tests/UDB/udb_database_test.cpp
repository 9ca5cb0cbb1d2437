#include "UDB/udb_database.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

const bool locale_ready = (platform::init_locale(), true);

// The smallest database and record set that complete the abstract interfaces, to exercise
// what the bases implement themselves.
class memory_recordset : public udb_recordset {
  public:
    explicit memory_recordset(std::wstring name) : udb_recordset(std::move(name), true) {}
    bool append_record(udb_record& record) override {
        convert_record(record);
        rows.push_back(record);
        return true;
    }
    std::vector<udb_record> rows;
};

class memory_database : public udb_database {
  public:
    explicit memory_database(bool case_sensitive) : udb_database(L"db", 1, case_sensitive) {}
    std::unique_ptr<udb_recordset> create_table(const std::wstring& table, const udb_schema& fields,
                                                const udb_indexes& indexes) override {
        auto set = std::make_unique<memory_recordset>(table);
        set->schema = fields;
        set->indexes = indexes;
        tables.push_back(table);
        return set;
    }
    std::unique_ptr<udb_recordset> get_table(const std::wstring& table, int32_t) override {
        return std::make_unique<memory_recordset>(table);
    }
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, const std::wstring&,
                                             int32_t) override {
        return std::make_unique<memory_recordset>(name);
    }
    bool test_query(const std::wstring&) override { return true; }
};

TEST(udb_database, table_lookup_follows_case_sensitivity) {
    ASSERT_TRUE(locale_ready);
    memory_database mysql(false);
    memory_database oracle(true);
    for (memory_database* db : {&mysql, &oracle}) {
        db->tables = {L"Orders", L"\u00c4rzte", L"items"};
    }
    EXPECT_TRUE(mysql.is_table_exist(L"ORDERS"));
    EXPECT_TRUE(mysql.is_table_exist(L"\u00e4RZTE"));
    EXPECT_FALSE(oracle.is_table_exist(L"ORDERS"));
    EXPECT_TRUE(oracle.is_table_exist(L"Orders"));
    EXPECT_FALSE(mysql.is_table_exist(L"customers"));
}

TEST(udb_database, delete_tab_keeps_the_order_of_the_rest) {
    memory_database db(false);
    db.tables = {L"a", L"b", L"c"};
    EXPECT_TRUE(db.delete_tab(L"B"));
    EXPECT_EQ(db.tables, (std::vector<std::wstring>{L"a", L"c"}));
    EXPECT_THROW(db.delete_tab(L"b"), tk_mail_assertion);
    db.delete_tab(L"a");
    db.delete_tab(L"c");
    EXPECT_TRUE(db.tables.empty());
    EXPECT_THROW(db.query(L"SELECT 1"), tk_mail_assertion);
    db.create_relationships(udb_relationships());
}

TEST(udb_recordset, base_navigation_and_query_flag) {
    memory_recordset table(L"t");
    EXPECT_TRUE(table.is_eof());
    EXPECT_EQ(table.get_item(), nullptr);
    EXPECT_FALSE(table.is_query());
    EXPECT_EQ(table.next(), 0);
    class query_set : public memory_recordset {
      public:
        query_set() : memory_recordset(L"q") { query_text = L"SELECT 1"; }
    } query;
    EXPECT_TRUE(query.is_query());
}

udb_record make_record(std::vector<ole_variant> values) {
    udb_record record;
    int k = 0;
    for (ole_variant& v : values) {
        record.fields.emplace_back(L"v" + std::to_wstring(k++), 0, std::move(v));
    }
    return record;
}

TEST(udb_recordset, convert_record_matches_values_to_columns_by_position) {
    memory_database db(true);
    udb_schema schema;
    schema.add(t_ftd(L"ID", VT_I8, 0));
    schema.add(t_ftd(L"PRICE", VT_DECIMAL, 0));
    schema.add(t_ftd(L"NOTE", VT_BSTR, 100));
    schema.add(t_ftd(L"AT", VT_DATE, 0));
    auto table = db.create_table(L"T", schema, udb_indexes());
    EXPECT_TRUE(db.is_table_exist(L"T"));

    udb_record full = make_record({ole_variant(7), ole_variant(L"12.50"), ole_variant(3.5),
                                   ole_variant(L"2005-12-31 10:20:30")});
    table->convert_record(full);
    EXPECT_EQ(full[0].vartype(), VT_I8);
    EXPECT_EQ(full[1].to_string(), "12.50");
    EXPECT_EQ(full[2].bstr(), L"3.5");
    EXPECT_EQ(full[3].to_string(), "2005-12-31 10:20:30");

    // Fewer values than columns: only those present; NULL passes unchanged.
    udb_record short_record = make_record({ole_variant(), ole_variant(L"1")});
    table->convert_record(short_record);
    EXPECT_EQ(short_record[0].vartype(), VT_EMPTY);
    EXPECT_EQ(short_record[1].vartype(), VT_DECIMAL);

    // More values than columns: the extra ones are left alone.
    udb_record long_record = make_record(
        {ole_variant(1), ole_variant(2), ole_variant(L"n"), ole_variant(), ole_variant(L"extra")});
    table->convert_record(long_record);
    EXPECT_EQ(long_record[4].vartype(), VT_BSTR);

    // A failure stops at the value that failed; the ones before stay converted.
    udb_record bad = make_record({ole_variant(5), ole_variant(L"not a number"), ole_variant(1)});
    EXPECT_THROW(table->convert_record(bad), ole_type_exception);
    EXPECT_EQ(bad[0].vartype(), VT_I8);
    EXPECT_EQ(bad[1].vartype(), VT_BSTR);
    EXPECT_EQ(bad[2].vartype(), VT_I4);
}

TEST(udb_record, finds_values_by_name_case_insensitively) {
    udb_record record;
    record.fields.emplace_back(L"\u00d6l", 0, ole_variant(1));
    EXPECT_TRUE(record.find_field(L"\u00f6L"));
    EXPECT_FALSE(record.find_field(L"ol"));
}

class text_rule : public udb_rule {
  public:
    bool accepts_column(const t_ftd& column) const override { return column.vartype == VT_BSTR; }
    bool accepts_value(const udb_field& value) const override { return value.vartype() == VT_BSTR; }
    std::wstring column_text(const t_ftd&) const override { return L"NCLOB"; }
    std::wstring value_text(const udb_field& value) const override {
        return L"'" + value.bstr() + L"'";
    }
};

TEST(udb_custom_conversion, built_in_mappings_apply_without_a_registry) {
    const t_ftd text_column(L"c", VT_BSTR, 0);
    const t_ftd number_column(L"n", VT_I4, 0);
    const udb_field text(L"c", 0, ole_variant(L"x"));
    const udb_field number(L"n", 0, ole_variant(1));
    EXPECT_FALSE(udb_custom_conversion::is_acceptable1(text_column));
    EXPECT_FALSE(udb_custom_conversion::is_acceptable2(text));
    EXPECT_EQ(udb_custom_conversion::handle1(text_column), L"");
    EXPECT_EQ(udb_custom_conversion::handle2(text), L"");
    {
        udb_custom_conversion registry;
        EXPECT_EQ(udb_custom_conversion::handle2(number), L"");  // no rules yet
        registry.add_rule(std::make_unique<text_rule>());
        EXPECT_TRUE(udb_custom_conversion::is_acceptable1(text_column));
        EXPECT_FALSE(udb_custom_conversion::is_acceptable1(number_column));
        EXPECT_EQ(udb_custom_conversion::handle1(text_column), L"NCLOB");
        EXPECT_EQ(udb_custom_conversion::handle1(number_column), L"");
        EXPECT_TRUE(udb_custom_conversion::is_acceptable2(text));
        EXPECT_EQ(udb_custom_conversion::handle2(text), L"'x'");
        EXPECT_THROW(udb_custom_conversion::handle2(number), tk_mail_assertion);
    }
    EXPECT_FALSE(udb_custom_conversion::is_acceptable1(text_column));
}

}  // namespace
