// DRXAGENT run as a program: what it writes where, and its exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using test_support::process_result;

std::string read_file(const fs::path& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

std::string usage() {
    return read_file(std::string(std::getenv("TARVOLIN_SOURCE_DIR")) +
                     "/tests/agent/golden/usage.txt");
}

process_result agent(const std::vector<std::string>& args) {
    return test_support::run_process(test_support::program_path("DRXAGENT"), args);
}

// Expected standard output, standard error and status of one run.
struct expected_run {
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
};

void check(const expected_run& run) {
    const process_result got = agent(run.args);
    std::string shown;
    for (const std::string& arg : run.args) {
        shown += " " + arg;
    }
    EXPECT_EQ(got.out, run.out) << "DRXAGENT" << shown;
    EXPECT_EQ(got.err, run.err) << "DRXAGENT" << shown;
    EXPECT_EQ(got.status, run.status) << "DRXAGENT" << shown;
}

const char no_database[] = "You should enter MySQL database name\n";
const char no_service[] = "You should enter Oracle service name\n";
const char bad_mode[] = "Invalid merge/overwrite mode\n";

TEST(agent_process, usage_and_validation_messages_go_to_standard_error_with_status_255) {
    const std::string usage_text = usage() + "\n";
    const expected_run runs[] = {
        {{}, "", usage_text, 255},
        {{"--help"}, "", usage_text, 255},
        {{"--helpme", "--src=a"}, "", usage_text, 255},  // a flag ignores what follows it
        {{"--silent", "--help"}, "", "", 255},
        {{"--help", "--silent"}, "", usage_text, 255},
        {{"--src=shop", "--dest=x", "unknown"}, "", usage_text, 255},
        {{"--tab_file", "--src=shop", "--dest=x"}, "", usage_text, 255},  // no "=": unknown
        // A flag takes no value: the value would be dropped and the flag switched on.
        {{"--src=shop", "--dest=x", "--tab_def=0"}, "", usage_text, 255},
        {{"--src=shop", "--dest=x", "--uppercase=no"}, "", usage_text, 255},
        {{"--src=shop", "--dest=x", "--skip_idx=false"}, "", usage_text, 255},
        {{"--src=shop", "--dest=x", "--blob2text=1"}, "", usage_text, 255},
        {{"--src=shop", "--dest=x", "--direct="}, "", usage_text, 255},
        {{"--silent=yes", "--src=shop", "--dest=x"}, "", usage_text, 255},
        {{"--help=1"}, "", usage_text, 255},
        {{"--src=shop", "--mode=01"}, "", bad_mode, 255},
        {{"--src=shop", "--mode=+1"}, "", bad_mode, 255},
        {{"--src=shop", "--mode=3"}, "", bad_mode, 255},
        {{"--src=shop", "--mode=-1"}, "", bad_mode, 255},
        {{"--src=shop", "--mode="}, "", bad_mode, 255},
        {{"--src=shop", "--mode= 1"}, "", bad_mode, 255},
        {{"--src=shop", "--mode=99999999999999999999"}, "", bad_mode, 255},
        {{"--src=shop", "--mode=1", "--mode=4"}, "", bad_mode, 255},
        // Accepted values: the run goes on to the next check.
        {{"--mode=1", "--src="}, "", no_database, 255},
        {{"--mode=2", "--mode=0"}, "", no_database, 255},
        {{"--tab_defx"}, "", no_database, 255},
        {{"--src="}, "", no_database, 255},
        {{"--dest=ORCL"}, "", no_database, 255},
        {{"--src=shop"}, "", no_service, 255},
        {{"--src=shop", "--dest="}, "", no_service, 255},
        // A profile that cannot be loaded leaves the destination required.
        {{"--profile=/nonexistent/p.drx", "--src=shop"}, "", no_service, 255},
        {{"--silent", "--src=shop"}, "", "", 255},
    };
    for (const expected_run& run : runs) {
        check(run);
    }
}

TEST(agent_process, table_names_file_must_exist) {
    test_support::temp_dir dir;
    const std::string missing =
        "Table names file does not exist.\nPlease verify the correct path/name was given.\n";
    check({{"--src=shop", "--tab_file=" + (dir.path() / "none.txt").string()}, "", missing, 255});
    check({{"--src=shop", "--tab_file=" + dir.path().string()}, "", missing, 255});
    // The file is read when the option is met, before the other checks.
    check({{"--tab_file=", "--src=shop"}, "", missing, 255});
}

// "No file" means every table; a file that names none is a mistake made upstream and must not
// turn into a run over every table in overwrite mode.
TEST(agent_process, a_table_names_file_without_names_is_refused) {
    test_support::temp_dir dir;
    const std::string empty =
        "Table names file holds no table names.\nPlease verify the correct path/name was given.\n";
    const fs::path names = dir.path() / "tables.txt";
    for (const char* text : {"", "\n", "\r\n\r\n\n", "\xEF\xBB\xBF", "\xEF\xBB\xBF\r\n\r\n"}) {
        std::ofstream(names, std::ios::binary) << text;
        check({{"--src=shop", "--dest=x", "--tab_file=" + names.string()}, "", empty, 255});
    }
    // A later file does not mend an empty one: the run ends at the first.
    const fs::path good = dir.path() / "good.txt";
    std::ofstream(good) << "orders\n";
    check({{"--tab_file=" + names.string(), "--tab_file=" + good.string(), "--src=shop"},
           "",
           empty,
           255});
}

TEST(agent_process, an_over_long_line_in_the_table_names_file_is_refused) {
    test_support::temp_dir dir;
    const fs::path names = dir.path() / "tables.txt";
    std::ofstream(names) << "orders\n" << std::string(255, 'x') << "\ncustomers\n";
    check({{"--src=shop", "--dest=x", "--tab_file=" + names.string()},
           "",
           "Table names file has a line longer than 254 bytes (line 2).\nA table name "
           "cannot be that long; please verify the correct file was given.\n",
           255});
}

TEST(agent_process, logfile_failures_are_level_1_errors_on_standard_output) {
    test_support::temp_dir dir;
    const fs::path read_only = dir.path() / "ro.log";
    std::ofstream(read_only) << "kept";
    fs::permissions(read_only, fs::perms::owner_read);
    check({{"--logfile=" + (dir.path() / "none" / "x.log").string(), "--src=shop"},
           "Error:\nLogfile path does not exist. Please verify the correct path was given.\n",
           "",
           255});
    check({{"--logfile=" + read_only.string(), "--src=shop"},
           "Error:\nLogfile name specifies an existing read-only file.\n",
           "",
           255});
    check({{"--silent", "--logfile=" + read_only.string()}, "", "", 255});
    EXPECT_EQ(read_file(read_only), "kept");
}

TEST(agent_process, the_log_holds_the_level_3_lines_of_the_latest_run) {
    test_support::temp_dir dir;
    const fs::path log = dir.path() / "run.log";
    check({{"--logfile=" + log.string(), "--mode=5"}, "", bad_mode, 255});
    // The log ends with the status the agent ended with.
    EXPECT_EQ(read_file(log),
              "Invalid merge/overwrite mode\r\nDRXAGENT ended with exit status 255\r\n");
    // Silent: nothing on the console, the message still in the log, which the run replaced.
    check({{"--logfile=" + log.string(), "--silent", "--src="}, "", "", 255});
    EXPECT_EQ(read_file(log),
              "You should enter MySQL database name\r\nDRXAGENT ended with exit status 255\r\n");
}

TEST(agent_process, twenty_unrecognised_arguments_give_the_usage_and_21_an_internal_error) {
    std::vector<std::string> args;
    for (int i = 0; i < 20; ++i) {
        args.push_back("x" + std::to_string(i));
    }
    check({args, "", usage() + "\n", 255});
    args.push_back("x20");
    const process_result got = agent(args);
    // The assertion names the option iterator's source file, hex-encoded.
    const std::string place = "544b2f746b5f636d646c692e637070";  // "TK/tk_cmdli.cpp"
    EXPECT_TRUE(got.out.starts_with("Internal error: \ncode=" + place + "5c")) << got.out;
    EXPECT_EQ(got.err, "");
    EXPECT_EQ(got.status, 255);
    args.insert(args.begin(), "--silent");
    EXPECT_TRUE(agent(args).out.starts_with("Internal error: ")) << "shown even when silent";
}

TEST(agent_process, options_that_pass_every_check_reach_the_run) {
    test_support::temp_dir dir;
    const fs::path names = dir.path() / "tables.txt";
    std::ofstream(names) << "\xEF\xBB\xBForders\r\n\r\n   \r\ncustomers\r\n";
    const process_result got = agent(
        {"--src=shop", "--dest=ORCL", "--oraclu=scott", "--oraclp=tiger", "--mode=1", "--blob2text",
         "--uppercase", "--skip_idx", "--tab_def", "--direct", "--oraport=1522",
         "--mysqlh=localhost", "--myport=3307", "--mysqlu=root", "--mysqlp=pw",
         "--tab_file=" + names.string(), "--logfile=" + (dir.path() / "run.log").string()});
    EXPECT_EQ(got.err, "");
    EXPECT_EQ(got.out.find("Usage"), std::string::npos);
}

}  // namespace
