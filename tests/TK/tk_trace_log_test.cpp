#include "TK/tk_trace_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_support/temp_dir.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(tk_trace_log, calls_without_log_or_while_disabled_do_nothing) {
    tk_trace(3, "no log yet %d", 1);
    test_support::temp_dir dir;
    const auto path = dir.path() / "t.log";
    {
        std::ofstream(path) << "previous run";
        tk_trace_log log(path.string(), false, 3, false);
        tk_trace(3, "disabled");
    }
    EXPECT_EQ(read_file(path), "previous run");
}

TEST(tk_trace_log, first_call_empties_the_file_even_below_min_level) {
    test_support::temp_dir dir;
    const auto path = dir.path() / "t.log";
    std::ofstream(path) << "previous run\r\n";
    tk_trace_log log(path.string(), true, 3, false);
    tk_trace(1, "fine %s", "detail");
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(read_file(path), "");
    tk_trace(3, "Error:\n%s", "boom");
    tk_trace(2, "dropped");
    tk_trace_w(3, L"wide %ls \u00e9", L"text");
    EXPECT_EQ(read_file(path), "Error:\nboom\r\nwide text \xc3\xa9\r\n");
}

TEST(tk_trace_log, over_long_wide_line_keeps_only_the_line_end) {
    test_support::temp_dir dir;
    const auto path = dir.path() / "t.log";
    tk_trace_log log(path.string(), true, 1, false);
    // 5000 characters of three UTF-8 bytes each: within the wide limit, over the byte limit.
    tk_trace_w(1, L"%ls", std::wstring(5000, L'\u20ac').c_str());
    tk_trace_w(1, L"%ls", std::wstring(20000, L'a').c_str());
    EXPECT_EQ(read_file(path), "\r\n" + std::string(10239, 'a') + "\r\n");
}

TEST(tk_trace_log, default_name_is_program_path_with_log_extension) {
    const std::string name = tk_trace_log::default_file_name();
    EXPECT_TRUE(name.ends_with("/tk_tests.log")) << name;
}

}  // namespace
