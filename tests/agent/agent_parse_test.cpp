// The agent's option parser in-process: which settings a command line leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_trace_log.h"
#include "agent/agent_command_line.h"
#include "agent/agent_converter.h"
#include "core/console_error_presenter.h"
#include "core/error_handler.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class parse_test : public ::testing::Test {
  protected:
    parse_test()
        : log_("", false, 3, false),
          handler_(oracle_error_count, oracle_error_table,
                   std::make_unique<console_error_presenter>()) {}

    // Parses "DRXAGENT <args>"; the result of parse_cmd_line.
    bool parse(std::vector<std::string> args) {
        args.insert(args.begin(), "DRXAGENT");
        std::vector<const char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(arg.c_str());
        }
        return parse_cmd_line(static_cast<int>(argv.size()), argv.data());
    }
    // Parses in a death test: the agent's end (agent_exit) becomes the child's exit status.
    void parse_to_the_end(std::vector<std::string> args) {
        try {
            parse(std::move(args));
        } catch (const agent_exit& e) {
            std::fflush(stderr);
            std::_Exit(e.status);
        }
        std::_Exit(0);
    }
    oracle_converter_impl& oracle() { return converter_; }
    mysql_converter_impl& mysql() { return converter_; }

    tk_trace_log log_;
    error_handler handler_;
    agent_converter converter_;
    test_support::temp_dir dir_;
};

TEST_F(parse_test, defaults_through_the_service_name) {
    ASSERT_TRUE(parse({"--src=shop", "--dest=ORCL"}));
    EXPECT_EQ(converter_.source_database, L"shop");
    EXPECT_TRUE(oracle().use_tns);
    EXPECT_EQ(oracle().service_name, L"ORCL");
    EXPECT_EQ(oracle().host, L"");
    EXPECT_EQ(oracle().port, L"") << "the three-value form leaves the port";
    EXPECT_EQ(oracle().user, L"");
    EXPECT_EQ(mysql().host, "");
    EXPECT_EQ(mysql().port, "3306");
    EXPECT_EQ(converter_.mode, 0);
    EXPECT_FALSE(converter_.blob2text || converter_.uppercase || converter_.skip_idx ||
                 converter_.tab_def);
    EXPECT_TRUE(converter_.selected_tables.empty());
    EXPECT_FALSE(converter_.silent());
    EXPECT_FALSE(log_.enabled());
}

TEST_F(parse_test, direct_connection_takes_host_and_port) {
    ASSERT_TRUE(parse({"--direct", "--dest=10.0.0.5", "--oraport=1522", "--src=shop",
                       "--oraclu=scott", "--oraclp=tiger"}));
    EXPECT_FALSE(oracle().use_tns);
    EXPECT_EQ(oracle().host, L"10.0.0.5");
    EXPECT_EQ(oracle().port, L"1522");
    EXPECT_EQ(oracle().user, L"scott");
    EXPECT_EQ(oracle().password, L"tiger");
    EXPECT_EQ(oracle().service_name, L"");
}

TEST_F(parse_test, direct_connection_defaults_to_port_1521) {
    ASSERT_TRUE(parse({"--src=shop", "--dest=db.example.com", "--direct"}));
    EXPECT_EQ(oracle().port, L"1521");
}

TEST_F(parse_test, switches_and_mysql_values) {
    ASSERT_TRUE(parse({"--src=caf\xc3\xa9", "--dest=X", "--blob2text", "--uppercase", "--skip_idx",
                       "--tab_defx", "--mode=2", "--mode=1", "--mysqlh= db1 ", "--mysqlu=root",
                       "--mysqlp=pw", "--myport=", "--silent"}));
    EXPECT_EQ(converter_.source_database, L"caf\u00e9");
    EXPECT_TRUE(converter_.blob2text);
    EXPECT_TRUE(converter_.uppercase);
    EXPECT_TRUE(converter_.skip_idx);
    EXPECT_TRUE(converter_.tab_def);
    EXPECT_EQ(converter_.mode, 1) << "a later --mode= replaces an earlier one";
    EXPECT_EQ(mysql().host, "db1");
    EXPECT_EQ(mysql().user, "root");
    EXPECT_EQ(mysql().password, "pw");
    EXPECT_EQ(mysql().port, "3306") << "an empty port is the default";
    EXPECT_TRUE(converter_.silent());
    EXPECT_TRUE(handler_.silent());
}

TEST_F(parse_test, unrecognised_arguments_ask_for_the_usage) {
    EXPECT_FALSE(parse({"--src=shop", "--dest=x", "--tab_file"}));
    EXPECT_FALSE(parse({"--src=shop", "-dest=x"}));
}

TEST_F(parse_test, logfile_switches_the_trace_log_on) {
    const fs::path path = dir_.path() / "agent.log";
    ASSERT_TRUE(parse({"--logfile=" + path.string(), "--src=shop", "--dest=x"}));
    EXPECT_TRUE(log_.enabled());
    EXPECT_EQ(log_.file_name(), path.string());
    EXPECT_EQ(converter_.log_file(), path.string());
}

TEST_F(parse_test, a_second_table_file_replaces_the_first) {
    const fs::path first = dir_.path() / "first.txt";
    const fs::path second = dir_.path() / "second.txt";
    std::ofstream(first) << "a\nb\n";
    std::ofstream(second) << "c\nc\n";
    ASSERT_TRUE(parse({"--tab_file=" + first.string(), "--src=shop", "--dest=x",
                       "--tab_file=" + second.string()}));
    EXPECT_EQ(converter_.selected_tables, (std::vector<std::wstring>{L"c", L"c"}));
}

// A profile of the production setup, saved by the wizard: the service name, an address for
// direct connections, no Oracle password, and two entries of which one is a custom query.
const char production_profile[] =
    "[Generic settings]\r\nsrc=shop\r\n\r\n"
    "[MySQL settings]\r\nhost=prod_db\r\nuser=prod_my\r\npassword=prod_mypw\r\nport=3311\r\n\r\n"
    "[Oracle settings]\r\nIP=10.0.0.9\r\nhost=PROD\r\nport=1600\r\nuse TNS=1\r\nuser=prod\r\n\r\n"
    "[Available Queries]\r\nspare=SELECT 2\r\n\r\n"
    "[Selected Tables]\r\nbig_orders=SELECT * FROM orders WHERE total > 50\r\ncustomers\r\n";

// The connection settings a command line leaves behind.
struct connection {
    bool use_tns;
    std::wstring service, host, port, user, password;
    std::string mysql_host, mysql_user, mysql_password, mysql_port;

    bool operator==(const connection&) const = default;
};

std::ostream& operator<<(std::ostream& out, const connection& c) {
    const auto narrow = [](const std::wstring& text) {
        return std::string(text.begin(), text.end());
    };
    return out << (c.use_tns ? "tns " : "direct ") << narrow(c.service) << " " << narrow(c.host)
               << ":" << narrow(c.port) << " " << narrow(c.user) << "/" << narrow(c.password)
               << " mysql " << c.mysql_host << ":" << c.mysql_port << " " << c.mysql_user << "/"
               << c.mysql_password;
}

class profile_parse_test : public parse_test {
  protected:
    void SetUp() override {
        profile_ = (dir_.path() / "prod.drx").string();
        std::ofstream(profile_, std::ios::binary) << production_profile;
    }
    connection settings() {
        oracle_converter_impl& o = oracle();
        mysql_converter_impl& m = mysql();
        return {o.use_tns,  o.service_name, o.host, o.port,     o.user,
                o.password, m.host,         m.user, m.password, m.port};
    }
    // A table-names file holding the text.
    std::string tab_file(const std::string& text) {
        const auto path = dir_.path() / ("tables" + std::to_string(++files_) + ".txt");
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::string profile_;
    int files_ = 0;
};

// Options act in command-line order: the profile replaces what it holds, connection values
// included, and the options after it override it.
TEST_F(profile_parse_test, options_after_the_profile_override_its_connection) {
    ASSERT_TRUE(parse({"--profile=" + profile_, "--dest=TEST", "--oraclu=tester", "--oraclp=pw",
                       "--mysqlh= test_db ", "--mysqlu=my", "--mysqlp=mypw", "--myport= 3312"}));
    EXPECT_EQ(settings(), (connection{true, L"TEST", L"10.0.0.9", L"1600", L"tester", L"pw",
                                      "test_db", "my", "mypw", "3312"}));
}

TEST_F(profile_parse_test, options_before_the_profile_give_way_to_what_it_holds) {
    ASSERT_TRUE(parse({"--dest=TEST", "--oraclu=tester", "--oraclp=secret", "--myport=3312",
                       "--src=other", "--profile=" + profile_}));
    // The profile holds no Oracle password: the one given before it stays.
    EXPECT_EQ(settings(), (connection{true, L"PROD", L"10.0.0.9", L"1600", L"prod", L"secret",
                                      "prod_db", "prod_my", "prod_mypw", "3311"}));
    EXPECT_EQ(converter_.source_database, L"shop");
}

TEST_F(profile_parse_test, direct_after_a_service_name_profile_uses_its_address) {
    ASSERT_TRUE(parse({"--profile=" + profile_, "--direct"}));
    EXPECT_EQ(settings(), (connection{false, L"PROD", L"10.0.0.9", L"1600", L"prod", L"", "prod_db",
                                      "prod_my", "prod_mypw", "3311"}));
}

TEST_F(profile_parse_test, direct_and_destination_after_the_profile_name_the_host) {
    ASSERT_TRUE(
        parse({"--profile=" + profile_, "--direct", "--dest= 10.0.0.5 ", "--oraport=1700"}));
    EXPECT_EQ(settings(), (connection{false, L"PROD", L"10.0.0.5", L"1700", L"prod", L"", "prod_db",
                                      "prod_my", "prod_mypw", "3311"}));
}

TEST_F(profile_parse_test, a_profile_that_cannot_be_read_leaves_the_options) {
    ASSERT_TRUE(parse(
        {"--src=shop", "--dest=TEST", "--profile=" + profile_ + ".absent", "--oraclu=tester"}));
    EXPECT_EQ(settings(),
              (connection{true, L"TEST", L"", L"", L"tester", L"", "", "", "", "3306"}));
}

// An empty destination would let the Oracle client log on to the machine's default database.
TEST_F(profile_parse_test, an_empty_destination_is_refused_even_with_a_profile) {
    const std::string no_service = "^You should enter Oracle service name\n$";
    EXPECT_EXIT(parse_to_the_end({"--profile=" + profile_, "--dest="}),
                ::testing::ExitedWithCode(255), no_service);
    EXPECT_EXIT(parse_to_the_end({"--profile=" + profile_, "--direct", "--dest="}),
                ::testing::ExitedWithCode(255), no_service);
    const auto bare = dir_.path() / "bare.drx";
    std::ofstream(bare, std::ios::binary) << "[Generic settings]\r\nsrc=shop\r\n";
    EXPECT_EXIT(parse_to_the_end({"--profile=" + bare.string()}), ::testing::ExitedWithCode(255),
                no_service);
}

TEST_F(profile_parse_test, a_table_file_after_the_profile_replaces_its_selection) {
    ASSERT_TRUE(parse({"--profile=" + profile_, "--tab_file=" + tab_file("notes\norders\n")}));
    EXPECT_EQ(converter_.selected_tables, (std::vector<std::wstring>{L"notes", L"orders"}));
    EXPECT_TRUE(converter_.selected_queries.empty()) << "the profile's query goes with it";
    EXPECT_EQ(converter_.unselected_queries.size(), 1u) << "queries kept aside stay";
}

TEST_F(profile_parse_test, a_query_named_in_the_table_file_stays_a_query) {
    ASSERT_TRUE(parse(
        {"--profile=" + profile_, "--tab_file=" + tab_file("big_orders\nnotes\ncustomers\n")}));
    EXPECT_EQ(converter_.selected_tables, (std::vector<std::wstring>{L"notes", L"customers"}));
    EXPECT_EQ(converter_.selected_queries,
              (udb_converter::query_map{{L"big_orders", L"SELECT * FROM orders WHERE total > 50"},
                                        {L"customers", L""}}));
}

TEST_F(profile_parse_test, a_profile_after_the_table_file_adds_its_selection) {
    ASSERT_TRUE(parse({"--tab_file=" + tab_file("notes\n"), "--profile=" + profile_}));
    EXPECT_EQ(converter_.selected_tables, (std::vector<std::wstring>{L"notes", L"customers"}));
    EXPECT_EQ(converter_.selected_queries.size(), 2u);
}

TEST(read_table_names, lines_encoding_and_limits) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string longest(254, 'n');
    const struct {
        const char* what;
        std::string file;
        std::vector<std::wstring> names;
        size_t long_line;
    } rows[] = {
        {"plain", "orders\ncustomers", {L"orders", L"customers"}, 0},
        {"crlf and empty lines", "\r\norders\r\n\r\n\ncustomers\r\n", {L"orders", L"customers"}, 0},
        {"blanks are a name", "a\n   \n b \n", {L"a", L"   ", L" b "}, 0},
        {"duplicates kept", "a\na\n", {L"a", L"a"}, 0},
        {"mark dropped, UTF-8",
         bom + "caf\xc3\xa9\nna\xc3\xafve\n",
         {L"caf\u00e9", L"na\u00efve"},
         0},
        {"mark after empty lines", "\n\r\n" + bom + "t\n", {L"t"}, 0},
        {"mark alone names nothing", bom + "\nt\n", {L"t"}, 0},
        {"mark only on the first line", bom + "a\n" + bom + "b\n", {L"a", L"\ufeffb"}, 0},
        {"254 bytes fit",
         longest + "\n" + bom.substr(0, 0) + "x",
         {std::wstring(254, L'n'), L"x"},
         0},
        {"the mark does not count", bom + longest, {std::wstring(254, L'n')}, 0},
        {"255 bytes are refused", "a\n\n" + longest + "n\nb\n", {L"a"}, 3},
        {"the line end does not count", longest + "\r\n", {std::wstring(254, L'n')}, 0},
        {"empty file", "", {}, 0},
    };
    for (const auto& row : rows) {
        std::istringstream in(row.file);
        const table_names got = read_table_names(in);
        EXPECT_EQ(got.names, row.names) << row.what;
        EXPECT_EQ(got.long_line, row.long_line) << row.what;
    }
}

}  // namespace
