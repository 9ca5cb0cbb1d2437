// Oracle DDL of a source schema: the type mapping, DEFAULT values, CREATE TABLE, and the names
// of sequences and triggers. None of these needs a server.
#include <gtest/gtest.h>

#include <string>

#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_type_mapping.h"
#include "platform/codepage.h"

namespace {

const bool locale_ready = (platform::init_locale(), true);

t_ftd column(VARTYPE kind, int32_t size = 0, int32_t subtype = 0) {
    return t_ftd(L"c", kind, size, false, false, ole_variant(), subtype);
}

t_ftd with_default(VARTYPE kind, ole_variant value, int32_t size = 0, int32_t subtype = 0) {
    return t_ftd(L"c", kind, size, false, false, std::move(value), subtype);
}

TEST(ora_type_mapping, every_value_kind) {
    ASSERT_TRUE(locale_ready);
    struct case_t {
        t_ftd field;
        std::wstring oracle_type;
        bool lob;
    };
    const case_t cases[] = {
        {column(VT_BSTR, 1), L"VARCHAR2(1 CHAR)", false},
        {column(VT_BSTR, 4000), L"VARCHAR2(4000 CHAR)", false},
        {column(VT_BSTR, 4001), L"CLOB", true},
        {column(VT_BSTR, 0), L"CLOB", true},
        {column(VT_BLOB, 16), L"RAW(16)", false},
        {column(VT_ARRAY_UI1, 2000), L"RAW(2000)", false},
        {column(VT_ARRAY_UI1, 2001), L"BLOB", true},  // RAW holds at most 2000 bytes
        {column(VT_BLOB, 4000), L"BLOB", true},
        {column(VT_BLOB_OBJECT, 0), L"BLOB", true},
        {column(VT_I1), L"NUMBER(3,0)", false},
        {column(VT_BOOL), L"NUMBER(3,0)", false},
        {column(VT_I2), L"NUMBER(5,0)", false},
        {column(VT_UI1), L"NUMBER(5,0)", false},
        {column(VT_I4), L"NUMBER(11,0)", false},
        {column(VT_UI2), L"NUMBER(11,0)", false},
        {column(VT_INT), L"NUMBER(11,0)", false},
        {column(VT_UI4), L"NUMBER(19,0)", false},
        {column(VT_UINT), L"NUMBER(19,0)", false},
        {column(VT_I8, 0, 1), L"NUMBER(19,0)", false},
        {column(VT_I8, 0, 2), L"NUMBER(20,0)", false},  // BIGINT UNSIGNED has 20 digits
        {column(VT_UI8), L"NUMBER(20,0)", false},
        {column(VT_R4), L"NUMBER", false},
        {column(VT_R8), L"NUMBER", false},
        {column(VT_CY), L"NUMBER", false},
        {column(VT_DECIMAL, 0, t_ftd::pack_precision(10, 2)), L"NUMBER(10,2)", false},
        {column(VT_DECIMAL, 0, t_ftd::pack_precision(38, 0)), L"NUMBER(38,0)", false},
        {column(VT_DECIMAL, 0, t_ftd::pack_precision(39, 4)), L"NUMBER", false},
        {column(VT_DECIMAL, 0, t_ftd::pack_precision(65, 30)), L"NUMBER", false},
        {column(VT_DECIMAL, 0, 0), L"NUMBER", false},  // NUMBER(0,0) is no Oracle type
        {column(VT_DATE), L"DATE", false},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(get_native_type(c.field), c.oracle_type)
            << "kind " << c.field.vartype << " size " << c.field.size;
        EXPECT_EQ(ora_is_lob_column(c.field), c.lob) << "kind " << c.field.vartype;
    }
    EXPECT_THROW(get_native_type(column(VT_DISPATCH)), tk_mail_assertion);
}

// A VARCHAR2 holds 4000 bytes whatever its characters (32767 where strings are extended): a
// column of n characters of b bytes each stays VARCHAR2 only while n * b fits, and RAW follows.
TEST(ora_type_mapping, text_columns_count_the_bytes_of_their_longest_value) {
    struct case_t {
        int32_t size;
        int32_t bytes_per_char;
        bool extended;
        const wchar_t* oracle_type;
    };
    const case_t cases[] = {
        {1000, 4, false, L"VARCHAR2(1000 CHAR)"},  // utf8mb4: exactly 4000 bytes
        {1001, 4, false, L"CLOB"},
        {1333, 3, false, L"VARCHAR2(1333 CHAR)"},  // latin1: 3999 bytes
        {1334, 3, false, L"CLOB"},
        {2000, 3, false, L"CLOB"},  // 2000 euro signs are 6000 bytes
        {4000, 1, false, L"VARCHAR2(4000 CHAR)"},  // ASCII
        {4001, 1, false, L"CLOB"},
        {2000, 4, true, L"VARCHAR2(2000 CHAR)"},
        {8191, 4, true, L"VARCHAR2(8191 CHAR)"},
        {8192, 4, true, L"CLOB"},  // 32768 bytes
        {32767, 1, true, L"VARCHAR2(32767 CHAR)"},
        {0, 1, true, L"CLOB"},
    };
    for (const case_t& c : cases) {
        ora_set_extended_strings(c.extended);
        t_ftd field = column(VT_BSTR, c.size);
        field.bytes_per_char = c.bytes_per_char;
        EXPECT_EQ(get_native_type(field), c.oracle_type)
            << c.size << " characters of " << c.bytes_per_char << " bytes";
    }
    ora_set_extended_strings(true);
    EXPECT_EQ(get_native_type(column(VT_ARRAY_UI1, 32767)), L"RAW(32767)");
    EXPECT_EQ(get_native_type(column(VT_ARRAY_UI1, 32768)), L"BLOB");
    ora_set_extended_strings(false);
    EXPECT_EQ(get_native_type(column(VT_ARRAY_UI1, 2001)), L"BLOB");
}

TEST(ora_schema_initializer, default_values) {
    struct case_t {
        t_ftd field;
        std::wstring expected;
    };
    const case_t cases[] = {
        {column(VT_BSTR, 10), L""},
        {with_default(VT_BSTR, ole_variant(L"it's"), 10), L"'it''s'"},
        {with_default(VT_BSTR, ole_variant(L"abcdef"), 3), L"'abc'"},
        {with_default(VT_I4, ole_variant(42)), L"42"},
        {with_default(VT_I4, ole_variant(L"042")), L""},
        {with_default(VT_I4, ole_variant(L"-7")), L"-7"},
        {with_default(VT_I4, ole_variant(L"abc")), L""},
        {with_default(VT_BOOL, ole_variant(true)), L"1"},
        // 64-bit columns keep their defaults
        {with_default(VT_I8, ole_variant(static_cast<long long>(9223372036854775807LL))),
         L"9223372036854775807"},
        {with_default(VT_UI8, ole_variant(18446744073709551615ULL)), L"18446744073709551615"},
        {with_default(VT_R8, ole_variant(L"1.5")), L"1.5"},
        {with_default(VT_R8, ole_variant(L"1,5")), L"1.5"},
        {with_default(VT_R8, ole_variant(L"1e200")), L"0"},
        {with_default(VT_R8, ole_variant(L"0.0")), L"0"},
        {with_default(VT_R8, ole_variant(L"abc")), L""},
        {with_default(VT_R8, ole_variant(L"1.5abc")), L""},
        {with_default(VT_DECIMAL, ole_variant(L"12.50")), L"12.50"},
        {with_default(VT_DATE, ole_variant(L"2024-05-17 13:45:09"), 0, 1),
         L"to_date('2024-05-17 13:45:09', 'YYYY-MM-DD HH24:MI:SS')"},
        {with_default(VT_DATE, ole_variant(L"2024-05-17"), 0, 2),
         L"to_date('2024-05-17', 'YYYY-MM-DD')"},
        {with_default(VT_DATE, ole_variant(L"10:20:30"), 0, 3),
         L"to_date('10:20:30', 'HH24-MI-SS')"},
        // MySQL's zero date is no default at all, not the first day of some month
        {with_default(VT_DATE, ole_variant(L"0000-00-00 00:00:00"), 0, 1), L""},
        {with_default(VT_DATE, ole_variant(L"0000-00-00"), 0, 2), L""},
        {with_default(VT_DATE, ole_variant(L"00:00:00"), 0, 3),
         L"to_date('00:00:00', 'HH24-MI-SS')"},
        {with_default(VT_DATE, ole_variant(L"hello world"), 0, 1), L""},
        {with_default(VT_ARRAY_UI1, ole_variant(L"0x0A"), 4), L""},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(ora_schema_initializer::make_ora_def_val(c.field), c.expected)
            << "kind " << c.field.vartype << " value "
            << platform::wide_to_utf8(c.field.default_value.to_wstring());
    }
}

TEST(ora_schema_initializer, create_table_text) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true, true, ole_variant(0)));
    source.add(t_ftd(L"name", VT_BSTR, 40, true, false, ole_variant(L"n/a")));
    source.add(t_ftd(L"notes", VT_BSTR, 0, true, false, ole_variant(L"x")));
    source.add(t_ftd(L"order-id", VT_I8, 0, false, false, ole_variant(L"5"), 2));
    source.add(t_ftd(L"rowid", VT_DATE, 0, false, false, ole_variant(), 1));
    source.add(t_ftd(L"picture", VT_ARRAY_UI1, 0));
    source.auto_increment_next = 1001;

    const ora_schema_initializer lower(L"shop_items", source, false);
    EXPECT_EQ(lower.get_init_str(),
              L"CREATE TABLE \"shop_items\" (\"id\" NUMBER(11,0), \"name\" VARCHAR2(40 CHAR) "
              L"DEFAULT 'n/a' NOT NULL, \"notes\" CLOB, \"order_id\" NUMBER(20,0) DEFAULT 5, "
              L"\"rowid\" DATE, \"picture\" BLOB)");
    EXPECT_EQ(lower.auto_increment_column(), L"id");
    EXPECT_EQ(lower.sequence_start(), 1001u);
    EXPECT_FALSE(lower.defers_auto_increment());
    EXPECT_EQ(lower.generated_names().get_mapped_name(L"order-id", true), L"order_id");
    EXPECT_EQ(lower.generated_names().size(), 1u);

    const ora_schema_initializer upper(L"SHOP_ITEMS", source, true);
    EXPECT_EQ(upper.fields()[0].name, L"ID");
    EXPECT_EQ(upper.fields()[3].name, L"ORDER_ID");
    // Upper-case ROWID is Oracle's own pseudo-column.
    EXPECT_EQ(upper.fields()[4].name, L"ROWID00000");
    EXPECT_EQ(upper.auto_increment_column(), L"ID");
    EXPECT_EQ(upper.generated_names().get_mapped_name(L"rowid", true), L"ROWID00000");
}

TEST(ora_schema_initializer, without_a_counter_the_sequence_waits_for_the_records) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true, true));
    const ora_schema_initializer initializer(L"t", source, false);
    EXPECT_FALSE(initializer.sequence_start().has_value());
    EXPECT_TRUE(initializer.defers_auto_increment());
    // The counter of a BIGINT UNSIGNED key at its end is used as it is.
    source.auto_increment_next = 18446744073709551615ull;
    EXPECT_EQ(ora_schema_initializer(L"t", source, false).sequence_start(),
              18446744073709551615ull);
}

TEST(ora_schema_initializer, a_sequence_continues_one_above_the_largest_key) {
    struct {
        const wchar_t* largest;
        const wchar_t* start;
    } const cases[] = {
        {L"", L"1"},
        {L"0", L"1"},
        {L"-5", L"1"},
        {L"41", L"42"},
        {L"99", L"100"},
        {L"2.5", L"3"},
        {L"9999999999999999999999999999", L"10000000000000000000000000000"},
        {L"18446744073709551615", L"18446744073709551616"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ora_sequence_start_after(c.largest), c.start) << c.largest;
    }
}

TEST(ora_schema_initializer, sequence_and_trigger_names_fit) {
    struct case_t {
        std::wstring table;
        int n;
        std::wstring sequence;
    };
    const std::wstring t29(29, L'a');
    const std::wstring t30(30, L'b');
    const case_t cases[] = {
        {L"orders", 0, L"orders_0"},
        {L"orders", 2, L"orders_2"},
        {std::wstring(28, L'c'), 0, std::wstring(28, L'c') + L"_0"},
        {std::wstring(28, L'c'), 10, std::wstring(27, L'c') + L"_10"},
        {t29, 0, t29.substr(0, 27) + L"_0"},
        {t30, 10, t30.substr(0, 27) + L"_10"},
        {std::wstring(15, L'é'), 0, std::wstring(14, L'é') + L"_0"},
    };
    for (const case_t& c : cases) {
        const std::wstring name = ora_schema_initializer::sequence_name(c.table, c.n);
        EXPECT_EQ(name, c.sequence);
        EXPECT_LE(ora_validator::byte_length(name), 30u);
    }
    EXPECT_EQ(ora_schema_initializer::trigger_name(L"orders", L"orders_0"), L"orders__TRIGGER");
    EXPECT_EQ(ora_schema_initializer::trigger_name(std::wstring(21, L'd'), L"s"),
              std::wstring(21, L'd') + L"__TRIGGER");
    EXPECT_EQ(ora_schema_initializer::trigger_name(std::wstring(22, L'd'), L"seq_0"), L"seq_0");
}

}  // namespace
