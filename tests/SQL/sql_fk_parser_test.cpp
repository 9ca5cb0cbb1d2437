// The creation text of a table: its lines, and what each column's DEFAULT clause is.
#include <gtest/gtest.h>

#include "SQL/sql_fk_parser.h"

namespace {

const wchar_t create_text[] =
    L"CREATE TABLE `d` (\n"
    L"  `a` int(11) DEFAULT 5,\n"
    L"  `b` varchar(10) NOT NULL DEFAULT '',\n"
    L"  `c` varchar(20) DEFAULT 'current_timestamp()',\n"
    L"  `d` varchar(10) DEFAULT NULL,\n"
    L"  `e` datetime NOT NULL DEFAULT '0000-00-00 00:00:00',\n"
    L"  `f` timestamp NULL DEFAULT current_timestamp() ON UPDATE current_timestamp(),\n"
    L"  `g` varchar(10) DEFAULT 'NULL',\n"
    L"  `h` int(11) NOT NULL,\n"
    L"  `i` decimal(10,2) unsigned DEFAULT -1.50,\n"
    L"  `j` varchar(10) DEFAULT 'it''s',\n"
    L"  `k` bit(12) DEFAULT b'101',\n"
    L"  `l` enum('DEFAULT','y') DEFAULT 'y',\n"
    L"  `m` int(11) DEFAULT (1 + 2),\n"
    L"  `n` int(11) NOT NULL COMMENT 'DEFAULT 7',\n"
    L"  `we``ird` char(3) DEFAULT _utf8mb4'x',\n"
    L"  `o` timestamp NOT NULL DEFAULT CURRENT_TIMESTAMP,\n"
    L"  `p` char(36) DEFAULT uuid(),\n"
    L"  `q` datetime(6) DEFAULT current_timestamp(6) COMMENT 'x',\n"
    L"  `r` datetime DEFAULT (now() + interval 1 day),\n"
    L"  `s` datetime NOT NULL DEFAULT NOW(),\n"
    L"  PRIMARY KEY (`h`),\n"
    L"  CONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `x` (`id`)\n"
    L") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";

TEST(sql_fk_parser, keeps_the_lines) {
    const sql_fk_parser parser(L"d", create_text);
    ASSERT_EQ(parser.lines().size(), 24u);
    EXPECT_EQ(parser.lines().front(), L"CREATE TABLE `d` (");
}

TEST(sql_fk_parser, tells_literal_defaults_from_expressions) {
    const sql_fk_parser parser(L"d", create_text);
    using kind = sql_default_kind;
    struct {
        const wchar_t* column;
        std::optional<sql_default_kind> expected;
    } const cases[] = {
        {L"a", kind::literal},      {L"b", kind::literal},    {L"c", kind::literal},
        {L"d", kind::none},         {L"e", kind::literal},    {L"f", kind::current_time},
        {L"g", kind::literal},      {L"h", kind::none},       {L"i", kind::literal},
        {L"j", kind::literal},      {L"k", kind::literal},    {L"L", kind::literal},
        {L"m", kind::expression},   {L"n", kind::none},       {L"we`ird", kind::literal},
        {L"o", kind::current_time}, {L"p", kind::expression}, {L"missing", std::nullopt},
        {L"q", kind::current_time}, {L"r", kind::expression}, {L"s", kind::current_time},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parser.column_default(c.column), c.expected) << std::wstring(c.column).size();
    }
    EXPECT_EQ(parser.column_default_text(L"r"), L"(now() + interval 1 day)");
    EXPECT_EQ(parser.column_default_text(L"p"), L"uuid()");
    EXPECT_EQ(parser.column_default_text(L"h"), L"");
}

TEST(sql_fk_parser, next_auto_increment_value_comes_from_the_table_options) {
    struct {
        const wchar_t* text;
        std::optional<uint64_t> expected;
    } const cases[] = {
        {L"CREATE TABLE `t` (\n  `id` int NOT NULL AUTO_INCREMENT\n) ENGINE=InnoDB "
         L"AUTO_INCREMENT=61 DEFAULT CHARSET=utf8mb4",
         61},
        // No counter yet (an empty table that never held a row).
        {L"CREATE TABLE `t` (\n  `id` int NOT NULL AUTO_INCREMENT\n) ENGINE=InnoDB", std::nullopt},
        // The words inside a column comment are not a table option.
        {L"CREATE TABLE `t` (\n  `c` int COMMENT ' AUTO_INCREMENT=9'\n) ENGINE=InnoDB",
         std::nullopt},
        // The counter of a BIGINT UNSIGNED key after its largest value.
        {L") ENGINE=InnoDB AUTO_INCREMENT=18446744073709551615", UINT64_MAX},
        {L") ENGINE=InnoDB AUTO_INCREMENT=18446744073709551616", std::nullopt},
        {L") ENGINE=InnoDB AUTO_INCREMENT=9223372036854775808", uint64_t{1} << 63},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sql_fk_parser(L"t", c.text).auto_increment_next(), c.expected)
            << std::wstring(c.text).size();
    }
}

}  // namespace
