// Oracle's rules for names, types, limits and values, each checked through the error number
// (and text) a statement gets.
#include <ctime>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

struct case_row {
    std::string sql;
    int code;
};

class names_types_test : public database_test {
  protected:
    void expect_codes(const std::vector<case_row>& rows) {
        for (const case_row& r : rows) {
            EXPECT_EQ(ora(r.sql), r.code) << r.sql << "\n" << scott.message();
        }
    }
};

TEST_F(names_types_test, identifiers_fold_quote_and_have_limits) {
    std::string e15, e16;
    for (int i = 0; i < 15; ++i) e15 += "é";
    e16 = e15 + "é";
    expect_codes({
        {"CREATE TABLE abc (x NUMBER)", 0},
        {"CREATE TABLE ABC (x NUMBER)", 955},
        {"CREATE TABLE \"abc\" (x NUMBER)", 0},
        {"CREATE TABLE \"Abc\" (x NUMBER)", 0},
        {"CREATE TABLE " + std::string(30, 'T') + " (x NUMBER)", 0},
        {"CREATE TABLE " + std::string(31, 'T') + " (x NUMBER)", 972},
        {"CREATE TABLE \"" + std::string(31, 't') + "\" (x NUMBER)", 972},
        {"CREATE TABLE " + e15 + " (x NUMBER)", 0},
        {"CREATE TABLE " + e16 + " (x NUMBER)", 972},
        {"CREATE TABLE select (x NUMBER)", 903},
        {"CREATE TABLE \"SELECT\" (x NUMBER)", 0},
        {"CREATE TABLE d1 (date DATE)", 904},
        {"CREATE TABLE d2 (\"DATE\" DATE)", 0},
        {"CREATE TABLE d3 (a NUMBER, A NUMBER)", 957},
        {"CREATE TABLE d4 (a NUMBER, \"a\" NUMBER)", 0},
        {"CREATE TABLE \"\" (x NUMBER)", 1741},
        {"CREATE TABLE \"open (x NUMBER)", 1740},
        {"CREATE TABLE d5 (x NUMBER);", 911},
        {"CREATE TABLE d6 (x NUMBER) garbage", 922},
        {"SELECT * FROM abc extra words", 933},
        {"FROBNICATE abc", 900},
        {"SELECT 'unterminated FROM dual", 1756},
        {"SELECT x FROM", 903},
        {"SELECT FROM abc", 936},
        {"SELECT x abc", 923},
        {"SELECT x FROM abc WHERE (x = 1", 907},
    });
    // Unquoted names are stored upper case, quoted ones as written.
    EXPECT_EQ(scott.rows("SELECT TABLE_NAME FROM USER_TABLES WHERE TABLE_NAME IN ('ABC', 'abc', "
                         "'Abc') ORDER BY TABLE_NAME"),
              (rows_t{{"ABC"}, {"Abc"}, {"abc"}}));
    ok("INSERT INTO \"Abc\" (X) VALUES (7)");
    EXPECT_EQ(scott.scalar("SELECT x FROM \"Abc\""), "7");
    EXPECT_EQ(ora("SELECT x FROM Abc"), 0);  // folds to ABC, which exists and is empty
    EXPECT_EQ(ora("SELECT \"x\" FROM \"Abc\""), 904);
    EXPECT_EQ(scott.message(), "ORA-00904: \"x\": invalid identifier");
}

TEST_F(names_types_test, namespaces_of_tables_sequences_indexes_and_constraints) {
    expect_codes({
        {"CREATE TABLE t1 (a NUMBER, b NUMBER)", 0},
        {"CREATE SEQUENCE t1", 955},
        {"CREATE SEQUENCE s1", 0},
        {"CREATE TABLE s1 (a NUMBER)", 955},
        {"CREATE INDEX t1 ON t1 (a)", 0},  // indexes have their own namespace
        {"CREATE INDEX t1 ON t1 (b)", 955},
        {"CREATE TABLE t2 (a NUMBER CONSTRAINT c1 PRIMARY KEY)", 0},
        {"CREATE TABLE t3 (a NUMBER CONSTRAINT c1 UNIQUE)", 2264},
        {"ALTER TABLE t1 ADD CONSTRAINT c1 UNIQUE (b)", 2264},
        {"DROP SEQUENCE nothing", 2289},
        {"DROP INDEX nothing", 1418},
        {"DROP TRIGGER nothing", 4080},
        {"DROP TABLE nothing", 942},
        {"ALTER TABLE t1 DROP CONSTRAINT nothing", 2443},
        {"SELECT nothing.nextval FROM dual", 2289},
    });
}

TEST_F(names_types_test, type_limits_are_checked_at_creation) {
    expect_codes({
        {"CREATE TABLE a1 (c VARCHAR2(4000))", 0},
        {"CREATE TABLE a2 (c VARCHAR2(4001))", 910},
        {"CREATE TABLE a3 (c VARCHAR2)", 906},
        {"CREATE TABLE a4 (c VARCHAR2(0))", 1723},
        {"CREATE TABLE a5 (c NUMBER(38))", 0},
        {"CREATE TABLE a6 (c NUMBER(39))", 1727},
        {"CREATE TABLE a7 (c NUMBER(0))", 1727},
        {"CREATE TABLE a8 (c NUMBER(5,128))", 1728},
        {"CREATE TABLE a9 (c RAW(2000))", 0},
        {"CREATE TABLE b1 (c RAW(2001))", 910},
        {"CREATE TABLE b2 (c CHAR(2001))", 910},
        {"CREATE TABLE b3 (c FLOAT(127))", 1724},
        {"CREATE TABLE b4 (c TIMESTAMP(10))", 30088},
        {"CREATE TABLE b5 (c NVARCHAR2(2001))", 910},
        {"CREATE TABLE b6 (c WIDGET)", 902},
        {"CREATE TABLE b7 (c LONG, d LONG)", 1754},
        {"CREATE TABLE b8 (c CLOB, CONSTRAINT pk_b8 PRIMARY KEY (c))", 2329},
        {"CREATE TABLE b9 (c CLOB)", 0},
        {"CREATE INDEX i_b9 ON b9 (c)", 2327},
    });
    EXPECT_EQ(scott.rows("SELECT DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_USED "
                         "FROM USER_TAB_COLUMNS WHERE TABLE_NAME IN ('A1', 'A5', 'A9') ORDER BY "
                         "TABLE_NAME"),
              (rows_t{{"VARCHAR2", "4000", "<NULL>", "<NULL>", "B"},
                      {"NUMBER", "22", "38", "0", "<NULL>"},
                      {"RAW", "2000", "<NULL>", "<NULL>", "<NULL>"}}));
}

TEST_F(names_types_test, values_are_converted_rounded_and_checked) {
    ok("CREATE TABLE v (n NUMBER(5,2), i NUMBER(3), s VARCHAR2(3), c VARCHAR2(3 CHAR), "
       "r RAW(2), k VARCHAR2(5) NOT NULL, f NUMBER)");
    struct value_row {
        std::string values;
        int code;
        std::string stored;  // n|i|s|c|r|f after a successful insert
    };
    const value_row rows[] = {
        {"123.456, 1, 'a', 'a', NULL, 'k', NULL", 0, "123.46|1|a|a|<NULL>|<NULL>"},
        {"-0.005, 12.5, 'abc', 'äöü', 'ABCD', 'k', 0.5", 0, "-.01|13|abc|äöü|ABCD|.5"},
        {"' 12 ', '7', NULL, NULL, 'ab', 'k', 1e20", 0,
         "12|7|<NULL>|<NULL>|AB|100000000000000000000"},
        {"1234.5, 1, 'a', 'a', NULL, 'k', NULL", 1438, ""},
        {"1, 1000, 'a', 'a', NULL, 'k', NULL", 1438, ""},
        {"'abc', 1, 'a', 'a', NULL, 'k', NULL", 1722, ""},
        {"1, 1, 'abcd', 'a', NULL, 'k', NULL", 12899, ""},
        {"1, 1, 'äöü', 'a', NULL, 'k', NULL", 12899, ""},
        {"1, 1, 'a', 'äöüx', NULL, 'k', NULL", 12899, ""},
        {"1, 1, 'a', 'a', 'ABCDEF', 'k', NULL", 12899, ""},
        {"1, 1, 'a', 'a', 'XYZ', 'k', NULL", 1465, ""},
        {"1, 1, 'a', 'a', NULL, '', NULL", 1400, ""},
        {"1, 1, 'a', 'a', NULL, NULL, NULL", 1400, ""},
        {"1, 1, 'a', 'a', NULL, 'k', 1e126", 1426, ""},
    };
    for (const value_row& r : rows) {
        ok("DELETE FROM v");
        int code = ora("INSERT INTO v VALUES (" + r.values + ")");
        EXPECT_EQ(code, r.code) << r.values << "\n" << scott.message();
        if (r.code != 0 || code != 0)
            continue;
        auto got = scott.rows("SELECT n, i, s, c, r, f FROM v");
        ASSERT_EQ(got.size(), 1u);
        std::string joined;
        for (const std::string& f : got[0]) joined += (joined.empty() ? "" : "|") + f;
        EXPECT_EQ(joined, r.stored) << r.values;
    }
    ora("INSERT INTO v (s, k) VALUES ('abcd', 'k')");
    EXPECT_EQ(
        scott.message(),
        "ORA-12899: value too large for column \"SCOTT\".\"V\".\"S\" (actual: 4, maximum: 3)");
    ora("INSERT INTO v (c, k) VALUES ('ééééé', 'k')");
    EXPECT_EQ(
        scott.message(),
        "ORA-12899: value too large for column \"SCOTT\".\"V\".\"C\" (actual: 5, maximum: 3)");
    // '' is NULL everywhere.
    ok("DELETE FROM v");
    ok("INSERT INTO v (s, k) VALUES ('', 'k')");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM v WHERE s IS NULL"), "1");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM v WHERE s = ''"), "0");
    EXPECT_EQ(scott.scalar("SELECT NVL('' || 'x', 'null') FROM dual"), "x");
}

TEST_F(names_types_test, dates_follow_the_format_model) {
    const case_row rows[] = {
        {"SELECT to_date('2024-02-29', 'YYYY-MM-DD') FROM dual", 0},
        {"SELECT to_date('2023-02-29', 'YYYY-MM-DD') FROM dual", 1839},
        {"SELECT to_date('0000-01-01', 'YYYY-MM-DD') FROM dual", 1841},
        {"SELECT to_date('2024-13-01', 'YYYY-MM-DD') FROM dual", 1843},
        {"SELECT to_date('2024-01-32', 'YYYY-MM-DD') FROM dual", 1847},
        {"SELECT to_date('2024-01-01 x', 'YYYY-MM-DD') FROM dual", 1830},
        {"SELECT to_date('2024', 'YYYY-MM-DD') FROM dual", 1840},
        {"SELECT to_date('abcd-01-01', 'YYYY-MM-DD') FROM dual", 1858},
        {"SELECT to_date('2024-01-01 at', 'YYYY-MM-DD \"on\"') FROM dual", 1861},
        {"SELECT to_date('24:00:00', 'HH24:MI:SS') FROM dual", 1850},
        {"SELECT to_date('2024-01-01', 'YYYY-MM-DD ZZ') FROM dual", 1821},
    };
    for (const case_row& r : rows) {
        EXPECT_EQ(ora(r.sql), r.code) << r.sql << "\n" << scott.message();
    }
    ok("CREATE TABLE d (v DATE)");
    ok("INSERT INTO d VALUES (to_date('13-45-09', 'HH24-MI-SS'))");
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d-%02d-01 13:45:09", tm.tm_year + 1900,
                  tm.tm_mon + 1);
    EXPECT_EQ(scott.scalar("SELECT TO_CHAR(v, 'YYYY-MM-DD HH24:MI:SS') FROM d"), expected);
    EXPECT_EQ(scott.scalar("SELECT TO_CHAR(to_date('17-MAY-24'), 'YYYY-MM-DD') FROM dual"),
              "2024-05-17");
    EXPECT_EQ(scott.scalar("SELECT TO_CHAR(to_date('2024-05-17','YYYY-MM-DD')) FROM dual"),
              "17-MAY-24");
    EXPECT_EQ(scott.scalar("SELECT TO_CHAR(to_date('2024-05-17 13:05','YYYY-MM-DD HH24:MI'), "
                           "'Dy DD Mon YYYY HH:MI AM') FROM dual"),
              "Fri 17 May 2024 01:05 PM");
}

}  // namespace
}  // namespace oralite_test
