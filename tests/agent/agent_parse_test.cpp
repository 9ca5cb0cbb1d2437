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
