// A source database of boundary values for every MySQL type family, converted by DRXAGENT and
// compared with the strict checker: every value exact under the mapping, microseconds and all
// digits included, a FLOAT as the float MySQL stores. Where a value cannot arrive as it is, the
// run reports it (table, record, column) and goes on to the next table.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "e2e/checker.h"
#include "e2e/e2e_support.h"

namespace {

using driver_test::oralite_schema;
using driver_test::scratch_database;

// Tables in the order the agent converts them (code-unit order of their names).
const char boundary_tables[] =
    // Every decimal that fits NUMBER is exact; 65 digits are rounded to 38 and reported.
    "CREATE TABLE decimals (id INT PRIMARY KEY, d65 DECIMAL(65,30), d38 DECIMAL(38,0),"
    " d5 DECIMAL(5,2), u DECIMAL(10,2) UNSIGNED);"
    "INSERT INTO decimals VALUES"
    " (1, 99999999999999999999999999999999999.999999999999999999999999999999,"
    "  99999999999999999999999999999999999999, 999.99, 99999999.99),"
    " (2, -99999999999999999999999999999999999.999999999999999999999999999999,"
    "  -99999999999999999999999999999999999999, -999.99, 0),"
    " (3, 0.000000000000000000000000000001, 1, 0.01, 0.01),"
    " (4, 12345678901234567890123456789012345.000000000000000000000000000000, 0, 0, NULL),"
    " (5, NULL, NULL, NULL, NULL);"
    // FLOAT kept as the float MySQL stores; DOUBLE beyond NUMBER's range stored by rule.
    "CREATE TABLE floats (id INT PRIMARY KEY, f FLOAT, fu FLOAT UNSIGNED, d DOUBLE,"
    " dn DOUBLE NOT NULL DEFAULT 7.5);"
    "INSERT INTO floats VALUES"
    " (1, 1234567, 0.1, 0.30000000000000004, 1),"
    " (2, 3.4028234e38, 3.4028234e38, 1.7976931348623157e308, 1e200),"
    " (3, -3.4028234e38, 1.17549435e-38, -1e-320, -2.2250738585072014e-308),"
    " (4, 1e-45, 16777217, 1e126, -1e126),"
    " (5, 0.5, 0, 1.2345678901234567e-129, 9.9999999999999992e125),"
    " (6, NULL, NULL, NULL, 0);"
    // Integers at both ends of every width, bits and years.
    "CREATE TABLE integers (id INT PRIMARY KEY, i8 TINYINT, u8 TINYINT UNSIGNED, i16 SMALLINT,"
    " u16 SMALLINT UNSIGNED, i24 MEDIUMINT, u24 MEDIUMINT UNSIGNED, i32 INT, u32 INT UNSIGNED,"
    " i64 BIGINT, u64 BIGINT UNSIGNED, b1 BIT(1), b64 BIT(64), y YEAR);"
    "INSERT INTO integers VALUES"
    " (1, -128, 0, -32768, 0, -8388608, 0, -2147483648, 0, -9223372036854775808, 0, 0, 0, 1901),"
    " (2, 127, 255, 32767, 65535, 8388607, 16777215, 2147483647, 4294967295,"
    "  9223372036854775807, 18446744073709551615, 1, 18446744073709551615, 2155),"
    " (3, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, NULL, b'1', 0);"
    // Dates and timestamps at both ends, with 0, 3 and 6 fraction digits, and the dates of
    // MySQL's lenient modes.
    "CREATE TABLE moments (id INT PRIMARY KEY, d DATE, dt DATETIME, dt3 DATETIME(3),"
    " dt6 DATETIME(6), ts TIMESTAMP NULL, ts6 TIMESTAMP(6) NULL);"
    "INSERT INTO moments VALUES"
    " (1, '1000-01-01', '1000-01-01 00:00:00', '1000-01-01 00:00:00.000',"
    "  '1000-01-01 00:00:00.000001', '1970-01-02 00:00:00', '1970-01-02 00:00:00.000001'),"
    " (2, '9999-12-31', '9999-12-31 23:59:59', '9999-12-31 23:59:59.999',"
    "  '9999-12-31 23:59:59.999999', '2038-01-18 23:59:59', '2038-01-18 23:59:59.999999'),"
    " (3, '2024-02-29', '2024-12-31 23:59:59', '2024-12-31 23:59:59.600',"
    "  '2024-12-31 23:59:59.600000', NULL, NULL),"
    " (4, '0000-00-00', '0000-00-00 00:00:00', '2024-00-00 00:00:00.000',"
    "  '2024-05-00 10:00:00.000000', NULL, NULL),"
    " (5, '2024-00-15', '2024-05-00 10:00:00', NULL, NULL, NULL, NULL);"
    // Text in every plane, binary values with trailing zero bytes.
    "CREATE TABLE texts (id INT PRIMARY KEY, vc VARCHAR(20), ch CHAR(5), tx TEXT,"
    " bn BINARY(4), vb VARBINARY(8), bl BLOB, en ENUM('small','large'), st SET('a','b'));"
    "INSERT INTO texts VALUES"
    " (1, 'Zo\xC3\xAB \xF0\x9F\x9A\x9A \xE7\xBE\x8E', 'abc', 'O''Brien', 0x01000000,"
    "  0x00FF00, 0x000000, 'large', 'a,b'),"
    " (2, '', '', '', 0x00000000, X'', X'', 'small', ''),"
    " (3, REPEAT('x', 20), 'abcde', REPEAT('\xE2\x82\xAC', 5000), 0xFFFFFFFF, 0xFF,"
    "  REPEAT(0x00FF, 3000), NULL, NULL);"
    // TIME: a bad value in the middle of a table costs its record only.
    "CREATE TABLE times (id INT PRIMARY KEY, t TIME, t3 TIME(3), t6 TIME(6));"
    "INSERT INTO times VALUES"
    " (1, '00:00:00', '00:00:00.000', '00:00:00.000001'),"
    " (2, '23:59:59', '23:59:59.999', '23:59:59.999999'),"
    " (3, '838:59:59', '12:00:00.000', '12:00:00.000000'),"
    " (4, '-12:00:00', '-00:00:00.001', '-838:59:59.000000'),"
    " (5, '10:20:30', '10:20:30.400', '10:20:30.600000');"
    // Columns SELECT * does not show, and generated ones.
    "CREATE TABLE unseen (id INT PRIMARY KEY, hidden INT INVISIBLE, v INT,"
    " twice INT AS (v * 2) VIRTUAL, thrice INT AS (v * 3) STORED);"
    "INSERT INTO unseen (id, hidden, v) VALUES (1, 42, 5), (2, NULL, -1);";

class boundary_conversion : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        source_ = std::make_unique<scratch_database>(*server_, "e2e_boundary");
        source_->session().exec("SET SESSION sql_mode = ''");
        source_->session().exec(boundary_tables);
        oracle_ = std::make_unique<oralite_schema>();
    }

    // Runs the agent with the options before and after the connection options.
    test_support::process_result convert(std::vector<std::string> extra = {},
                                         std::vector<std::string> first = {}) {
        auto args = driver_test::agent_connection(*server_, source_->name(), *oracle_);
        args.insert(args.begin(), first.begin(), first.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return driver_test::run_agent(args);
    }

    // The console's reports of one table: "table, record #n: column "c", ..." lines.
    static std::vector<std::string> reports(const std::string& out, const std::string& table) {
        std::vector<std::string> lines;
        std::istringstream text(out);
        std::string line;
        while (std::getline(text, line)) {
            if (line.rfind(table + ", record #", 0) == 0) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    std::optional<test_support::mariadb_sandbox> server_;
    std::unique_ptr<scratch_database> source_;
    std::unique_ptr<oralite_schema> oracle_;
};

TEST_F(boundary_conversion, every_value_is_exact_or_stored_by_rule_and_reported) {
    const auto run = convert();
    // Every table is converted, the one with bad values included, and those after it.
    for (const char* table :
         {"decimals", "floats", "integers", "moments", "texts", "times", "unseen"}) {
        EXPECT_NE(run.out.find(std::string("Converting table ") + table + "("), std::string::npos)
            << table << "\n"
            << run.out;
    }
    const auto compared = e2e::compare_database(source_->session(), source_->name(), *oracle_, {});
    EXPECT_TRUE(compared.found.empty()) << e2e::joined(compared.found);

    // The rows the rules keep out are those with a TIME beyond a day: records 3 and 4.
    const std::map<std::string, std::set<std::string>> kept_out = {{"times", {"3", "4"}}};
    EXPECT_EQ(compared.rejected_rows, kept_out);
    const auto times = reports(run.out, "times");
    ASSERT_EQ(times.size(), 2u) << run.out;
    EXPECT_EQ(times[0].rfind("times, record #3: column \"t\", value 838:59:59: not stored", 0), 0u)
        << times[0];
    EXPECT_EQ(times[1].rfind("times, record #4: column \"t\", value -12:00:00: not stored", 0), 0u)
        << times[1];

    // Values stored altered by a rule are reported one by one, with their record and column.
    const std::vector<std::string> decimals = reports(run.out, "decimals");
    ASSERT_EQ(decimals.size(), 2u) << run.out;
    EXPECT_NE(decimals[0].find("decimals, record #1: column \"d65\""), std::string::npos);
    EXPECT_NE(decimals[1].find("decimals, record #2: column \"d65\""), std::string::npos);
    const std::vector<std::string> floats = reports(run.out, "floats");
    // Records 4 and 5 hold the doubles nearest 1e126 and -1e126: they still fit.
    const std::vector<std::pair<int, std::string>> altered = {
        {2, "d"}, {2, "dn"}, {3, "d"}, {3, "dn"}};
    ASSERT_EQ(floats.size(), altered.size()) << run.out;
    for (size_t k = 0; k < altered.size(); ++k) {
        EXPECT_EQ(floats[k].rfind("floats, record #" + std::to_string(altered[k].first) +
                                      ": column \"" + altered[k].second + "\"",
                                  0),
                  0u)
            << floats[k];
    }
    // Nothing else was reported: every other value arrived exactly.
    size_t errors = 0;
    for (size_t at = run.out.find("Error:\n"); at != std::string::npos;
         at = run.out.find("Error:\n", at + 1)) {
        ++errors;
    }
    EXPECT_EQ(errors, times.size() + decimals.size() + floats.size()) << run.out;
    // The rules that changed values, as the checker applied them.
    const std::string applied = e2e::joined(compared.rules_applied);
    for (const char* rule :
         {"the zero date is NULL", "a partial zero date is NULL", "the empty text is NULL",
          "more than 38 digits: rounded to 38", "beyond NUMBER's range: NULL",
          "beyond NUMBER's range: the column's "
          "default",
          "below NUMBER's range: 0", "the empty RAW is NULL"}) {
        EXPECT_NE(applied.find(rule), std::string::npos) << rule << "\n" << applied;
    }
}

TEST_F(boundary_conversion, time_columns_as_intervals_keep_the_whole_range) {
    const auto profile = oracle_->folder() / "intervals.drx";
    std::ofstream(profile) << "[MySQL settings]\nTIME as interval=1\n";
    const auto list = oracle_->folder() / "tables.txt";
    std::ofstream(list) << "times\n";
    const auto run = convert({"--tab_file=" + list.string()}, {"--profile=" + profile.string()});
    EXPECT_EQ(run.before_summary(),
              "Converting database e2e_boundary(1 tables)\nConverting table times(5 records)\n");
    e2e::checker_options intervals;
    intervals.time_as_interval = true;
    const auto compared =
        e2e::compare_rows(source_->session(), source_->name(), *oracle_, "times", intervals);
    EXPECT_TRUE(compared.found.empty()) << e2e::joined(compared.found);
    EXPECT_TRUE(compared.rejected_rows.empty());
    const auto structure =
        e2e::compare_structure(source_->session(), source_->name(), *oracle_, "times", intervals);
    EXPECT_TRUE(structure.empty()) << e2e::joined(structure);
}

// The applications that used the MySQL database keep working on the Oracle one: defaults they
// rely on exist, and keys continue after the copied ones, for views and huge counters too.
TEST_F(boundary_conversion, applications_can_insert_after_the_migration) {
    source_->session().exec(
        "CREATE TABLE events (id INT AUTO_INCREMENT PRIMARY KEY, at DATETIME NOT NULL DEFAULT"
        " CURRENT_TIMESTAMP, at6 DATETIME(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),"
        " note VARCHAR(20) NOT NULL DEFAULT '', n INT NOT NULL DEFAULT 3,"
        " code CHAR(36) DEFAULT (uuid()));"
        "INSERT INTO events (id, note) VALUES (1, 'first'), (40, 'last');"
        "CREATE VIEW recent AS SELECT id, note FROM events;"
        "CREATE TABLE huge (id BIGINT UNSIGNED AUTO_INCREMENT PRIMARY KEY, v INT)"
        " AUTO_INCREMENT=18446744073709551614;"
        "INSERT INTO huge (v) VALUES (1);");
    const auto list = oracle_->folder() / "tables.txt";
    std::ofstream(list) << "events\nrecent\nhuge\n";
    const auto run = convert({"--tab_file=" + list.string()});
    EXPECT_EQ(run.status, 0) << run.out;
    for (const char* table : {"events", "recent", "huge"}) {
        const auto structure =
            e2e::compare_structure(source_->session(), source_->name(), *oracle_, table, {});
        EXPECT_TRUE(structure.empty()) << e2e::joined(structure);
    }
    // An INSERT that names only what the application names.
    const auto inserted = oracle_->sql({"INSERT INTO \"events\" (\"id\") VALUES (41)", "COMMIT"});
    EXPECT_EQ(inserted.status, 0) << inserted.err;
    EXPECT_EQ(
        oracle_->scalar("SELECT COUNT(*) FROM \"events\" WHERE \"id\" = 41 AND \"at\" IS "
                        "NOT NULL AND \"at6\" IS NOT NULL AND \"note\" IS NULL AND \"n\" = 3"),
        "1");
    // The view's key continues after the largest key it showed, not at 1.
    for (const char* table : {"recent", "huge"}) {
        const auto keys =
            e2e::check_auto_increment(source_->session(), source_->name(), *oracle_, table, {});
        EXPECT_TRUE(keys.empty()) << e2e::joined(keys);
    }
    EXPECT_EQ(oracle_->scalar("SELECT TO_CHAR(MAX(\"id\")) FROM \"huge\""), "18446744073709551615");
}

// --blob2text turns large binary objects into text; BINARY and VARBINARY keys keep their bytes.
TEST_F(boundary_conversion, blob_to_text_leaves_binary_keys_alone) {
    source_->session().exec(
        "CREATE TABLE tokens (k VARBINARY(16) PRIMARY KEY, raw BINARY(4), body BLOB);"
        "INSERT INTO tokens VALUES (0xFF00FE, 0xC0FFEE00, 'h\xC3\xA9llo'), (0x80, 0x00, NULL);");
    const auto list = oracle_->folder() / "tables.txt";
    std::ofstream(list) << "tokens\n";
    const auto run = convert({"--blob2text", "--tab_file=" + list.string()});
    EXPECT_EQ(run.status, 0) << run.out;
    e2e::checker_options as_text;
    as_text.blob_as_text = true;
    const auto compared =
        e2e::compare_rows(source_->session(), source_->name(), *oracle_, "tokens", as_text);
    EXPECT_TRUE(compared.found.empty()) << e2e::joined(compared.found);
    const auto structure =
        e2e::compare_structure(source_->session(), source_->name(), *oracle_, "tokens", as_text);
    EXPECT_TRUE(structure.empty()) << e2e::joined(structure);
}

}  // namespace
