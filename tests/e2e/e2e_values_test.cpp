// Values at the edges of every MySQL type family, converted by DRXAGENT and compared with
// their source: limits of the integer kinds, long decimals, dates at both ends, text in
// several scripts and planes, empty texts, and large objects of 0, 1, 4000, 4001 bytes and
// one megabyte with zero bytes inside.
#include <gtest/gtest.h>

#include "e2e/checker.h"
#include "e2e/e2e_support.h"

namespace {

using driver_test::oralite_schema;
using driver_test::scratch_database;

const char kinds_table[] =
    "CREATE TABLE kinds ("
    " id INT PRIMARY KEY,"
    " i8 TINYINT, u8 TINYINT UNSIGNED, i16 SMALLINT, u16 SMALLINT UNSIGNED,"
    " i24 MEDIUMINT, u24 MEDIUMINT UNSIGNED, i32 INT, u32 INT UNSIGNED,"
    " i64 BIGINT, u64 BIGINT UNSIGNED,"
    " d38 DECIMAL(38,10), d5 DECIMAL(5,2), d0 DECIMAL(12,0), f FLOAT, dbl DOUBLE,"
    " flag BIT(1), yr YEAR,"
    " dt DATE, dtm DATETIME, tm TIME,"
    " vc VARCHAR(100), ch CHAR(10), en ENUM('small','large'),"
    " tt TINYTEXT, tx TEXT, mt MEDIUMTEXT,"
    " tb TINYBLOB, bl BLOB, mb MEDIUMBLOB)";

const char kinds_rows[] =
    "INSERT INTO kinds (id) VALUES (1);"
    "INSERT INTO kinds VALUES (2, -128, 0, -32768, 0, -8388608, 0, -2147483648, 0,"
    " -9223372036854775808, 0, -9999999999999999999999999999.9999999999, -999.99,"
    " -999999999999, -0.5, -1.5e-100, 0, 1901, '1000-01-01', '1000-01-01 00:00:00',"
    " '00:00:00', '', '', 'small', '', '', '', '', '', '');"
    "INSERT INTO kinds VALUES (3, 127, 255, 32767, 65535, 8388607, 16777215, 2147483647,"
    " 4294967295, 9223372036854775807, 9223372036854775807,"
    " 9999999999999999999999999999.9999999999, 999.99, 999999999999, 0.1, 1.2345678901234567e100,"
    " 1, 2155, '9999-12-31', '9999-12-31 23:59:59', '23:59:59', REPEAT('x', 100),"
    " 'abcdefghij', 'large', REPEAT('t', 255), REPEAT('é', 4001), REPEAT('€', 20000),"
    " UNHEX('00'), REPEAT(UNHEX('A5'), 4000), REPEAT(UNHEX('00FF10'), 349526));"
    "INSERT INTO kinds VALUES (4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0.0000000001, 0.01, 0, 3.25,"
    " 0.1, 0, 2000, '2024-02-29', '2024-02-29 12:34:56', '00:00:01',"
    " 'Zoë Łukasz 美咲 Ольга Γιώργος 🚚 O''Brien', 'Åsa', 'small',"
    " 'Qualität „made in Europe“ – ☺', REPEAT('ß', 4000), 'short',"
    " UNHEX('FF'), REPEAT(UNHEX('5A'), 4001), UNHEX('0000'));";

class values_conversion : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        source_ = std::make_unique<scratch_database>(*server_, "e2e_values");
        source_->session().exec(std::string(kinds_table) + ";" + kinds_rows);
        oracle_ = std::make_unique<oralite_schema>();
    }

    std::optional<test_support::mariadb_sandbox> server_;
    std::unique_ptr<scratch_database> source_;
    std::unique_ptr<oralite_schema> oracle_;
};

TEST_F(values_conversion, every_kind_arrives_unchanged) {
    const auto run =
        driver_test::run_agent(driver_test::agent_connection(*server_, source_->name(), *oracle_));
    EXPECT_EQ(run.out,
              "Converting database e2e_values(1 tables)\n"
              "Converting table kinds(4 records)\n");
    EXPECT_EQ(run.status, 0);
    const auto problems = e2e::compare_database(source_->session(), source_->name(), *oracle_, {});
    EXPECT_TRUE(problems.empty()) << e2e::joined(problems);
}

TEST_F(values_conversion, texts_with_tabs_and_line_breaks_arrive_unchanged) {
    source_->session().exec(
        "CREATE TABLE lines (id INT PRIMARY KEY, short_text VARCHAR(50), long_text TEXT);"
        "INSERT INTO lines VALUES (1, 'a\\tb\\nc\\r\\nd', CONCAT(REPEAT('line\\n', 1000), "
        "'end\\ttab'))");
    auto args = driver_test::agent_connection(*server_, source_->name(), *oracle_);
    const auto list = oracle_->folder() / "tables.txt";
    std::ofstream(list) << "lines\n";
    args.push_back("--tab_file=" + list.string());
    ASSERT_EQ(driver_test::run_agent(args).status, 0);
    // One value per query: everything after the header line is the value and its line end.
    const auto value = [&](const std::string& column) {
        const auto run = oracle_->sql({"SELECT \"" + column + "\" FROM \"lines\""});
        const size_t header = run.out.find('\n');
        return run.out.substr(header + 1, run.out.size() - header - 2);
    };
    EXPECT_EQ(value("short_text"), "a\tb\nc\r\nd");
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        expected += "line\n";
    }
    EXPECT_EQ(value("long_text"), expected + "end\ttab");
}

TEST(checker, expected_texts_follow_oracles_forms) {
    const struct {
        const char* type;
        driver_test::cell value;
        const char* text;
    } rows[] = {
        {"int", std::nullopt, ""},
        {"varchar", std::string(), ""},
        {"decimal", std::string("8.00"), "8"},
        {"decimal", std::string("-0.50"), "-0.5"},
        {"decimal", std::string("0.00"), "0"},
        {"decimal", std::string("120"), "120"},
        {"date", std::string("2024-02-29"), "2024-02-29 00:00:00"},
        {"datetime", std::string("2024-02-29 12:34:56"), "2024-02-29 12:34:56"},
        {"bit", std::string("\x01", 1), "1"},
        {"bit", std::string("\x00", 1), "0"},
        {"blob", std::string("\x00\xff", 2), "00FF"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(e2e::expected_text(row.type, row.value), row.text) << row.type;
    }
    EXPECT_TRUE(e2e::same_value("float", "0.1", "0.100000001"));
    EXPECT_FALSE(e2e::same_value("float", "0.1", "0.2"));
    EXPECT_TRUE(e2e::same_value("time", "00:00:01", "2024-05-01 00:00:01"));
    EXPECT_FALSE(e2e::same_value("decimal", "8", "8.01"));
}

}  // namespace
