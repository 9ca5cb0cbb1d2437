// The agent's run sequence with test runs in place of the conversion: what reaches the user
// and which status the process ends with.
#include "agent/agent_main.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "TK/tk_exception.h"
#include "agent/agent_converter.h"
#include "test_support/temp_dir.h"

namespace {

// An error as the Oracle side raises it for a refused log-on: level 0, ORA-01017.
class refused_logon : public tk_exception {
  public:
    refused_logon() : tk_exception("ORA-01017: invalid username/password; logon denied", 0) {
        set_system_error(0x1003F9);
    }
};

class agent_main_test : public ::testing::Test {
  protected:
    // Runs the agent in a child process with standard output kept in a file; the child ends
    // with agent_main's status.
    void run_agent(std::vector<const char*> args, agent_run_function run) {
        args.insert(args.begin(), "DRXAGENT");
        std::fflush(stdout);
        if (std::freopen(out_path().c_str(), "w", stdout) == nullptr) {
            std::_Exit(99);
        }
        const int status = agent_main(static_cast<int>(args.size()), args.data(), run);
        std::fflush(stdout);
        std::_Exit(status & 0xFF);
    }
    std::string out_path() const { return (dir_.path() / "stdout").string(); }
    std::string output() const {
        std::ostringstream out;
        out << std::ifstream(out_path()).rdbuf();
        return out.str();
    }
    test_support::temp_dir dir_;
};

void finishes(agent_converter&) {}
void refused(agent_converter&) {
    throw refused_logon();
}
void out_of_memory(agent_converter&) {
    throw std::runtime_error("std::bad_alloc in the test run");
}

TEST_F(agent_main_test, a_finished_run_exits_with_0) {
    EXPECT_EXIT(run_agent({"--src=shop", "--dest=ORCL"}, finishes), ::testing::ExitedWithCode(0),
                "^$");
    EXPECT_EQ(output(), "");
}

TEST_F(agent_main_test, an_error_that_ends_the_run_is_shown_and_not_reported_as_success) {
    EXPECT_EXIT(run_agent({"--src=shop", "--dest=ORCL"}, refused), ::testing::ExitedWithCode(255),
                "^$");
    EXPECT_EQ(output(), "Error:\nInvalid user name or password.\n");
    EXPECT_EXIT(run_agent({"--silent", "--src=shop", "--dest=ORCL"}, refused),
                ::testing::ExitedWithCode(255), "^$");
    EXPECT_EQ(output(), "");
}

TEST_F(agent_main_test, a_foreign_exception_goes_to_standard_error) {
    EXPECT_EXIT(run_agent({"--src=shop", "--dest=ORCL"}, out_of_memory),
                ::testing::ExitedWithCode(255), "^std::bad_alloc in the test run\n$");
    EXPECT_EQ(output(), "");
}

}  // namespace
