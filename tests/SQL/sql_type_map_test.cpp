// The mapping of MySQL column types to value kinds and value paths, and the decimal
// precision taken from the client's display length.
#include <gtest/gtest.h>

#include "SQL/sql_record.h"
#include "SQL/sql_type_map.h"

namespace {

constexpr unsigned u = sql_flag_unsigned;
constexpr unsigned bin = sql_flag_binary;
constexpr unsigned utf8mb4 = 45;
using path = sql_value_path;

TEST(sql_type_map, every_type_code_has_its_kind_and_path) {
    struct {
        const char* what;
        sql_column_type type;
        bool blob_to_text;
        VARTYPE vartype;
        sql_value_path path;
    } const cases[] = {
        {"DECIMAL", {sql_type_newdecimal, 0, 12, 2, 63}, false, VT_DECIMAL, path::digits},
        {"old DECIMAL", {sql_type_decimal, 0, 12, 2, 63}, false, VT_DECIMAL, path::digits},
        {"TINYINT", {sql_type_tiny, 0, 4, 0, 63}, false, VT_I1, path::digits},
        {"TINYINT UNSIGNED", {sql_type_tiny, u, 3, 0, 63}, false, VT_UI1, path::digits},
        {"SMALLINT", {sql_type_short, 0, 6, 0, 63}, false, VT_I2, path::digits},
        {"SMALLINT UNSIGNED", {sql_type_short, u, 5, 0, 63}, false, VT_UI2, path::digits},
        {"INT", {sql_type_long, 0, 11, 0, 63}, false, VT_I4, path::digits},
        {"INT UNSIGNED", {sql_type_long, u, 10, 0, 63}, false, VT_UI4, path::digits},
        {"MEDIUMINT UNSIGNED", {sql_type_int24, u, 8, 0, 63}, false, VT_I4, path::digits},
        {"BIGINT", {sql_type_longlong, 0, 20, 0, 63}, false, VT_I8, path::digits},
        {"BIGINT UNSIGNED", {sql_type_longlong, u, 20, 0, 63}, false, VT_UI8, path::digits},
        {"FLOAT", {sql_type_float, 0, 12, 31, 63}, false, VT_R4, path::digits},
        {"DOUBLE", {sql_type_double, 0, 22, 31, 63}, false, VT_R8, path::digits},
        {"TIMESTAMP", {sql_type_timestamp, 0, 19, 0, 63}, false, VT_DATE, path::digits},
        {"DATE", {sql_type_date, 0, 10, 0, 63}, false, VT_DATE, path::digits},
        {"TIME", {sql_type_time, bin, 10, 0, 63}, false, VT_DATE, path::digits},
        {"DATETIME", {sql_type_datetime, 0, 19, 0, 63}, false, VT_DATE, path::digits},
        {"YEAR", {sql_type_year, u, 4, 0, 63}, false, VT_UI2, path::digits},
        {"BIT(1)", {sql_type_bit, u, 1, 0, 63}, false, VT_BOOL, path::bits},
        {"BIT(8)", {sql_type_bit, u, 8, 0, 63}, false, VT_UI1, path::bits},
        {"BIT(12)", {sql_type_bit, u, 12, 0, 63}, false, VT_UI2, path::bits},
        {"BIT(32)", {sql_type_bit, u, 32, 0, 63}, false, VT_UI4, path::bits},
        {"BIT(64)", {sql_type_bit, u, 64, 0, 63}, false, VT_UI8, path::bits},
        {"BLOB", {sql_type_blob, bin, 65535, 0, 63}, false, VT_BLOB, path::binary},
        {"LONGBLOB as text", {sql_type_long_blob, bin, 0, 0, 63}, true, VT_BSTR, path::text},
        {"TEXT", {sql_type_blob, 0, 262140, 0, utf8mb4}, false, VT_BSTR, path::text},
        // A binary collation sets the BINARY flag, but the column still holds text.
        {"TEXT utf8mb4_bin", {sql_type_blob, bin, 262140, 0, 46}, false, VT_BSTR, path::text},
        // Servers without character sets: the flag alone marks a binary BLOB.
        {"old BLOB", {sql_type_medium_blob, bin, 0, 0, 0}, false, VT_BLOB, path::binary},
        {"old TEXT", {sql_type_medium_blob, 0, 0, 0, 0}, false, VT_BSTR, path::text},
        {"old VARCHAR BINARY", {sql_type_var_string, bin, 10, 0, 0}, false, VT_BSTR, path::text},
        {"VARCHAR", {sql_type_var_string, 0, 200, 0, utf8mb4}, false, VT_BSTR, path::text},
        {"CHAR", {sql_type_string, 0, 40, 0, utf8mb4}, false, VT_BSTR, path::text},
        {"BINARY(16)", {sql_type_string, bin, 16, 0, 63}, false, VT_BLOB, path::binary},
        // The text switch is for BLOBs: binary strings (keys, hashes) keep their bytes.
        {"VARBINARY under blob2text",
         {sql_type_var_string, bin, 16, 0, 63},
         true,
         VT_BLOB,
         path::binary},
        {"BINARY under blob2text", {sql_type_string, bin, 16, 0, 63}, true, VT_BLOB, path::binary},
        {"ENUM", {sql_type_string, 0x100, 4, 0, utf8mb4}, false, VT_BSTR, path::text},
        {"JSON", {sql_type_json, 0, 0, 0, utf8mb4}, false, VT_BSTR, path::text},
        {"GEOMETRY", {sql_type_geometry, bin, 0, 0, 63}, false, VT_BLOB, path::binary},
        {"GEOMETRY as text", {sql_type_geometry, bin, 0, 0, 63}, true, VT_BLOB, path::binary},
        {"NULL", {sql_type_null, 0, 0, 0, 63}, false, VT_BSTR, path::text},
        {"unknown code", {200, 0, 0, 0, 63}, false, VT_BSTR, path::text},
    };
    for (const auto& c : cases) {
        const sql_value_kind kind = mysql_type_to_vartype(c.type, c.blob_to_text);
        EXPECT_EQ(kind.vartype, c.vartype) << c.what;
        EXPECT_EQ(kind.path, c.path) << c.what;
    }
}

TEST(sql_type_map, decimal_precision_counts_sign_only_when_signed) {
    struct {
        unsigned long length;
        unsigned decimals;
        unsigned flags;
        int32_t precision;
    } const cases[] = {
        {12, 2, 0, 10},   // DECIMAL(10,2)
        {11, 0, 0, 10},   // DECIMAL(10,0)
        {11, 2, u, 10},   // DECIMAL(10,2) UNSIGNED: no sign position
        {10, 0, u, 10},   // DECIMAL(10,0) UNSIGNED
        {67, 30, 0, 65},  // DECIMAL(65,30)
    };
    for (const auto& c : cases) {
        const sql_column_type type{sql_type_newdecimal, c.flags, c.length, c.decimals, 63};
        EXPECT_EQ(sql_decimal_precision(type), c.precision) << c.length << "," << c.decimals;
    }
}

TEST(sql_type_map, bit_values_are_big_endian_numbers) {
    const unsigned char one[] = {1};
    const unsigned char zero[] = {0};
    const unsigned char twelve_bits[] = {0x0A, 0x01};
    const unsigned char all_ones[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(sql_bits_value(VT_BOOL, one, 1).bool_value());
    EXPECT_FALSE(sql_bits_value(VT_BOOL, zero, 1).bool_value());
    EXPECT_EQ(sql_bits_value(VT_BOOL, zero, 1).vartype(), VT_BOOL);
    const ole_variant wide = sql_bits_value(VT_UI2, twelve_bits, 2);
    EXPECT_EQ(wide.vartype(), VT_UI2);
    EXPECT_EQ(wide.to_long(), 0x0A01);
    const ole_variant max = sql_bits_value(VT_UI8, all_ones, 8);
    EXPECT_EQ(max.vartype(), VT_UI8);
    EXPECT_EQ(max.uhyper_value(), UINT64_MAX);
}

TEST(sql_type_map, text_conversion_of_flags_and_null) {
    EXPECT_TRUE(get_variant(VT_BOOL, "\x01", 1).bool_value());
    EXPECT_FALSE(get_variant(VT_BOOL, "\0", 1).bool_value());
    EXPECT_FALSE(get_variant(VT_BOOL, "", 0).bool_value());
    EXPECT_EQ(get_variant(VT_I4, nullptr, 0).vartype(), VT_EMPTY);
    EXPECT_EQ(get_variant(VT_BSTR, std::wstring_view(L"a\0b", 3)).bstr(), std::wstring(L"a\0b", 3));
}

}  // namespace
