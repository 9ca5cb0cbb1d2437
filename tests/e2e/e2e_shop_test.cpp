// The sample shop converted by DRXAGENT into an embedded Oracle database, then compared with
// its source: console output, trace log, every value, the structure, and working
// auto-increment keys.
#include <gtest/gtest.h>

#include <sstream>

#include "e2e/checker.h"
#include "e2e/e2e_support.h"

namespace {

using driver_test::mysql_session;
using driver_test::oralite_schema;

const char shop[] = "e2e_shop";

class shop_conversion : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            return;
        }
        mysql_ = new mysql_session(*server_);
        e2e::load_shop(*mysql_, shop);
        oracle_ = new oralite_schema("SHOP", "shop");
        log_ = (oracle_->folder() / "DRXAGENT.log").string();
        auto args = driver_test::agent_connection(*server_, shop, *oracle_);
        args.push_back("--logfile=" + log_);
        run_ = new test_support::process_result(driver_test::run_agent(args));
    }
    static void TearDownTestSuite() {
        if (mysql_ != nullptr) {
            mysql_->exec(std::string("DROP DATABASE IF EXISTS ") + shop);
        }
        delete run_;
        delete oracle_;
        delete mysql_;
    }
    void SetUp() override {
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
    }

    static inline std::optional<test_support::mariadb_sandbox> server_;
    static inline mysql_session* mysql_ = nullptr;
    static inline oralite_schema* oracle_ = nullptr;
    static inline std::string log_;
    static inline test_support::process_result* run_ = nullptr;
};

TEST_F(shop_conversion, prints_one_line_per_database_and_table_and_ends_with_status_0) {
    const auto counts = e2e::table_counts(*mysql_, shop);
    ASSERT_EQ(counts.size(), 12u);
    EXPECT_EQ(run_->before_summary(), e2e::console_lines(shop, counts));
    EXPECT_EQ(run_->err, "");
    EXPECT_EQ(run_->status, 0);
}

// The summary's figures are the tables' own: every record read was written, none rejected.
TEST_F(shop_conversion, the_summary_counts_every_table) {
    long long total = 0;
    for (const auto& [table, count] : e2e::table_counts(*mysql_, shop)) {
        const std::string line = run_->summary_line(table);
        std::istringstream figures(line.substr(table.size()));
        long long read = -1, written = -1, rejected = -1, altered = -1;
        figures >> read >> written >> rejected >> altered;
        EXPECT_EQ(read, std::stoll(count)) << line;
        EXPECT_EQ(written, read) << line;
        EXPECT_EQ(rejected, 0) << line;
        EXPECT_EQ(altered, 0) << line;
        total += read;
    }
    std::istringstream totals(run_->summary_line("total").substr(5));
    long long read = -1, written = -1;
    totals >> read >> written;
    EXPECT_EQ(read, total);
    EXPECT_EQ(written, total);
    EXPECT_EQ(run_->out.find("rejected records were saved"), std::string::npos);
}

TEST_F(shop_conversion, trace_log_holds_the_start_end_and_progress_lines) {
    const std::string log = driver_test::read_text_file(log_);
    const size_t start = log.find("Conversion started on ");
    const size_t end = log.rfind("Conversion ended on ");
    ASSERT_NE(start, std::string::npos) << log.substr(0, 300);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(start, log.find("Converting database e2e_shop (12 tables)\r\n"));
    EXPECT_LT(log.find("Converting table products (60 records)\r\n"), end);
    // The summary comes before the end line, which carries its own line feed before the
    // log's line end; only the agent's exit status follows it.
    EXPECT_LT(log.find("Summary:\r\n"), end);
    EXPECT_LT(log.find("total "), end);
    const size_t end_of_line = log.find("\n\r\n", end);
    EXPECT_EQ(log.substr(end_of_line + 3), "DRXAGENT ended with exit status 0\r\n");
    EXPECT_EQ(log.find("dorvex_convertor::"), std::string::npos) << "only level-3 lines";
}

TEST_F(shop_conversion, every_table_has_the_source_rows) {
    for (const auto& [table, count] : e2e::table_counts(*mysql_, shop)) {
        EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM \"" + table + "\""), count) << table;
    }
}

TEST_F(shop_conversion, every_value_matches_its_source) {
    const auto problems = e2e::compare_database(*mysql_, shop, *oracle_, {}).found;
    EXPECT_TRUE(problems.empty()) << e2e::joined(problems);
}

// Runs last: it inserts rows.
TEST_F(shop_conversion, zz_auto_increment_keys_continue_after_the_copied_ones) {
    for (const auto& [table, count] : e2e::table_counts(*mysql_, shop)) {
        const auto problems = e2e::check_auto_increment(*mysql_, shop, *oracle_, table, {});
        EXPECT_TRUE(problems.empty()) << e2e::joined(problems);
    }
}

}  // namespace
