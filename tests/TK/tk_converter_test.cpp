#include "TK/tk_converter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_bug_report.h"
#include "TK/tk_trace_log.h"
#include "platform/mail.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

std::string logfile_error(tk_converter& converter, const std::string& path) {
    try {
        converter.set_logfile(path);
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        return e.what();
    }
    return "accepted";
}

TEST(tk_converter, set_logfile_refuses_bad_paths_and_leaves_the_log_as_it_was) {
    test_support::temp_dir dir;
    const fs::path read_only = dir.path() / "ro.log";
    std::ofstream(read_only) << "old";
    fs::permissions(read_only, fs::perms::owner_read);
    tk_trace_log log("", false, 3, false);
    const std::string default_name = log.file_name();
    tk_converter converter;

    const struct {
        std::string path;
        const char* error;
    } rows[] = {
        {read_only.string(), "Logfile name specifies an existing read-only file."},
        {(dir.path() / "none" / "x.log").string(),
         "Logfile path does not exist.\nPlease verify the correct path was given."},
        {dir.path().string(), "Logfile name specifies a folder, not a file."},
        {dir.path().string() + "/", "Logfile name specifies a folder, not a file."},
        {"", "accepted"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(logfile_error(converter, row.path), row.error) << row.path;
        EXPECT_FALSE(log.enabled()) << row.path;
        EXPECT_EQ(log.file_name(), default_name) << row.path;
        EXPECT_EQ(converter.log_file(), "") << row.path;
    }
    EXPECT_EQ(read_file(read_only), "old");
}

TEST(tk_converter, set_logfile_switches_the_log_on_and_a_second_run_replaces_the_first) {
    test_support::temp_dir dir;
    const fs::path path = dir.path() / "run.log";
    for (const char* run : {"first", "second"}) {
        tk_trace_log log("", false, 3, false);
        tk_converter converter;
        converter.set_logfile(path.string());
        EXPECT_TRUE(log.enabled());
        EXPECT_EQ(log.file_name(), path.string());
        EXPECT_EQ(converter.log_file(), path.string());
        tk_trace(3, "%s run", run);
    }
    EXPECT_EQ(read_file(path), "second run\r\n");
}

TEST(tk_converter, a_relative_log_file_stays_where_it_was_named) {
    test_support::temp_dir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    tk_trace_log log("", false, 3, false);
    tk_converter converter;
    converter.set_logfile("run.log");
    EXPECT_EQ(converter.log_file(), "run.log");
    EXPECT_EQ(log.file_name(), (fs::current_path() / "run.log").string());
    fs::current_path(before);
    tk_trace(3, "line");
    EXPECT_EQ(read_file(dir.path() / "run.log"), "line\r\n");
}

TEST(tk_converter, set_logfile_needs_the_trace_log) {
    test_support::temp_dir dir;
    tk_converter converter;
    EXPECT_THROW(converter.set_logfile((dir.path() / "x.log").string()), tk_mail_assertion);
}

// Puts a stand-in sendmail first on PATH that keeps its arguments and its input.
class bug_report_test : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        fs::create_directory(dir_.path() / "bin");
        setenv("PATH", (dir_.path() / "bin").c_str(), 1);
    }
    void TearDown() override { setenv("PATH", saved_path_.c_str(), 1); }

    void install_sendmail() {
        const fs::path script = dir_.path() / "bin" / "sendmail";
        std::ofstream(script) << "#!/bin/sh\necho \"$@\" > " << (dir_.path() / "args").string()
                              << "\n/bin/cat > " << (dir_.path() / "mail").string() << "\n";
        fs::permissions(script, fs::perms::owner_all);
    }

    test_support::temp_dir dir_;
    std::string saved_path_;
};

TEST_F(bug_report_test, report_goes_to_sendmail_with_single_line_headers) {
    install_sendmail();
    tk_trace_log log((dir_.path() / "t.log").string(), true, 2, false);
    const fs::path before = fs::current_path();
    tk_send_bug_report("Tarvolin\nBcc: someone@example.com", "Internal error: \ncode=782e\n.\n");
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(read_file(dir_.path() / "args"), "-t -oi\n");
    const std::string mail = read_file(dir_.path() / "mail");
    EXPECT_NE(mail.find("To: Vastrelco <support@vastrelco.com>\n"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Subject: Bug report on Tarvolin Bcc: someone@example.com\n"),
              std::string::npos)
        << mail;
    EXPECT_EQ(mail.find("\nBcc:"), std::string::npos) << "the title must not add a header";
    EXPECT_NE(mail.find("\nX-Date-Received: "), std::string::npos);
    EXPECT_TRUE(mail.ends_with("\n\nInternal error: \ncode=782e\n.\n")) << mail;
    EXPECT_EQ(read_file(dir_.path() / "t.log"), "sendmail returns 0\r\n");
}

TEST_F(bug_report_test, without_sendmail_the_trace_says_the_report_was_not_sent) {
    if (!platform::find_sendmail().empty()) {
        GTEST_SKIP() << "this machine has " << platform::find_sendmail();
    }
    tk_trace_log log((dir_.path() / "t.log").string(), true, 2, false);
    tk_send_bug_report("Tarvolin", "text");
    EXPECT_EQ(read_file(dir_.path() / "t.log"),
              "Failed to locate sendmail, the report was not sent\r\n");
}

}  // namespace
