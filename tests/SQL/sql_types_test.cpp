// Every MySQL column type, one table per family: the schema entry it becomes and the value
// its text or bytes become, with a second row of NULLs in every column.
#include <map>

#include "sql_server_test.h"

namespace {

// Skips a check in a case.
constexpr int32_t any = -1;

struct column_case {
    const char* definition;  // column type as in CREATE TABLE
    const char* value;       // SQL expression stored in row 1
    VARTYPE schema_kind;
    int32_t size;
    int32_t subtype;
    VARTYPE value_kind;
    // The value's text (to_wstring), its bytes for a byte array, its number for a float.
    std::wstring expected;
};

class sql_types_test : public sql_server_test {
  protected:
    // Creates table `name` with one column per case, row 1 with the values, row 2 with NULLs;
    // reads it back and checks schema and values.
    void check_family(const std::string& name, const std::vector<column_case>& cases) {
        std::string create = "CREATE TABLE `" + name + "` (id INT NOT NULL PRIMARY KEY";
        std::string values = "INSERT INTO `" + name + "` VALUES (1";
        std::string nulls = "INSERT INTO `" + name + "` VALUES (2";
        for (size_t i = 0; i < cases.size(); ++i) {
            create += ", c" + std::to_string(i) + " " + cases[i].definition;
            values += std::string(", ") + cases[i].value;
            nulls += ", NULL";
        }
        admin(create + ")");
        admin(values + ")");
        admin(nulls + ")");

        auto database = open();
        auto table = database->open_table(std::wstring(name.begin(), name.end()));
        ASSERT_EQ(table->schema.size(), cases.size() + 1);
        for (size_t i = 0; i < cases.size(); ++i) {
            const column_case& c = cases[i];
            const t_ftd& field = table->schema[i + 1];
            SCOPED_TRACE(c.definition);
            EXPECT_EQ(field.name, L"c" + std::to_wstring(i));
            EXPECT_EQ(field.vartype, c.schema_kind);
            if (c.size != any) {
                EXPECT_EQ(field.size, c.size);
            }
            if (c.subtype != any) {
                EXPECT_EQ(field.subtype, c.subtype);
            }
            EXPECT_FALSE(field.not_null);
        }

        std::map<int32_t, udb_record> rows;
        for (table->move_first(); !table->is_eof(); table->next()) {
            udb_record* record = table->get_item();
            ASSERT_NE(record, nullptr);
            rows[(*record)[0].to_long()] = *record;
        }
        ASSERT_EQ(rows.size(), 2u);
        for (size_t i = 0; i < cases.size(); ++i) {
            const column_case& c = cases[i];
            SCOPED_TRACE(c.definition);
            const udb_field& value = rows[1][i + 1];
            EXPECT_EQ(value.name(), L"c" + std::to_wstring(i));
            EXPECT_EQ(value.vartype(), c.value_kind);
            if (value.vartype() == VT_ARRAY_UI1) {
                const auto bytes = value.bytes();
                EXPECT_EQ(std::wstring(bytes.begin(), bytes.end()), c.expected);
                EXPECT_EQ(value.size, static_cast<int32_t>(bytes.size()));
            } else if (value.vartype() == VT_R4) {
                EXPECT_EQ(static_cast<float>(value.to_double()), std::stof(c.expected));
            } else if (value.vartype() == VT_R8) {
                EXPECT_EQ(value.to_double(), std::stod(c.expected));
            } else if (value.vartype() != VT_EMPTY) {
                EXPECT_EQ(value.to_wstring(), c.expected);
            }
            EXPECT_EQ(rows[2][i + 1].vartype(), VT_EMPTY) << "NULL row";
        }
    }
};

// Byte values as wide text, one character per byte, for comparing byte arrays.
std::wstring bytes(std::initializer_list<int> values) {
    std::wstring text;
    for (int v : values) {
        text.push_back(static_cast<wchar_t>(v));
    }
    return text;
}

TEST_F(sql_types_test, integers_at_their_limits) {
    check_family(
        "integers",
        {
            {"TINYINT", "-128", VT_I1, any, 0, VT_I1, L"-128"},
            {"TINYINT UNSIGNED", "255", VT_UI1, any, 0, VT_UI1, L"255"},
            {"SMALLINT", "-32768", VT_I2, any, 0, VT_I2, L"-32768"},
            {"SMALLINT UNSIGNED", "65535", VT_UI2, any, 0, VT_UI2, L"65535"},
            {"MEDIUMINT", "-8388608", VT_I4, any, 0, VT_I4, L"-8388608"},
            {"MEDIUMINT UNSIGNED", "16777215", VT_I4, any, 0, VT_I4, L"16777215"},
            {"INT", "-2147483648", VT_I4, any, 0, VT_I4, L"-2147483648"},
            {"INT UNSIGNED", "4294967295", VT_UI4, any, 0, VT_UI4, L"4294967295"},
            {"BIGINT", "-9223372036854775808", VT_I8, any, 1, VT_I8, L"-9223372036854775808"},
            {"BIGINT UNSIGNED", "18446744073709551615", VT_UI8, any, 2, VT_UI8,
             L"18446744073709551615"},
            {"YEAR", "2024", VT_UI2, any, 0, VT_UI2, L"2024"},
            {"BOOL", "1", VT_I1, any, 0, VT_I1, L"1"},
        });
}

TEST_F(sql_types_test, decimals_and_floating_point) {
    check_family(
        "numbers",
        {
            {"DECIMAL(10,2)", "-12345678.99", VT_DECIMAL, any, 10 * 256 + 2, VT_DECIMAL,
             L"-12345678.99"},
            {"DECIMAL(10,0)", "1234567890", VT_DECIMAL, any, 10 * 256, VT_DECIMAL, L"1234567890"},
            // The display length of an unsigned column has no sign position: precision 10,
            // so a 10-digit value fits the column made from it.
            {"DECIMAL(10,2) UNSIGNED", "12345678.99", VT_DECIMAL, any, 10 * 256 + 2, VT_DECIMAL,
             L"12345678.99"},
            {"DECIMAL(10,0) UNSIGNED", "9999999999", VT_DECIMAL, any, 10 * 256, VT_DECIMAL,
             L"9999999999"},
            {"DECIMAL(5,5)", "-0.12345", VT_DECIMAL, any, 5 * 256 + 5, VT_DECIMAL, L"-0.12345"},
            {"DECIMAL(65,30)",
             "-12345678901234567890123456789012345.123456789012345678901234567891", VT_DECIMAL, any,
             65 * 256 + 30, VT_DECIMAL,
             L"-12345678901234567890123456789012345.123456789012345678901234567891"},
            {"FLOAT", "1.5", VT_R4, any, 0, VT_R4, L"1.5"},
            {"FLOAT(7,4)", "123.4567", VT_DECIMAL, any, 7 * 256 + 4, VT_R4, L"123.4567"},
            {"FLOAT(7,0)", "1234567", VT_R4, any, 0, VT_R4, L"1234567"},
            {"DOUBLE", "-1.25e300", VT_R8, any, 0, VT_R8, L"-1.25e300"},
        });
}

TEST_F(sql_types_test, bits_keep_their_value) {
    check_family("bits", {
                             {"BIT(1)", "b'1'", VT_BOOL, 1, 0, VT_BOOL, L"1"},
                             {"BIT(1)", "b'0'", VT_BOOL, 1, 0, VT_BOOL, L"0"},
                             // Wider bit fields carry their number, not a flag.
                             {"BIT(12)", "b'101000000001'", VT_UI2, 12, 0, VT_UI2, L"2561"},
                             {"BIT(64)", "18446744073709551615", VT_UI8, 64, 0, VT_UI8,
                              L"18446744073709551615"},
                         });
}

TEST_F(sql_types_test, dates_times_and_zero_dates) {
    admin("SET SESSION sql_mode = ''");
    check_family(
        "dates",
        {
            {"DATE", "'2024-02-29'", VT_DATE, any, 2, VT_DATE, L"2024-02-29"},
            {"DATETIME", "'2024-02-29 13:14:15'", VT_DATE, any, 1, VT_DATE, L"2024-02-29 13:14:15"},
            {"TIMESTAMP NULL", "'2024-02-29 13:14:15'", VT_DATE, any, 0, VT_DATE,
             L"2024-02-29 13:14:15"},
            {"TIME", "'12:34:56'", VT_DATE, any, 3, VT_DATE, L"0000-00-00 12:34:56"},
            // No date can hold these; they arrive as NULL.
            {"DATE", "'0000-00-00'", VT_DATE, any, 2, VT_EMPTY, L""},
            {"DATETIME", "'0000-00-00 00:00:00'", VT_DATE, any, 1, VT_EMPTY, L""},
        });
}

TEST_F(sql_types_test, texts_in_utf8mb4) {
    check_family(
        "texts",
        {
            {"CHAR(10)", "'abc'", VT_BSTR, 40, 0, VT_BSTR, L"abc"},
            // The declared characters, not the 200 bytes the client reports.
            {"VARCHAR(50)",
             "'Gr\xC3\xBC\xC3\x9F"
             "e \xF0\x9F\x98\x80 \xE6\xBC\xA2\xE5\xAD\x97'",
             VT_BSTR, 50, 0, VT_BSTR, L"Gr\u00fc\u00dfe \U0001F600 \u6f22\u5b57"},
            {"TINYTEXT", "'tiny'", VT_BSTR, 1020, 0, VT_BSTR, L"tiny"},
            {"TEXT", "REPEAT('\xE2\x82\xAC', 3000)", VT_BSTR, 262140, 0, VT_BSTR,
             std::wstring(3000, L'\u20ac')},
            {"MEDIUMTEXT", "'medium'", VT_BSTR, any, 0, VT_BSTR, L"medium"},
            {"LONGTEXT", "'long'", VT_BSTR, INT32_MAX, 0, VT_BSTR, L"long"},
            // A zero character is part of the text, not its end.
            {"TEXT", "CONCAT('a', CHAR(0), 'b')", VT_BSTR, any, 0, VT_BSTR,
             std::wstring(L"a\0b", 3)},
            // A binary collation does not make text binary.
            {"TEXT COLLATE utf8mb4_bin", "'Ab\xC3\xA9'", VT_BSTR, any, 0, VT_BSTR, L"Ab\u00e9"},
            {"VARCHAR(5) COLLATE utf8mb4_bin", "'Ab'", VT_BSTR, 5, 0, VT_BSTR, L"Ab"},
            {"ENUM('small','large')", "'large'", VT_BSTR, any, 0, VT_BSTR, L"large"},
            {"SET('a','b','c')", "'a,c'", VT_BSTR, any, 0, VT_BSTR, L"a,c"},
            {"JSON", "'{\"k\": [1, \"\xF0\x9F\x98\x80\"]}'", VT_BSTR, any, 0, VT_BSTR,
             L"{\"k\": [1, \"\U0001F600\"]}"},
        });
}

TEST_F(sql_types_test, binary_values_keep_every_byte) {
    check_family(
        "binaries",
        {
            {"BINARY(4)", "0x00FF0000", VT_BLOB, 4, 0, VT_ARRAY_UI1, bytes({0, 0xFF, 0, 0})},
            {"VARBINARY(10)", "0x0001", VT_BLOB, 10, 0, VT_ARRAY_UI1, bytes({0, 1})},
            {"TINYBLOB", "0x000102", VT_BLOB, 255, 0, VT_ARRAY_UI1, bytes({0, 1, 2})},
            {"BLOB", "0x61006200", VT_BLOB, 65535, 0, VT_ARRAY_UI1, bytes({'a', 0, 'b', 0})},
            {"MEDIUMBLOB", "0x00", VT_BLOB, any, 0, VT_ARRAY_UI1, bytes({0})},
            {"LONGBLOB", "0xC3A900", VT_BLOB, any, 0, VT_ARRAY_UI1, bytes({0xC3, 0xA9, 0})},
            {"BLOB", "''", VT_BLOB, any, 0, VT_ARRAY_UI1, L""},
            // Well-known binary with its SRID: text would cut it at the first zero byte.
            {"GEOMETRY", "ST_GeomFromText('POINT(1 2)')", VT_BLOB, any, 0, VT_ARRAY_UI1,
             bytes({0, 0, 0,    0,    1, 1, 0, 0, 0, 0, 0, 0,   0,
                    0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0x40})},
        });
}

TEST_F(sql_types_test, blob_to_text_reads_binary_blobs_as_utf8_text_and_keeps_binary_strings) {
    engine_->blob_to_text = true;
    check_family(
        "blobtext",
        {
            {"BLOB", "0x68C3A96C6C6F", VT_BSTR, 65535, 0, VT_BSTR, L"h\u00e9llo"},
            // Not UTF-8: as text each of these bytes would become U+FFFD.
            {"VARBINARY(8)", "0xFF00FE", VT_BLOB, 8, 0, VT_ARRAY_UI1, bytes({0xFF, 0, 0xFE})},
            {"BINARY(3)", "0xC0FFEE", VT_BLOB, 3, 0, VT_ARRAY_UI1, bytes({0xC0, 0xFF, 0xEE})},
        });
}

}  // namespace
