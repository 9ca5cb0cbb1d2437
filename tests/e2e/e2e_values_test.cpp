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
    EXPECT_EQ(run.before_summary(),
              "Converting database e2e_values(1 tables)\n"
              "Converting table kinds(4 records)\n");
    EXPECT_EQ(run.status, 0);
    const auto problems =
        e2e::compare_database(source_->session(), source_->name(), *oracle_, {}).found;
    EXPECT_TRUE(problems.empty()) << e2e::joined(problems);
}

TEST_F(values_conversion, texts_with_tabs_and_line_breaks_arrive_unchanged) {
    source_->session().exec(
        "CREATE TABLE text_lines (id INT PRIMARY KEY, short_text VARCHAR(50), long_text TEXT);"
        "INSERT INTO text_lines VALUES (1, 'a\\tb\\nc\\r\\nd', CONCAT(REPEAT('line\\n', 1000), "
        "'end\\ttab'))");
    auto args = driver_test::agent_connection(*server_, source_->name(), *oracle_);
    const auto list = oracle_->folder() / "tables.txt";
    std::ofstream(list) << "text_lines\n";
    args.push_back("--tab_file=" + list.string());
    ASSERT_EQ(driver_test::run_agent(args).status, 0);
    // One value per query: everything after the header line is the value and its line end.
    const auto value = [&](const std::string& column) {
        const auto run = oracle_->sql({"SELECT \"" + column + "\" FROM \"text_lines\""});
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

// The checker's own rules: what Oracle must hold for a MySQL value, and the forms it accepts.
TEST(checker, expected_values_follow_the_mapping_rules) {
    const auto column = [](const char* type, int digits = 0) {
        e2e::source_column c;
        c.data_type = type;
        c.fraction_digits = digits;
        return c;
    };
    using kind = e2e::expectation::kind;
    const std::string month = e2e::current_month_start();
    const struct {
        e2e::source_column column;
        driver_test::cell value;
        kind what;
        bool has_rule;
        std::string oracle;  // what Oracle may print for it
        bool accepted;
    } rows[] = {
        {column("int"), std::nullopt, kind::text, false, "", true},
        {column("varchar"), std::string(), kind::text, true, "", true},
        {column("decimal"), std::string("8.00"), kind::text, false, "8", true},
        {column("decimal"), std::string("-0.50"), kind::text, false, "-0.5", true},
        {column("decimal"), std::string("8.00"), kind::text, false, "8.01", false},
        {column("decimal"),
         std::string("12345678901234567890123456789012345.123456789012345678901234567891"),
         kind::text, true, "12345678901234567890123456789012345.123", true},
        {column("bit"), std::string("\x01", 1), kind::text, false, "1", true},
        {column("blob"), std::string("\x00\xff", 2), kind::text, false, "00FF", true},
        {column("varbinary"), std::string(), kind::text, true, "", true},
        // A FLOAT as the float MySQL stores (read through DOUBLE), in its shortest decimal.
        {column("float"), std::string("0.10000000149011612"), kind::float32, false, "0.1", true},
        {column("float"), std::string("0.10000000149011612"), kind::float32, false, "0.100000001",
         false},
        {column("float"), std::string("1234567"), kind::float32, false, "1234567", true},
        {column("float"), std::string("1234567"), kind::float32, false, "1234570", false},
        {column("double"), std::string("0.30000000000000004"), kind::float64, false,
         "0.30000000000000004", true},
        {column("double"), std::string("0.30000000000000004"), kind::float64, false, "0.3", false},
        {column("double"), std::string("1e200"), kind::text, true, "", true},
        {column("double"), std::string("1e-320"), kind::text, true, "0", true},
        // Dates and times to the microsecond, whatever number of digits Oracle prints.
        {column("date"), std::string("2024-02-29"), kind::moment, false, "2024-02-29 00:00:00",
         true},
        {column("datetime", 6), std::string("9999-12-31 23:59:59.999999"), kind::moment, false,
         "9999-12-31 23:59:59.999999", true},
        {column("datetime", 6), std::string("9999-12-31 23:59:59.999999"), kind::moment, false,
         "9999-12-31 23:59:59", false},
        {column("datetime", 1), std::string("2024-12-31 23:59:59.6"), kind::moment, false,
         "2024-12-31 23:59:59.600", true},
        {column("datetime", 1), std::string("2024-12-31 23:59:59.6"), kind::moment, false,
         "2025-01-01 00:00:00", false},
        {column("date"), std::string("2024-00-00"), kind::text, true, "", true},
        {column("datetime"), std::string("0000-00-00 00:00:00"), kind::text, true, "", true},
        {column("time"), std::string("00:00:01"), kind::moment, true, month + " 00:00:01", true},
        {column("time"), std::string("838:59:59"), kind::rejected, true, "", false},
        {column("time"), std::string("-12:00:00"), kind::rejected, true, "", false},
    };
    for (const auto& row : rows) {
        const e2e::expectation e = e2e::expected_value(row.column, row.value, {});
        SCOPED_TRACE(row.column.data_type + " " + row.value.value_or("NULL"));
        EXPECT_EQ(e.what, row.what);
        EXPECT_EQ(!e.rule.empty(), row.has_rule) << e.rule;
        EXPECT_EQ(e2e::matches(e, row.oracle), row.accepted) << row.oracle;
    }
    // As intervals, every TIME is kept, compared to the microsecond.
    e2e::checker_options intervals;
    intervals.time_as_interval = true;
    const auto interval = [&](const char* mysql, const char* oracle) {
        return e2e::matches(e2e::expected_value(column("time", 6), std::string(mysql), intervals),
                            oracle);
    };
    EXPECT_TRUE(interval("838:59:59.000000", "+34 22:59:59.000000"));
    EXPECT_TRUE(interval("-12:00:00.500000", "-00 12:00:00.500000"));
    EXPECT_TRUE(interval("-838:59:59.000000", "-34 22:59:59"));
    EXPECT_FALSE(interval("-12:00:00.500000", "+00 12:00:00.500000"));
    EXPECT_FALSE(interval("00:00:00.000001", "+00 00:00:00.000000"));
    EXPECT_EQ(e2e::round_to_38_digits("99999999999999999999999999999999999999.9"),
              "100000000000000000000000000000000000000");
    EXPECT_EQ(e2e::round_to_38_digits("0.0000123456789012345678901234567890123456789"),
              "0.000012345678901234567890123456789012345679");
    EXPECT_EQ(e2e::round_to_38_digits("0.000012345678901234567890123456789012345678"),
              "0.000012345678901234567890123456789012345678");
}

}  // namespace
