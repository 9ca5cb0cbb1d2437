// DRXAGENT end to end: what it prints and how it ends for refused connections, --silent,
// --logfile=, table-names files, and a profile saved by the converter and loaded with
// --profile= with options after it overriding.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/dorvex_convertor.h"
#include "e2e/checker.h"
#include "e2e/e2e_support.h"
#include "platform/codepage.h"

namespace {

using driver_test::oralite_schema;
using driver_test::run_agent;
using driver_test::scratch_database;

class agent_run : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::init_locale();
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        source_ = std::make_unique<scratch_database>(*server_, "e2e_agent");
        source_->session().exec(
            "CREATE TABLE customers (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40) NOT "
            "NULL); INSERT INTO customers (name) VALUES ('Zoë'), ('Łukasz'), ('美咲');"
            "CREATE TABLE orders (id INT AUTO_INCREMENT PRIMARY KEY, customer_id INT NOT NULL,"
            " total DECIMAL(10,2)); INSERT INTO orders (customer_id, total) VALUES (1, 9.99),"
            " (2, 100.00), (1, NULL);"
            "CREATE TABLE notes (id INT PRIMARY KEY, body TEXT);"
            "INSERT INTO notes VALUES (1, 'first'), (2, NULL)");
        oracle_ = std::make_unique<oralite_schema>();
    }

    std::vector<std::string> connection() const {
        return driver_test::agent_connection(*server_, source_->name(), *oracle_);
    }
    // The connection options with one of them replaced.
    std::vector<std::string> connection_with(const std::string& option) const {
        auto args = connection();
        const std::string prefix = option.substr(0, option.find('=') + 1);
        for (auto& arg : args) {
            if (arg.rfind(prefix, 0) == 0) {
                arg = option;
            }
        }
        return args;
    }

    std::optional<test_support::mariadb_sandbox> server_;
    std::unique_ptr<scratch_database> source_;
    std::unique_ptr<oralite_schema> oracle_;
};

TEST_F(agent_run, a_wrong_oracle_password_is_reported_before_mysql_is_contacted) {
    auto args = connection_with("--oraclp=wrong");
    // Were MySQL contacted first, this port would give a connection error of its own.
    for (auto& arg : args) {
        if (arg.rfind("--myport=", 0) == 0) {
            arg = "--myport=1";
        }
    }
    const auto run = run_agent(args);
    EXPECT_EQ(run.out, "Error:\nInvalid user name or password.\n");
    EXPECT_EQ(run.err, "");
    // Nothing was converted: the agent does not report success.
    EXPECT_EQ(run.status, 255);
    EXPECT_TRUE(oracle_->tables().empty());
}

TEST_F(agent_run, a_mysql_port_without_digits_stops_with_status_255) {
    const auto run = run_agent(connection_with("--myport=0"));
    EXPECT_EQ(run.out, "Error:\nInvalid port number\n");
    EXPECT_EQ(run.status, 255);
}

TEST_F(agent_run, a_missing_source_database_ends_the_run_with_status_255) {
    const auto run = run_agent(connection_with("--src=no_such_db"));
    EXPECT_EQ(run.out.rfind("Error:\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("no_such_db"), std::string::npos) << run.out;
    EXPECT_EQ(run.status, 255);
}

TEST_F(agent_run, silent_prints_nothing_and_the_log_keeps_the_error) {
    const std::string log = (oracle_->folder() / "silent.log").string();
    auto args = connection();
    args.push_back("--silent");
    const auto good = run_agent(args);
    EXPECT_EQ(good.out, "");
    EXPECT_EQ(good.err, "");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(oracle_->tables(), (std::vector<std::string>{"customers", "notes", "orders"}));

    args = connection_with("--oraclp=wrong");
    args.push_back("--silent");
    args.push_back("--logfile=" + log);
    const auto refused = run_agent(args);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "");
    EXPECT_EQ(refused.status, 255);
    EXPECT_NE(driver_test::read_text_file(log).find("Error:\nInvalid user name or password.\r\n"),
              std::string::npos);
}

TEST_F(agent_run, table_names_file_and_modes_across_runs) {
    const auto list = oracle_->folder() / "tables.txt";
    std::ofstream(list, std::ios::binary) << "orders\r\n\r\ncustomers\r\n";
    auto args = connection();
    args.push_back("--tab_file=" + list.string());
    const auto first = run_agent(args);
    EXPECT_EQ(first.before_summary(),
              "Converting database e2e_agent(2 tables)\nConverting table customers(3 records)\n"
              "Converting table orders(3 records)\n");
    EXPECT_EQ(first.status, 0);

    // Merging the same rows again: the keys refuse every record, each one is reported, saved
    // in the rejects file, and the run goes on to its end: errors reported, status 1.
    const auto log = oracle_->folder() / "merge.log";
    args.push_back("--logfile=" + log.string());
    args.push_back("--mode=1");
    const auto merged = run_agent(args);
    EXPECT_EQ(merged.status, 1);
    EXPECT_NE(merged.out.find("Error:\norders, record #3: Duplicate field values being used for "
                              "an unique index were found. See 'Troubleshooting' article of the "
                              "product documentation for solution.\n"),
              std::string::npos)
        << merged.out;
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM \"orders\""), "3");
    // The rejects file lies beside the log.
    const auto rejects = oracle_->folder() / "e2e_agent.rejects.sql";
    ASSERT_TRUE(std::filesystem::exists(rejects)) << merged.out;
    EXPECT_NE(merged.out.find("The rejected records were saved in " + rejects.string() + "\n"),
              std::string::npos)
        << merged.out;
    EXPECT_NE(merged.summary_line("orders").find("3            0          3"), std::string::npos)
        << merged.summary_line("orders");
    // Replayed into empty copies of the MySQL tables, the file gives back exactly the rows.
    auto& mysql = source_->session();
    mysql.exec(
        "CREATE DATABASE e2e_agent_replay; CREATE TABLE e2e_agent_replay.orders LIKE "
        "orders; CREATE TABLE e2e_agent_replay.customers LIKE customers");
    const std::string replay = driver_test::read_text_file(rejects);
    std::filesystem::remove(rejects);
    mysql.exec("USE e2e_agent_replay; " + replay);
    mysql.exec("USE e2e_agent");
    for (const char* table : {"orders", "customers"}) {
        const std::string columns = "SELECT * FROM " + std::string(table) + " ORDER BY 1";
        EXPECT_EQ(
            mysql.query("SELECT * FROM e2e_agent_replay." + std::string(table) + " ORDER BY 1")
                .rows,
            mysql.query(columns).rows)
            << table;
    }
    mysql.exec("DROP DATABASE e2e_agent_replay");

    args.back() = "--mode=2";
    source_->session().exec("INSERT INTO orders (customer_id, total) VALUES (3, 0.01)");
    const auto skipped = run_agent(args);
    EXPECT_EQ(skipped.before_summary(), "Converting database e2e_agent(2 tables)\n");
    EXPECT_NE(skipped.summary_line("orders").find("skipped"), std::string::npos) << skipped.out;
    EXPECT_EQ(skipped.status, 0);
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM \"orders\""), "3");

    args.back() = "--mode=0";
    EXPECT_EQ(run_agent(args).status, 0);
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM \"orders\""), "4");
    const auto problems =
        e2e::compare_rows(source_->session(), source_->name(), *oracle_, "orders", {}).found;
    EXPECT_TRUE(problems.empty()) << e2e::joined(problems);
}

TEST_F(agent_run, a_saved_profile_drives_the_agent_and_later_options_override_it) {
    const auto profile = oracle_->folder() / "setup.drx";
    {
        dorvex_convertor converter;
        converter.source_database = platform::utf8_to_wide(source_->name());
        converter.store_oracle_settings(platform::utf8_to_wide(oracle_->path()),
                                        platform::utf8_to_wide(oracle_->user()),
                                        platform::utf8_to_wide(oracle_->password()));
        converter.store_mysql_settings(server_->host, server_->user, server_->password,
                                       std::to_string(server_->port));
        converter.selected_tables = {L"customers"};
        converter.selected_queries = {{L"customers", L""},
                                      {L"big_orders", L"SELECT * FROM orders WHERE total > 50"}};
        ASSERT_TRUE(converter.save_profile(platform::ansi_to_wide(profile.string())));
    }
    // --src= before the profile is overridden by it; --uppercase after it stays; the
    // connection options are the profile's.
    const auto run = run_agent(
        {"--src=other", "--dest=ignored", "--profile=" + profile.string(), "--uppercase"});
    EXPECT_EQ(run.before_summary(),
              "Converting database e2e_agent(2 tables)\nConverting table big_orders(1 records)\n"
              "Converting table customers(3 records)\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(oracle_->tables(), (std::vector<std::string>{"BIG_ORDERS", "CUSTOMERS"}));
    EXPECT_EQ(oracle_->query("SELECT ID, CUSTOMER_ID, TOTAL FROM BIG_ORDERS").rows,
              (std::vector<std::vector<std::string>>{{"2", "2", "100"}}));
    e2e::checker_options upper;
    upper.uppercase = true;
    const auto problems =
        e2e::compare_rows(source_->session(), source_->name(), *oracle_, "customers", upper).found;
    EXPECT_TRUE(problems.empty()) << e2e::joined(problems);

    const auto missing =
        run_agent({"--src=x", "--profile=" + (oracle_->folder() / "absent.drx").string()});
    EXPECT_EQ(missing.err, "You should enter Oracle service name\n");
    EXPECT_EQ(missing.status, 255);
}

}  // namespace
