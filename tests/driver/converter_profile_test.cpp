// The converter's profile operations: what a profile file sets, with the two truth readings,
// and what storing writes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/dorvex_convertor.h"
#include "platform/codepage.h"
#include "test_support/config_home.h"
#include "test_support/temp_dir.h"

namespace {

using queries = udb_converter::query_map;

std::string read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

std::wstring wide(const std::filesystem::path& path) {
    return platform::ansi_to_wide(path.string());
}

class converter_profile : public ::testing::Test {
  protected:
    void SetUp() override { platform::init_locale(); }

    // Loads the text as a profile file into the converter.
    bool load(const std::string& text) {
        const auto path = dir_.path() / "in.drx";
        std::ofstream(path, std::ios::binary) << text;
        return converter_.load_profile(path.string());
    }
    // Stores the converter into a file and returns its bytes.
    std::string store() {
        const auto path = dir_.path() / "out.drx";
        EXPECT_TRUE(converter_.save_profile(wide(path)));
        return read_bytes(path);
    }

    test_support::temp_dir dir_;
    dorvex_convertor converter_;
};

TEST_F(converter_profile, agent_starts_with_its_defaults) {
    EXPECT_EQ(converter_.mode, 0);
    EXPECT_FALSE(converter_.uppercase);
    EXPECT_FALSE(converter_.blob2text);
    EXPECT_FALSE(converter_.skip_idx);
    EXPECT_FALSE(converter_.tab_def);
    EXPECT_TRUE(converter_.use_tns);
    EXPECT_EQ(converter_.mysql_converter_impl::port, "3306");
}

TEST_F(converter_profile, every_key_reaches_its_setting) {
    ASSERT_TRUE(
        load("[Generic settings]\r\nsrc=shop\r\ndest=target\r\nmode=3\r\nonly definitions=1\r\n"
             "skip indexes=1\r\n\r\n"
             "[Oracle settings]\r\nIP=10.0.0.5\r\nhost=ORCL\r\nuser=scott\r\npassword=ti=ger\r\n"
             "port=1522\r\nuse TNS=0\r\nuppercase=1\r\n\r\n"
             "[MySQL settings]\r\nhost=db1\r\nuser=root\r\npassword=s3cret\r\nport=3307\r\n"
             "BLOB to text=1\r\ndump line break=1\r\ndump new version=0\r\n"
             "dump add lock to insert=0\r\ndump insert comments=0\r\ndump create database=1\r\n"
             "dump create table=0\r\n"));
    EXPECT_EQ(converter_.source_database, L"shop");
    EXPECT_EQ(converter_.destination_name, L"target");
    EXPECT_EQ(converter_.generic_mode, 3);
    EXPECT_EQ(converter_.mode, 0) << "the table mode is not part of a profile";
    EXPECT_TRUE(converter_.tab_def);
    EXPECT_TRUE(converter_.skip_idx);
    EXPECT_EQ(converter_.oracle_converter_impl::host, L"10.0.0.5");
    EXPECT_EQ(converter_.service_name, L"ORCL");
    EXPECT_EQ(converter_.oracle_converter_impl::user, L"scott");
    EXPECT_EQ(converter_.oracle_converter_impl::password, L"ti=ger");
    EXPECT_EQ(converter_.oracle_converter_impl::port, L"1522");
    EXPECT_FALSE(converter_.use_tns);
    EXPECT_TRUE(converter_.uppercase);
    EXPECT_EQ(converter_.mysql_converter_impl::host, "db1");
    EXPECT_EQ(converter_.mysql_converter_impl::user, "root");
    EXPECT_EQ(converter_.mysql_converter_impl::password, "s3cret");
    EXPECT_EQ(converter_.mysql_converter_impl::port, "3307");
    EXPECT_TRUE(converter_.blob2text);
    const mysql_dump_options& dump = converter_.dump_options;
    EXPECT_EQ((std::vector<bool>{dump.line_break, dump.new_version, dump.add_lock_to_insert,
                                 dump.insert_comments, dump.create_database, dump.create_table}),
              (std::vector<bool>{true, false, false, false, true, false}));
}

// The two readings: "only definitions" and "skip indexes" are on for anything but "0"; "use
// TNS", "uppercase" and "BLOB to text" only for "1". An empty value changes nothing.
TEST(converter_profile_truth, readings_of_each_switch) {
    platform::init_locale();
    const struct {
        const char* value;
        bool unless_zero;  // tab_def, skip_idx after loading over false
        bool if_one;       // uppercase, blob2text after loading over true; use_tns likewise
    } rows[] = {
        {"1", true, true},   {"0", false, false}, {"yes", true, false}, {"true", true, false},
        {"01", true, false}, {" 1", true, false},  // blanks after "=" stay part of the value
    };
    for (const auto& row : rows) {
        test_support::temp_dir dir;
        const auto path = dir.path() / "p.drx";
        const std::string v = row.value;
        std::ofstream(path, std::ios::binary)
            << "[Generic settings]\nonly definitions=" << v << "\nskip indexes=" << v
            << "\n[Oracle settings]\nuppercase=" << v << "\nuse TNS=" << v
            << "\n[MySQL settings]\nBLOB to text=" << v << "\n";
        dorvex_convertor converter;
        converter.uppercase = true;
        converter.blob2text = true;
        converter.use_tns = true;
        ASSERT_TRUE(converter.load_profile(path.string()));
        EXPECT_EQ(converter.tab_def, row.unless_zero) << v;
        EXPECT_EQ(converter.skip_idx, row.unless_zero) << v;
        EXPECT_EQ(converter.uppercase, row.if_one) << v;
        EXPECT_EQ(converter.blob2text, row.if_one) << v;
        EXPECT_EQ(converter.use_tns, row.if_one) << v;
    }
}

TEST_F(converter_profile, empty_and_absent_values_keep_the_settings) {
    converter_.source_database = L"kept";
    converter_.uppercase = true;
    converter_.tab_def = true;
    converter_.oracle_converter_impl::user = L"scott";
    converter_.mysql_converter_impl::host = "db1";
    ASSERT_TRUE(
        load("[Generic settings]\nsrc=\nonly definitions=\n[Oracle settings]\nuser=\n"
             "uppercase=\n[MySQL settings]\nhost=\n"));
    EXPECT_EQ(converter_.source_database, L"kept");
    EXPECT_TRUE(converter_.uppercase);
    EXPECT_TRUE(converter_.tab_def);
    EXPECT_EQ(converter_.oracle_converter_impl::user, L"scott");
    EXPECT_EQ(converter_.mysql_converter_impl::host, "db1");
}

TEST_F(converter_profile, selection_of_tables_and_queries_is_added_to) {
    converter_.selected_tables = {L"orders"};
    converter_.selected_queries = {{L"orders", L""}, {L"q1", L"SELECT 1"}};
    ASSERT_TRUE(
        load("[Selected Tables]\norders\nq1=SELECT * FROM orders WHERE id > 10\n"
             "customers\n[Available Queries]\nkept=SELECT 2\n"));
    EXPECT_EQ(converter_.selected_tables, (std::vector<std::wstring>{L"orders", L"customers"}));
    EXPECT_EQ(converter_.selected_queries,
              (queries{{L"customers", L""}, {L"orders", L""}, {L"q1", L"SELECT 1"}}));
    EXPECT_EQ(converter_.unselected_queries, (queries{{L"kept", L"SELECT 2"}}));
}

TEST_F(converter_profile, key_line_before_any_section_still_counts_as_loaded) {
    converter_.source_database = L"kept";
    EXPECT_TRUE(load("src=other\n[Generic settings]\nsrc=other\n"));
    EXPECT_EQ(converter_.source_database, L"kept");
    EXPECT_FALSE(converter_.load_profile((dir_.path() / "absent.drx").string()));
}

// What an editor saves: a byte-order mark, blanks typed around host and port values.
TEST_F(converter_profile, an_edited_profile_loads_with_host_and_port_trimmed) {
    converter_.oracle_converter_impl::port = L"1521";
    ASSERT_TRUE(
        load("\xEF\xBB\xBF[Generic settings]\r\nsrc=shop\r\n"
             "[MySQL settings]\r\nhost =  db1  \r\nport= 3307\r\nuser= root\r\n"
             "password= pw\r\n"
             "[Oracle settings]\r\nIP= 10.0.0.5\r\nport=   \r\nhost= ORCL\r\n"));
    EXPECT_EQ(converter_.source_database, L"shop");
    EXPECT_EQ(converter_.mysql_converter_impl::host, "db1");
    EXPECT_EQ(converter_.mysql_converter_impl::port, "3307");
    EXPECT_EQ(converter_.port_number(), 3307u);
    EXPECT_EQ(converter_.oracle_converter_impl::host, L"10.0.0.5");
    EXPECT_EQ(converter_.oracle_converter_impl::port, L"1521") << "a port of blanks is absent";
    // User names and passwords are taken as written: a blank may belong to them.
    EXPECT_EQ(converter_.mysql_converter_impl::user, " root");
    EXPECT_EQ(converter_.mysql_converter_impl::password, " pw");
    EXPECT_EQ(converter_.service_name, L"ORCL");
}

TEST_F(converter_profile, store_writes_every_section_in_order) {
    converter_.source_database = L"shop";
    converter_.selected_tables = {L"orders"};
    converter_.selected_queries = {{L"orders", L""},
                                   {L"q1", L"SELECT * FROM orders WHERE id > 10"}};
    converter_.unselected_queries = {{L"spare", L"SELECT 2"}};
    converter_.store_oracle_settings(L"ORCL", L"scott", L"tiger");
    converter_.store_mysql_settings("db1", "root", "", "");
    converter_.skip_idx = true;
    EXPECT_EQ(
        store(),
        "[Available Queries]\r\nspare=SELECT 2\r\n\r\n"
        "[Generic settings]\r\ndest=\r\nmode=0\r\nonly definitions=0\r\nskip indexes=1\r\n"
        "src=shop\r\n\r\n"
        "[MySQL settings]\r\nBLOB to text=0\r\nTIME as interval=0\r\ndump add lock to insert=1\r\n"
        "dump create database=0\r\ndump create table=1\r\ndump insert comments=1\r\n"
        "dump line break=0\r\ndump new version=1\r\nhost=db1\r\npassword=\r\n"
        "port=3306\r\nuser=root\r\n\r\n"
        "[Oracle settings]\r\nhost=ORCL\r\npassword=tiger\r\nuppercase=0\r\n"
        "use TNS=1\r\nuser=scott\r\n\r\n"
        "[Selected Tables]\r\norders\r\nq1=SELECT * FROM orders WHERE id > 10\r\n\r\n");
}

TEST_F(converter_profile, tables_not_yet_merged_into_the_queries_are_stored) {
    converter_.selected_tables = {L"b", L"a"};
    converter_.selected_queries = {{L"a", L"SELECT 1"}};
    const std::string text = store();
    EXPECT_NE(text.find("[Selected Tables]\r\na=SELECT 1\r\nb\r\n\r\n"), std::string::npos) << text;
}

TEST(converter_profile_round_trip, direct_oracle_setup_and_non_ascii_texts) {
    platform::init_locale();
    test_support::temp_dir dir;
    const std::wstring path = wide(dir.path() / "round.drx");
    {
        dorvex_convertor saved;
        saved.use_tns = false;
        saved.store_oracle_settings(L"10.0.0.5", L"sch\u00e9ma", L"p\u00e4ss", L"1522");
        saved.store_mysql_settings("h\xC3\xB6st", "r\xC3\xBCt", "pw", "3307");
        saved.source_database = L"\u0437\u0430\u043a\u0430\u0437\u044b";
        saved.uppercase = true;
        saved.tab_def = true;
        ASSERT_TRUE(saved.save_profile(path));
    }
    const std::string text = read_bytes(dir.path() / "round.drx");
    const size_t oracle = text.find("[Oracle settings]");
    ASSERT_NE(oracle, std::string::npos);
    EXPECT_EQ(text.substr(oracle, text.find("\r\n\r\n", oracle) - oracle),
              "[Oracle settings]\r\nIP=10.0.0.5\r\npassword=p\xC3\xA4ss\r\nport=1522\r\n"
              "uppercase=1\r\nuse TNS=0\r\nuser=sch\xC3\xA9ma")
        << "an empty service name is left out";

    dorvex_convertor loaded;
    ASSERT_TRUE(loaded.load_profile(path));
    EXPECT_FALSE(loaded.use_tns);
    EXPECT_EQ(loaded.oracle_converter_impl::host, L"10.0.0.5");
    EXPECT_EQ(loaded.oracle_converter_impl::port, L"1522");
    EXPECT_EQ(loaded.oracle_converter_impl::user, L"sch\u00e9ma");
    EXPECT_EQ(loaded.oracle_converter_impl::password, L"p\u00e4ss");
    EXPECT_EQ(loaded.service_name, L"");
    EXPECT_EQ(loaded.mysql_converter_impl::host, "h\xC3\xB6st");
    EXPECT_EQ(loaded.mysql_converter_impl::user, "r\xC3\xBCt");
    EXPECT_EQ(loaded.mysql_converter_impl::port, "3307");
    EXPECT_EQ(loaded.source_database, L"\u0437\u0430\u043a\u0430\u0437\u044b");
    EXPECT_TRUE(loaded.uppercase);
    EXPECT_TRUE(loaded.tab_def);
}

// The wizard's converter starts from its remembered settings and leaves them for the next
// start; the agent's never touches them.
TEST(converter_kinds, wizard_remembers_its_settings_and_the_agent_does_not) {
    test_support::config_home home;
    {
        dorvex_convertor wizard(dorvex_convertor::program::wizard);
        EXPECT_TRUE(wizard.uppercase) << "the wizard's default";
        EXPECT_EQ(wizard.mode, 0);
        wizard.mode = mode_skip;
        wizard.source_database = L"shop";
        wizard.store_mysql_settings("db1", "root", "pw", "3307");
    }
    {
        dorvex_convertor agent;
        EXPECT_FALSE(agent.uppercase);
        EXPECT_EQ(agent.mode, 0);
        EXPECT_EQ(agent.source_database, L"");
        agent.mode = mode_merge;
    }
    dorvex_convertor wizard(dorvex_convertor::program::wizard);
    EXPECT_EQ(wizard.mode, mode_skip);
    EXPECT_EQ(wizard.source_database, L"shop");
    EXPECT_EQ(wizard.mysql_converter_impl::host, "db1");
    EXPECT_EQ(wizard.mysql_converter_impl::port, "3307");
}

}  // namespace
