// The conversion driver in-process, against the MariaDB sandbox and an embedded Oracle
// database: order of the entries, names, the three modes, the switches, record and table
// failures, custom queries and the progress fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"
#include "driver/driver_support.h"
#include "driver/oci_session.h"
#include "platform/codepage.h"

namespace {

using driver_test::oralite_schema;
using driver_test::scratch_database;

// Keeps what the error handler would show, instead of a console or a dialog.
class recording_presenter : public error_presenter {
  public:
    struct shown {
        std::string text;
        int level;
    };
    explicit recording_presenter(std::vector<shown>& out) : out_(out) {}
    void show_internal_error(const std::string& message) override {
        ADD_FAILURE() << "internal error: " << message;
    }
    void show_error(error_handler&, const std::string& text, int level, bool) override {
        out_.push_back({text, level});
    }

  private:
    std::vector<shown>& out_;
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

class driver_run : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::init_locale();
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        source_ = std::make_unique<scratch_database>(*server_, "drv_" + name.substr(0, 40));
        oracle_ = std::make_unique<oralite_schema>();
        log_ = std::make_unique<tk_trace_log>((oracle_->folder() / "trace.log").string(), true, 1,
                                              false);
        handler_ = std::make_unique<error_handler>(oracle_error_count, oracle_error_table,
                                                   std::make_unique<recording_presenter>(errors_));
        handler_->load_err_map(mysql_error_count, mysql_error_table);
        converter_ = std::make_unique<dorvex_convertor>();
        converter_->set_silent(true);
        converter_->rejects_folder = oracle_->folder().string();
        converter_->source_database = platform::utf8_to_wide(source_->name());
        converter_->store_oracle_settings(platform::utf8_to_wide(oracle_->path()),
                                          platform::utf8_to_wide(oracle_->user()),
                                          platform::utf8_to_wide(oracle_->password()));
        converter_->store_mysql_settings(server_->host, server_->user, server_->password,
                                         std::to_string(server_->port));
    }
    void TearDown() override {
        converter_.reset();
        handler_.reset();
        log_.reset();
    }

    // Connects both sides and runs one conversion.
    void convert() {
        converter_->connect_oracle_server();
        converter_->connect_mysql_server();
        (*converter_)();
        ASSERT_TRUE(converter_->is_finished());
    }
    std::vector<std::string> trace_lines() const {
        return lines_of(driver_test::read_text_file(oracle_->folder() / "trace.log"));
    }
    // The source names of the tables in the order the run converted them.
    std::vector<std::string> converted_order() const {
        std::vector<std::string> names;
        for (const std::string& line : trace_lines()) {
            if (line.rfind("Converting table ", 0) == 0) {
                names.push_back(line.substr(17, line.rfind(" (") - 17));
            }
        }
        return names;
    }
    bool traced(const std::string& line) const {
        const auto lines = trace_lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string count(const std::string& table) const {
        return oracle_->scalar("SELECT COUNT(*) FROM \"" + table + "\"");
    }
    std::vector<std::string> error_texts() const {
        std::vector<std::string> texts;
        for (const auto& e : errors_) {
            texts.push_back(e.text);
        }
        return texts;
    }

    std::optional<test_support::mariadb_sandbox> server_;
    std::unique_ptr<scratch_database> source_;
    std::unique_ptr<oralite_schema> oracle_;
    std::unique_ptr<tk_trace_log> log_;
    std::vector<recording_presenter::shown> errors_;
    std::unique_ptr<error_handler> handler_;
    std::unique_ptr<dorvex_convertor> converter_;
};

TEST_F(driver_run, every_table_in_code_unit_order_when_none_is_selected) {
    source_->session().exec(
        "CREATE TABLE b_tab (id INT PRIMARY KEY); CREATE TABLE A_tab (id INT PRIMARY KEY);"
        "CREATE TABLE a_tab (id INT PRIMARY KEY); INSERT INTO a_tab VALUES (1), (2);");
    convert();
    EXPECT_EQ(converted_order(), (std::vector<std::string>{"A_tab", "a_tab", "b_tab"}));
    EXPECT_TRUE(traced("Converting database " + source_->name() + " (3 tables)"));
    // Generated names must differ from one another also without regard to case.
    EXPECT_EQ(oracle_->tables(), (std::vector<std::string>{"A_tab", "a_tab00000", "b_tab"}));
    EXPECT_TRUE(traced("Store generated table name 'a_tab00000'"));
    EXPECT_EQ(count("a_tab00000"), "2");
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
    EXPECT_EQ(converter_->tables_done, 0) << "the counters return to 0 at the end";
    EXPECT_EQ(converter_->tables_total, 0);
}

TEST_F(driver_run, selection_order_does_not_matter) {
    source_->session().exec(
        "CREATE TABLE b_tab (id INT); CREATE TABLE A_tab (id INT); CREATE TABLE a_tab (id INT);"
        "CREATE TABLE other (id INT)");
    converter_->selected_tables = {L"b_tab", L"A_tab", L"a_tab"};
    convert();
    EXPECT_EQ(converted_order(), (std::vector<std::string>{"A_tab", "a_tab", "b_tab"}));
    EXPECT_EQ(oracle_->tables(), (std::vector<std::string>{"A_tab", "a_tab00000", "b_tab"}));
}

TEST_F(driver_run, uppercase_names_and_a_clash_gets_a_safe_name) {
    source_->session().exec(
        "CREATE TABLE orders (id INT, what VARCHAR(10)); INSERT INTO orders VALUES (1, 'lower');"
        "CREATE TABLE Orders (id INT, what VARCHAR(10)); INSERT INTO Orders VALUES (2, 'upper');");
    converter_->uppercase = true;
    convert();
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
    // "Orders" sorts before "orders" ("O" is U+004F), so it takes ORDERS.
    EXPECT_TRUE(traced("Store generated table name 'ORDERS'"));
    const auto tables = oracle_->tables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0], "ORDERS");
    EXPECT_EQ(tables[1].rfind("ORDERS", 0), 0u);
    EXPECT_NE(tables[1], "ORDERS");
    EXPECT_EQ(oracle_->scalar("SELECT WHAT FROM ORDERS"), "upper");
    EXPECT_EQ(oracle_->scalar("SELECT WHAT FROM \"" + tables[1] + "\""), "lower");
}

TEST_F(driver_run, overwrite_drops_and_creates_the_table_again_with_its_indexes) {
    source_->session().exec(
        "CREATE TABLE t (id INT PRIMARY KEY, code VARCHAR(5), UNIQUE KEY uq_code (code));"
        "INSERT INTO t VALUES (1, 'a'), (2, 'b')");
    oracle_->sql({"CREATE TABLE \"t\" (\"x\" NUMBER)", "INSERT INTO \"t\" VALUES (42)"});
    convert();
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
    EXPECT_EQ(count("t"), "2");
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 't'"), "2");
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE TABLE_NAME = 't' AND "
                              "CONSTRAINT_TYPE IN ('P', 'U')"),
              "2");
}

TEST_F(driver_run, overwrite_of_a_busy_table_is_reported_and_the_next_table_follows) {
    source_->session().exec(
        "CREATE TABLE busy (id INT); INSERT INTO busy VALUES (1);"
        "CREATE TABLE next_one (id INT); INSERT INTO next_one VALUES (1)");
    oracle_->sql({"CREATE TABLE \"busy\" (\"id\" NUMBER(11,0))", "INSERT INTO \"busy\" VALUES (7)",
                  "COMMIT"});
    // A second session holds the table's row for update while the driver runs.
    driver_test::oci_session holder;
    ASSERT_TRUE(holder.open(std::getenv("TARVOLIN_OCI_LIBRARY"), oracle_->path(), oracle_->user(),
                            oracle_->password()));
    ASSERT_TRUE(holder.run_query("SELECT * FROM \"busy\" FOR UPDATE"));
    convert();
    holder.close();
    ASSERT_FALSE(errors_.empty());
    EXPECT_EQ(errors_[0].text, "busy: Cannot delete table because it is busy with another process");
    EXPECT_EQ(errors_[0].level, 0);
    EXPECT_EQ(oracle_->scalar("SELECT \"id\" FROM \"busy\""), "7");
    // The next table follows. (The embedded target has one writer per database, so while the
    // other session's transaction is open it refuses that table as busy too; Oracle would
    // create it.)
    const bool next_created = oracle_->tables().size() == 2;
    EXPECT_TRUE(next_created ||
                (errors_.size() == 2 && errors_[1].text.rfind("next_one: ", 0) == 0))
        << error_texts().back();
}

TEST_F(driver_run, merge_appends_to_a_conforming_table_and_refuses_another_structure) {
    source_->session().exec(
        "CREATE TABLE same (id INT, name VARCHAR(20)); INSERT INTO same VALUES (1, 'x'), (2, 'y');"
        "CREATE TABLE differs (id INT, name VARCHAR(20)); INSERT INTO differs VALUES (1, 'x');"
        "CREATE TABLE fresh (id INT); INSERT INTO fresh VALUES (1)");
    oracle_->sql({"CREATE TABLE \"same\" (\"id\" NUMBER(11,0), \"name\" VARCHAR2(20))",
                  "INSERT INTO \"same\" VALUES (0, 'old')",
                  "CREATE TABLE \"differs\" (\"id\" NUMBER(11,0))", "COMMIT"});
    converter_->mode = mode_merge;
    convert();
    EXPECT_EQ(error_texts(),
              (std::vector<std::string>{"differs: The structure of data source does not conform "
                                        "to the destination table."}));
    EXPECT_EQ(count("same"), "3");
    EXPECT_EQ(count("differs"), "0");
    EXPECT_EQ(count("fresh"), "1");
}

TEST_F(driver_run, skip_leaves_an_existing_table_alone) {
    source_->session().exec(
        "CREATE TABLE kept (id INT); INSERT INTO kept VALUES (1), (2);"
        "CREATE TABLE made (id INT); INSERT INTO made VALUES (1)");
    oracle_->sql({"CREATE TABLE \"kept\" (\"other\" VARCHAR2(3))",
                  "INSERT INTO \"kept\" VALUES "
                  "('old')",
                  "COMMIT"});
    converter_->mode = mode_skip;
    convert();
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
    EXPECT_TRUE(traced("Skip existing table"));
    EXPECT_EQ(oracle_->scalar("SELECT \"other\" FROM \"kept\""), "old");
    EXPECT_EQ(count("kept"), "1");
    EXPECT_EQ(count("made"), "1");
    EXPECT_EQ(converted_order(), (std::vector<std::string>{"made"}));
}

TEST_F(driver_run, table_definitions_only_and_without_indexes) {
    source_->session().exec(
        "CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, code VARCHAR(5), KEY ix_code (code));"
        "INSERT INTO t (code) VALUES ('a'), ('b')");
    converter_->tab_def = true;
    convert();
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
    EXPECT_EQ(count("t"), "0");
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM USER_SEQUENCES"), "1");
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM USER_TRIGGERS"), "1");
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM USER_INDEXES WHERE TABLE_NAME = 't'"), "2");

    converter_->tab_def = false;
    converter_->skip_idx = true;
    convert();
    EXPECT_EQ(count("t"), "2");
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM USER_INDEXES WHERE TABLE_NAME = 't'"), "0");
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE TABLE_NAME = 't'"), "0");
}

TEST_F(driver_run, a_rejected_record_is_reported_and_the_following_records_are_copied) {
    source_->session().exec(
        "CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10));"
        "INSERT INTO t VALUES (1, 'one'), (2, 'two'), (3, 'three'), (4, 'four')");
    oracle_->sql({"CREATE TABLE \"t\" (\"id\" NUMBER(11,0) PRIMARY KEY, \"v\" VARCHAR2(10))",
                  "INSERT INTO \"t\" VALUES (2, 'taken')", "COMMIT"});
    converter_->mode = mode_merge;
    convert();
    EXPECT_EQ(error_texts(),
              (std::vector<std::string>{
                  "t, record #2: Duplicate field values being used for an unique index were "
                  "found. See 'Troubleshooting' article of the product documentation for "
                  "solution."}));
    EXPECT_EQ(count("t"), "4");
    EXPECT_EQ(oracle_->scalar("SELECT \"v\" FROM \"t\" WHERE \"id\" = 2"), "taken");
    EXPECT_EQ(oracle_->scalar("SELECT \"v\" FROM \"t\" WHERE \"id\" = 4"), "four");
}

TEST_F(driver_run, a_table_the_source_does_not_have_is_reported_and_the_run_goes_on) {
    source_->session().exec("CREATE TABLE real_one (id INT); INSERT INTO real_one VALUES (1)");
    converter_->selected_tables = {L"typo", L"real_one"};
    convert();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0].level, 0);
    EXPECT_EQ(errors_[0].text,
              "typo: Table 'typo' does not exist in the MySQL database '" + source_->name() + "'.");
    EXPECT_EQ(count("real_one"), "1");
}

TEST_F(driver_run, custom_query_fills_a_table_named_after_it_and_modes_apply) {
    source_->session().exec(
        "CREATE TABLE orders (id INT PRIMARY KEY, amount DECIMAL(8,2));"
        "INSERT INTO orders VALUES (1, 5.00), (2, 15.50), (3, 99.99)");
    converter_->selected_queries = {
        {L"big_orders", L"SELECT id, amount FROM orders WHERE amount > 10"}};
    convert();
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
    EXPECT_EQ(oracle_->tables(), (std::vector<std::string>{"big_orders"}))
        << "only the query is selected";
    const auto rows =
        oracle_->query("SELECT \"id\", \"amount\" FROM \"big_orders\" ORDER BY \"id\"").rows;
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"2", "15.5"}, {"3", "99.99"}}));

    convert();  // overwrite
    EXPECT_EQ(count("big_orders"), "2");
    converter_->mode = mode_merge;
    convert();
    EXPECT_EQ(count("big_orders"), "4");
    converter_->mode = mode_skip;
    convert();
    EXPECT_EQ(count("big_orders"), "4");
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
}

// The source fails in the middle of its records (the server raises an error at record 2500,
// in the middle of a page of 256 records, after batches were written and with others on their
// way): every record the server sent before it is written and counted, those of the page the
// error cut short included, the entry failed with the server's error, and the count is the
// truth.
TEST_F(driver_run, a_source_that_fails_midway_leaves_every_record_read_before_it_written) {
    source_->session().exec(
        "CREATE TABLE numbers (id INT PRIMARY KEY);"
        "INSERT INTO numbers SELECT seq FROM seq_1_to_3000");
    converter_->selected_queries = {
        {L"failing",
         L"SELECT id, IF(id = 2500, (SELECT 1 UNION SELECT 2), id) AS v FROM numbers "
         L"ORDER BY id"}};
    convert();
    const run_report& report = converter_->last_report();
    ASSERT_EQ(report.tables.size(), 1u);
    const table_report& entry = report.tables[0];
    EXPECT_EQ(entry.result, table_report::outcome::failed);
    EXPECT_EQ(entry.written, 2499);
    EXPECT_EQ(count("failing"), "2499");
    EXPECT_EQ(oracle_->scalar("SELECT MAX(\"id\") FROM \"failing\""), "2499");
    ASSERT_FALSE(errors_.empty());
    EXPECT_NE(errors_.back().text.find("Subquery returns more than 1 row"), std::string::npos)
        << errors_.back().text;
}

TEST_F(driver_run, source_statements_and_table_list_for_the_wizard) {
    source_->session().exec("CREATE TABLE t1 (id INT); CREATE TABLE t2 (id INT)");
    converter_->connect_mysql_server();
    EXPECT_TRUE(converter_->test_source_statement(L"SELECT id FROM t1"));
    EXPECT_FALSE(converter_->test_source_statement(L"SELECT nothing FROM t1"));
    EXPECT_FALSE(converter_->test_source_statement(L"SELEKT"));
    auto tables = converter_->get_all_tables();
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::wstring>{L"t1", L"t2"}));
}

TEST_F(driver_run, an_error_that_ends_the_run_stops_the_work) {
    converter_->source_database = L"no_such_database_here";
    convert();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0].level, 1);
    EXPECT_NE(errors_[0].text.find("no_such_database_here"), std::string::npos) << errors_[0].text;
}

// The wizard's window thread reads the progress while the worker converts.
TEST_F(driver_run, progress_can_be_read_from_another_thread) {
    source_->session().exec(
        "CREATE TABLE p1 (id INT, note VARCHAR(50)); CREATE TABLE p2 (id INT);"
        "INSERT INTO p1 SELECT seq, CONCAT('note ', seq) FROM seq_1_to_1500;"
        "INSERT INTO p2 SELECT seq FROM seq_1_to_300");
    converter_->connect_oracle_server();
    converter_->connect_mysql_server();
    std::atomic<bool> stop{false};
    std::set<std::wstring> seen_tables;
    int32_t highest_done = 0;
    bool consistent = true;
    std::thread reader([&] {
        while (!stop.load()) {
            const int32_t total = converter_->records_total;
            const int32_t tables_done = converter_->tables_done;
            const int32_t tables_total = converter_->tables_total;
            seen_tables.insert(converter_->current_table());
            highest_done = std::max<int32_t>(highest_done, converter_->records_done);
            consistent = consistent && total >= 0 && tables_done <= std::max(tables_total, 2);
        }
    });
    std::thread worker([&] { (*converter_)(); });
    worker.join();
    stop = true;
    reader.join();
    EXPECT_TRUE(converter_->is_finished());
    EXPECT_TRUE(consistent);
    EXPECT_TRUE(seen_tables.count(L"p1") == 1 || seen_tables.count(L"p2") == 1);
    EXPECT_LE(highest_done, 1500);
    EXPECT_EQ(count("p1"), "1500");
    EXPECT_EQ(count("p2"), "300");
}

// The wizard's Cancel asks the worker to stop; the run ends quietly before the next record and
// what was copied stays.
TEST_F(driver_run, a_stop_request_ends_the_run_quietly) {
    source_->session().exec(
        "CREATE TABLE a_long (id INT PRIMARY KEY, note TEXT);"
        "INSERT INTO a_long SELECT seq, CONCAT('note ', seq) FROM seq_1_to_5000;"
        "CREATE TABLE b_never (id INT)");
    converter_->connect_oracle_server();
    converter_->connect_mysql_server();
    std::thread worker([&] { (*converter_)(); });
    while (converter_->records_done < 10 && !converter_->is_finished()) {
        std::this_thread::yield();
    }
    converter_->request_stop();
    worker.join();
    converter_->clear_stop();
    EXPECT_TRUE(converter_->is_finished());
    EXPECT_TRUE(errors_.empty()) << error_texts().front();
    const int copied = std::atoi(count("a_long").c_str());
    EXPECT_GE(copied, 10);
    EXPECT_LT(copied, 5000);
    EXPECT_EQ(oracle_->tables(), (std::vector<std::string>{"a_long"}));
}

}  // namespace
