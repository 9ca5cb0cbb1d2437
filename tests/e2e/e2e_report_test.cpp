// How DRXAGENT tells what happened: the exit status a script reads, the console that shows the
// first errors of a table and says where the others are, and the progress line that only a
// terminal sees.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "e2e/checker.h"
#include "e2e/e2e_support.h"

namespace {

using driver_test::oralite_schema;
using driver_test::run_agent;
using driver_test::scratch_database;

class agent_report : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        source_ = std::make_unique<scratch_database>(*server_, "e2e_report");
        oracle_ = std::make_unique<oralite_schema>();
    }
    std::vector<std::string> connection(std::vector<std::string> extra = {}) const {
        auto args = driver_test::agent_connection(*server_, source_->name(), *oracle_);
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    static size_t count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }

    std::optional<test_support::mariadb_sandbox> server_;
    std::unique_ptr<scratch_database> source_;
    std::unique_ptr<oralite_schema> oracle_;
};

// 0: everything arrived; 1: the run went to its end and reported errors; 255: it could not
// start. A table that failed whole is an error too, never a success.
TEST_F(agent_report, the_exit_status_says_how_the_run_went) {
    source_->session().exec(
        "CREATE TABLE a (id INT PRIMARY KEY); INSERT INTO a VALUES (1), (2);"
        "CREATE TABLE b (id INT PRIMARY KEY, t TIME); INSERT INTO b VALUES (1, '10:00:00');");
    EXPECT_EQ(run_agent(connection()).status, 0);

    // A value no DATE column can hold: its record is reported, the rest arrive.
    source_->session().exec("INSERT INTO b VALUES (2, '99:00:00')");
    const auto reported = run_agent(connection());
    EXPECT_EQ(reported.status, 1) << reported.out;
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM \"b\""), "1");

    // Every table refused (no privilege to create tables): the run ends, and says so.
    oracle_->admin({"REVOKE CREATE TABLE FROM CONV"});
    const auto refused = run_agent(connection());
    EXPECT_EQ(refused.status, 1) << refused.out;
    EXPECT_NE(refused.summary_line("a").find("failed"), std::string::npos) << refused.out;
    EXPECT_NE(refused.summary_line("b").find("failed"), std::string::npos) << refused.out;

    auto wrong = connection({"--oraclp=wrong"});
    EXPECT_EQ(run_agent(wrong).status, 255);
}

// The console shows the first 20 errors of a table; one line says how many more there were and
// where they are; the log keeps every one, the rejects file every record.
TEST_F(agent_report, the_console_shows_twenty_errors_a_table_and_says_where_the_rest_are) {
    source_->session().exec(
        "CREATE TABLE t (id INT PRIMARY KEY, tm TIME);"
        "INSERT INTO t SELECT seq, '100:00:00' FROM seq_1_to_50;"
        "INSERT INTO t VALUES (51, '01:00:00')");
    const auto log = oracle_->folder() / "run.log";
    const auto run = run_agent(connection({"--logfile=" + log.string()}));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count(run.out, "Error:\nt, record #"), 20u) << run.out;
    const std::string rejects = (oracle_->folder() / "e2e_report.rejects.sql").string();
    EXPECT_NE(run.out.find("30 more errors in table t are not shown; the rejected records are in " +
                           rejects + "; every error is in the log " + log.string() + "\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(count(driver_test::read_text_file(log), "Error:\nt, record #"), 50u);
    EXPECT_EQ(count(driver_test::read_text_file(rejects), "INSERT INTO `t`"), 50u);
    EXPECT_EQ(oracle_->scalar("SELECT COUNT(*) FROM \"t\""), "1");
}

// Runs the agent with standard error on a pseudo-terminal; returns what the terminal showed.
std::string run_on_a_terminal(const std::vector<std::string>& args, int& status) {
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        // Standard output goes nowhere, so that the terminal shows standard error alone.
        freopen("/dev/null", "w", stdout);
        std::vector<char*> argv;
        const std::string program = test_support::program_path("DRXAGENT");
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, static_cast<size_t>(got));
    }
    close(master);
    int raw = 0;
    waitpid(child, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return shown;
}

TEST_F(agent_report, a_progress_line_reaches_a_terminal_and_nothing_else) {
    source_->session().exec(
        "CREATE TABLE big (id INT PRIMARY KEY, v VARCHAR(20));"
        "INSERT INTO big SELECT seq, CONCAT('row ', seq) FROM seq_1_to_60000");
    int status = -1;
    const std::string terminal = run_on_a_terminal(connection(), status);
    EXPECT_EQ(status, 0);
    // The line rewrites itself in place and is taken away at the end.
    EXPECT_NE(terminal.find("\rbig: "), std::string::npos) << terminal;
    EXPECT_NE(terminal.find(" of 60,000 records"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find(" rows/s"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find(" left"), std::string::npos) << terminal;
    EXPECT_EQ(terminal.substr(terminal.size() - 4), "\r\033[K") << terminal;

    // Through a pipe (and into the log) nothing of it.
    oracle_ = std::make_unique<oralite_schema>();
    const auto log = oracle_->folder() / "run.log";
    const auto piped = run_agent(connection({"--logfile=" + log.string()}));
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(piped.out.find("rows/s,"), std::string::npos);
    EXPECT_EQ(driver_test::read_text_file(log).find(" of 60,000 records"), std::string::npos);
}

}  // namespace
