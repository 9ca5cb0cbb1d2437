// DRXAGENT against the MariaDB sandbox and embedded Oracle databases: command lines that would
// do damage by accident are refused before anything connects, options after a profile
// override it, and profiles written by hand load.
#include <gtest/gtest.h>

#include "agent/comma_locale.h"
#include "driver/driver_support.h"

namespace {

using driver_test::oralite_schema;
using driver_test::run_agent;
using driver_test::scratch_database;

class agent_guard : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        source_ = std::make_unique<scratch_database>(*server_, "agent_guard");
        source_->session().exec(
            "CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(40));"
            "INSERT INTO customers VALUES (1, 'Zoe'), (2, 'Lukasz'), (3, 'Misaki');"
            "CREATE TABLE orders (id INT PRIMARY KEY, total DECIMAL(10,2));"
            "INSERT INTO orders VALUES (1, 9.99), (2, 100.00), (3, NULL);"
            "CREATE TABLE notes (id INT PRIMARY KEY, body TEXT);"
            "INSERT INTO notes VALUES (1, 'first'), (2, NULL)");
        production_ = std::make_unique<oralite_schema>();
    }

    // The options that convert the source into an Oracle database.
    std::vector<std::string> connection(const oralite_schema& oracle) const {
        return driver_test::agent_connection(*server_, source_->name(), oracle);
    }
    std::vector<std::string> with(std::vector<std::string> args,
                                  const std::vector<std::string>& more) const {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    // Converts every table into the database and adds a row to its orders that only the
    // Oracle side holds: a run that touches the table loses it.
    void fill(const oralite_schema& oracle) const {
        ASSERT_EQ(run_agent(connection(oracle)).status, 0);
        const auto added = oracle.sql({"INSERT INTO \"orders\" (\"id\") VALUES (99)"});
        ASSERT_EQ(added.status, 0) << added.err;
    }
    static std::string orders_count(const oralite_schema& oracle) {
        return oracle.scalar("SELECT COUNT(*) FROM \"orders\"");
    }

    // A profile as a user writes one by hand for the production database.
    std::string profile(const std::string& selected_tables,
                        const std::string& mysql_port_line = std::string()) const {
        const auto path = production_->folder() / ("p" + std::to_string(++profiles_) + ".drx");
        std::ofstream(path, std::ios::binary)
            << "[Generic settings]\r\nsrc=" << source_->name() << "\r\n\r\n"
            << "[MySQL settings]\r\nhost=" << server_->host << "\r\n"
            << (mysql_port_line.empty() ? "port=" + std::to_string(server_->port) : mysql_port_line)
            << "\r\nuser=" << server_->user << "\r\npassword=" << server_->password << "\r\n\r\n"
            << "[Oracle settings]\r\nhost=" << production_->path()
            << "\r\nuser=" << production_->user() << "\r\npassword=" << production_->password()
            << "\r\nuse TNS=1\r\n\r\n"
            << "[Selected Tables]\r\n"
            << selected_tables;
        return path.string();
    }
    std::string table_file(const std::string& text) const {
        const auto path = production_->folder() / ("t" + std::to_string(++profiles_) + ".txt");
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::optional<test_support::mariadb_sandbox> server_;
    std::unique_ptr<scratch_database> source_;
    std::unique_ptr<oralite_schema> production_;
    mutable int profiles_ = 0;
};

TEST_F(agent_guard, refused_command_lines_leave_the_oracle_tables_untouched) {
    fill(*production_);
    const auto usage = run_agent({"--help"}).err;
    const std::string empty_file =
        "Table names file holds no table names.\nPlease verify the correct path/name was given.\n";
    const struct {
        std::vector<std::string> extra;
        std::string err;
    } rows[] = {
        {{"--tab_file=" + table_file("")}, empty_file},
        {{"--tab_file=" + table_file("\r\n\r\n")}, empty_file},
        {{"--tab_file=" + table_file("\xEF\xBB\xBF\r\n")}, empty_file},
        {{"--tab_def=0"}, usage},
        {{"--uppercase=no"}, usage},
        {{"--skip_idx=false"}, usage},
        {{"--blob2text=1"}, usage},
        {{"--silent=yes"}, usage},
    };
    for (const auto& row : rows) {
        const auto run = run_agent(with(connection(*production_), row.extra));
        EXPECT_EQ(run.status, 255) << row.extra[0];
        EXPECT_EQ(run.err, row.err) << row.extra[0];
        EXPECT_EQ(run.out, "") << row.extra[0] << ": nothing connected, nothing converted";
        EXPECT_EQ(orders_count(*production_), "4") << row.extra[0];
    }
    EXPECT_EQ(production_->tables(), (std::vector<std::string>{"customers", "notes", "orders"}));
}

TEST_F(agent_guard, a_destination_after_the_profile_converts_into_the_named_schema) {
    fill(*production_);
    const oralite_schema test_schema("TESTER", "tpw");
    const std::string setup = "--profile=" + profile("customers\r\n");
    const auto run = run_agent(
        {setup, "--dest=" + test_schema.path(), "--oraclu=TESTER", "--oraclp=tpw", "--uppercase"});
    EXPECT_EQ(run.before_summary(),
              "Converting database agent_guard(1 tables)\nConverting table customers(3 records)\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(test_schema.tables(), (std::vector<std::string>{"CUSTOMERS"}));
    EXPECT_EQ(orders_count(*production_), "4") << "the profile's database is not touched";

    // A MySQL option after the profile overrides it too: this port refuses the connection.
    const auto refused = run_agent(
        {setup, "--dest=" + test_schema.path(), "--oraclu=TESTER", "--oraclp=tpw", "--myport=1"});
    EXPECT_EQ(refused.out.rfind("Error:\n", 0), 0u) << refused.out;
    EXPECT_EQ(refused.status, 255);

    // Before the profile, the destination gives way to the profile's.
    ASSERT_EQ(production_->sql({"INSERT INTO \"customers\" (\"id\") VALUES (99)"}).status, 0);
    const auto replaced = run_agent({"--dest=" + test_schema.path(), setup});
    EXPECT_EQ(replaced.status, 0) << replaced.out;
    EXPECT_EQ(production_->scalar("SELECT COUNT(*) FROM \"customers\""), "3");
    EXPECT_EQ(test_schema.tables(), (std::vector<std::string>{"CUSTOMERS"}));
}

TEST_F(agent_guard, a_table_file_after_the_profile_converts_exactly_its_tables) {
    const std::string setup =
        "--profile=" + profile("big_orders=SELECT * FROM orders WHERE total > 50\r\ncustomers\r\n");
    const auto notes = run_agent({setup, "--tab_file=" + table_file("notes\n")});
    EXPECT_EQ(notes.before_summary(),
              "Converting database agent_guard(1 tables)\nConverting table notes(2 records)\n");
    EXPECT_EQ(notes.status, 0);
    EXPECT_EQ(production_->tables(), (std::vector<std::string>{"notes"}));

    // A query named in the file is converted as that query.
    const auto named = run_agent({setup, "--tab_file=" + table_file("orders\r\nbig_orders\r\n")});
    EXPECT_EQ(named.before_summary(),
              "Converting database agent_guard(2 tables)\nConverting table big_orders(1 records)\n"
              "Converting table orders(3 records)\n");
    EXPECT_EQ(production_->scalar("SELECT COUNT(*) FROM \"big_orders\""), "1");
}

TEST_F(agent_guard, a_profile_line_too_long_names_the_file_and_the_line) {
    fill(*production_);
    const auto path = production_->folder() / "long.drx";
    std::ofstream(path, std::ios::binary)
        << "[Selected Tables]\r\ncustomers\r\nq=SELECT " << std::string(4095 - 9, '1') << "\r\n";
    const auto run = run_agent({"--profile=" + path.string(), "--src=" + source_->name()});
    EXPECT_EQ(run.out, "Error:\nProfile file '" + path.string() +
                           "' has a line longer than 4094 bytes (line 3).\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(orders_count(*production_), "4");
}

// What an editor leaves: a byte-order mark first, blanks around the values of host and port.
TEST_F(agent_guard, a_profile_with_a_byte_order_mark_and_blanks_around_the_port_loads) {
    const auto path = production_->folder() / "edited.drx";
    const std::string written = driver_test::read_text_file(profile("notes\r\n"));
    std::string edited = "\xEF\xBB\xBF" + written;
    const std::string port = "port=" + std::to_string(server_->port);
    edited.replace(edited.find(port), port.size(), "port= " + std::to_string(server_->port) + " ");
    const std::string host = "host=" + server_->host;
    edited.replace(edited.find(host), host.size(), "host =  " + server_->host);
    std::ofstream(path, std::ios::binary) << edited;
    const auto run = run_agent({"--profile=" + path.string()});
    EXPECT_EQ(run.before_summary(),
              "Converting database agent_guard(1 tables)\nConverting table notes(2 records)\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(production_->tables(), (std::vector<std::string>{"notes"}));
}

// Numbers in MySQL defaults and values are written with a decimal point whatever the locale;
// a locale with a decimal comma must not change what arrives. The defaults are the server's
// texts (12.50, and 2.5000000000000000e-01 for the DOUBLE), kept as written.
TEST_F(agent_guard, a_decimal_comma_locale_changes_no_default_and_no_value) {
    const agent_test::comma_locale comma;
    if (!comma.ready()) {
        GTEST_SKIP() << "localedef cannot build a locale on this machine";
    }
    source_->session().exec(
        "CREATE TABLE prices (id INT PRIMARY KEY, price DECIMAL(6,2) NOT NULL DEFAULT 12.5,"
        " ratio DOUBLE DEFAULT 0.25);"
        "INSERT INTO prices VALUES (1, 3.75, 1.5), (2, 1234.5, -0.125)");
    auto args = with(connection(*production_), {"--tab_file=" + table_file("prices\n")});
    {
        auto environment = agent_test::no_locale_variables();
        environment["LOCPATH"] = comma.folder();
        environment["LANG"] = "C.UTF-8";
        environment["LC_NUMERIC"] = agent_test::comma_locale::name;
        const agent_test::scoped_environment scope(environment);
        const auto run = run_agent(args);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
    }
    EXPECT_EQ(
        production_->query("SELECT \"id\", \"price\", \"ratio\" FROM \"prices\" ORDER BY 1").rows,
        (std::vector<std::vector<std::string>>{{"1", "3.75", "1.5"}, {"2", "1234.5", "-0.125"}}));
    EXPECT_EQ(production_
                  ->query("SELECT COLUMN_NAME, DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE "
                          "TABLE_NAME = 'prices' AND COLUMN_NAME <> 'id' ORDER BY 1")
                  .rows,
              // A DOUBLE's default is written in its shortest exact form.
              (std::vector<std::vector<std::string>>{{"price", "12.50 "}, {"ratio", "0.25"}}));
}

}  // namespace
