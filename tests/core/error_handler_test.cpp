#include "core/error_handler.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "TK/tk_trace_log.h"
#include "core/console_error_presenter.h"
#include "core/init_conversion.h"
#include "test_support/temp_dir.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

// An error as a server side raises it: a code and the server's own text.
class coded_error : public tk_exception {
  public:
    coded_error(const std::string& text, int level, uint32_t code) : tk_exception(text, level) {
        set_system_error(code);
    }
};

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

TEST(error_tables, match_the_published_texts_in_order) {
    std::ifstream golden(std::string(std::getenv("TARVOLIN_SOURCE_DIR")) +
                         "/tests/core/golden/error_tables.txt");
    std::vector<std::string> expected;
    for (std::string line; std::getline(golden, line);) {
        expected.push_back(line);
    }
    std::vector<std::string> actual;
    for (const auto& table :
         {std::vector<tk_error_entry>(oracle_error_table, oracle_error_table + oracle_error_count),
          std::vector<tk_error_entry>(mysql_error_table, mysql_error_table + mysql_error_count)}) {
        for (const tk_error_entry& entry : table) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%06X", static_cast<unsigned>(entry.code));
            actual.push_back(std::string(code) + "\t" + escaped(entry.text));
        }
    }
    EXPECT_EQ(oracle_error_count, 12u);
    EXPECT_EQ(mysql_error_count, 11u);
    EXPECT_EQ(actual, expected);
}

TEST(tk_error_converter, first_text_wins_and_unknown_codes_give_nothing) {
    const tk_error_entry first[] = {{5, "first"}, {6, "six"}, {5, "second"}};
    tk_error_converter converter(3, first);
    const tk_error_entry more[] = {{6, "other six"}, {7, "seven"}};
    converter.load_map(2, more);
    EXPECT_EQ(converter.size(), 3u);
    EXPECT_EQ(converter.convert(5), "first");
    EXPECT_EQ(converter.convert(6), "six");
    EXPECT_EQ(converter.convert(7), "seven");
    EXPECT_EQ(converter.convert(0), "");
    EXPECT_THROW(converter.load_map(1, nullptr), tk_mail_assertion);
}

// Keeps what the handler hands over, in place of a console or a window.
struct recording_presenter : error_presenter {
    struct shown {
        std::string text;
        int level;
        bool after_run;
    };
    void show_internal_error(const std::string&) override {}
    void show_error(error_handler&, const std::string& text, int level, bool after_run) override {
        calls->push_back({text, level, after_run});
    }
    std::vector<shown>* calls;
};

class handler_test : public ::testing::Test {
  protected:
    handler_test() {
        auto presenter = std::make_unique<recording_presenter>();
        presenter->calls = &shown_;
        handler_ = std::make_unique<error_handler>(oracle_error_count, oracle_error_table,
                                                   std::move(presenter));
        handler_->load_err_map(mysql_error_count, mysql_error_table);
    }
    std::vector<recording_presenter::shown> shown_;
    std::unique_ptr<error_handler> handler_;
};

TEST_F(handler_test, composes_context_and_prepared_or_raw_text_on_one_line) {
    const struct {
        const wchar_t* table;
        int record;  // -1: no record, -2: no context
        coded_error error;
        const char* shown;
    } rows[] = {
        {L"", -2, coded_error("ORA-01017: invalid username/password", 0, 0x1003F9),
         "Invalid user name or password."},
        {L"t", 17, coded_error("ORA-00001: unique\nconstraint violated", 0, 0x100999),
         "t, record #17: ORA-00001: unique constraint violated"},
        {L"orders", -1, coded_error("refused", 0, 0x4007D3),
         "orders: Can't connect to the MySQL server. Check to verify that MySQL server is "
         "launched and the correct host/port values were given."},
        {L"", -2, coded_error("refused", 0, 0x4007D5),
         "Can't connect to the MySQL server. Check to verify that MySQL server is launched and "
         "the correct host/port values were given."},
        {L"caf\u00e9", -1, coded_error("", 1, 0), "caf\xc3\xa9: Unknown exception"},
        {L"", -2, coded_error("raw\n", 5, 0x12345), "raw "},
    };
    for (const auto& row : rows) {
        shown_.clear();
        if (row.record == -2) {
            handler_->clear_context();
        } else if (row.record == -1) {
            handler_->set_context(row.table);
        } else {
            handler_->set_context(row.table, row.record);
        }
        handler_->handle(row.error, true);
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].text, row.shown);
        EXPECT_EQ(shown_[0].level, row.error.level() == 0 ? 0 : 1) << "unknown levels stop";
        EXPECT_TRUE(shown_[0].after_run);
    }
}

TEST_F(handler_test, traces_the_message_with_its_line_feeds) {
    test_support::temp_dir dir;
    tk_trace_log log((dir.path() / "t.log").string(), true, 3, false);
    handler_->set_context(L"t", 3);
    handler_->handle(coded_error("a\nb", 0, 0), false);
    EXPECT_EQ(read_file(dir.path() / "t.log"), "Error:\nt, record #3: a\nb\r\n");
}

// Runs the console presenter in a child process and keeps its standard output in a file; the
// child ends with 7 when the handler returned and 8 when it stopped the work.
class console_test : public ::testing::Test {
  protected:
    void report(const tk_exception& e, bool silent) {
        std::fflush(stdout);
        if (std::freopen(out_path().c_str(), "w", stdout) == nullptr) {
            std::_Exit(99);
        }
        error_handler handler(oracle_error_count, oracle_error_table,
                              std::make_unique<console_error_presenter>());
        handler.set_silent(silent);
        try {
            handler.handle(e, false);
        } catch (const tk_final_exception&) {
            std::fflush(stdout);
            std::_Exit(8);  // the work stops: the agent's main decides the exit status
        }
        std::fflush(stdout);
        std::_Exit(7);  // the handler returned
    }
    std::string out_path() const { return (dir_.path() / "stdout").string(); }
    std::string output() const { return read_file(out_path()); }

    test_support::temp_dir dir_;
};

TEST_F(console_test, level_0_is_printed_and_the_caller_goes_on) {
    EXPECT_EXIT(report(coded_error("skip me", 0, 0), false), ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(output(), "Error:\nskip me\n");
    EXPECT_EXIT(report(coded_error("skip me", 0, 0), true), ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(output(), "") << "silent prints nothing";
}

// Nothing here ends the process: the work stops, and the agent's main says how it ended.
TEST_F(console_test, level_1_stops_the_work) {
    EXPECT_EXIT(report(coded_error("Invalid port number", 1, 0), false),
                ::testing::ExitedWithCode(8), "");
    EXPECT_EQ(output(), "Error:\nInvalid port number\n");
    EXPECT_EXIT(report(coded_error("Invalid port number", 1, 0), true),
                ::testing::ExitedWithCode(8), "");
    EXPECT_EQ(output(), "");
}

TEST_F(console_test, internal_errors_are_printed_even_when_silent) {
    EXPECT_EXIT(report(tk_mail_assertion("x.src", 7), true), ::testing::ExitedWithCode(8), "");
    // The assertion's message carries the words "Internal error:" already: written once.
    EXPECT_EQ(output(), "Internal error: \ncode=782e7372635c37\n");
}

TEST(init_conversion, lines_carry_day_month_year_and_the_scope_sets_finished) {
    std::tm when{};
    when.tm_year = 2010 - 1900;
    when.tm_mon = 1;
    when.tm_mday = 3;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 7;
    EXPECT_EQ(init_conversion::format_line("started", when),
              "Conversion started on 03/02/2010 at 09:05:07\n");

    test_support::temp_dir dir;
    tk_trace_log log((dir.path() / "t.log").string(), true, 3, false);
    bool finished = false;
    int hook_calls = 0;
    init_conversion::set_start_hook([&] { ++hook_calls; });
    {
        init_conversion scope(&finished, true);
        EXPECT_FALSE(finished);
        EXPECT_EQ(hook_calls, 1);
    }
    init_conversion::set_start_hook(nullptr);
    EXPECT_TRUE(finished);
    const std::string lines = read_file(dir.path() / "t.log");
    EXPECT_TRUE(lines.starts_with("Conversion started on ")) << lines;
    EXPECT_NE(lines.find("\n\r\nConversion ended on "), std::string::npos) << lines;
}

}  // namespace
