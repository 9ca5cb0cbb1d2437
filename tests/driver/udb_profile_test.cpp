#include "UDB/udb_profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TK/tk_exception.h"
#include "platform/codepage.h"
#include "test_support/temp_dir.h"

namespace {

using keys = udb_profile::key_map;

std::wstring wide(const std::filesystem::path& path) {
    return platform::ansi_to_wide(path.string());
}

void write_bytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

struct load_case {
    const char* name;
    std::string file;
    udb_profile::section_map expected;
};

class profile_load : public ::testing::TestWithParam<load_case> {};

TEST_P(profile_load, reads_sections_and_keys) {
    platform::init_locale();
    test_support::temp_dir dir;
    const auto path = dir.path() / "p.drx";
    write_bytes(path, GetParam().file);
    udb_profile profile;
    ASSERT_TRUE(profile.load_file(wide(path)));
    EXPECT_EQ(profile.sections(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    edge_cases, profile_load,
    ::testing::Values(
        load_case{
            "key_line_first_gives_empty_profile", "src=shop\r\n[Generic settings]\r\nx=1\r\n", {}},
        load_case{"byte_order_mark_before_the_first_section_is_skipped",
                  "\xEF\xBB\xBF[Generic settings]\r\nsrc=shop\r\n",
                  {{L"Generic settings", keys{{L"src", L"shop"}}}}},
        load_case{"byte_order_mark_on_a_blank_first_line",
                  "\xEF\xBB\xBF  \r\n[S]\r\nk=v\r\n",
                  {{L"S", keys{{L"k", L"v"}}}}},
        load_case{"byte_order_mark_elsewhere_is_text",
                  "[S]\r\n\xEF\xBB\xBFk=v\r\n",
                  {{L"S", keys{{L"\uFEFFk", L"v"}}}}},
        load_case{"byte_order_mark_then_a_key_line_is_still_a_key_line_first",
                  "\xEF\xBB\xBFk=v\r\n[S]\r\nj=w\r\n",
                  {}},
        load_case{"key_line_stops_only_before_first_section",
                  "[A]\r\nk=v\r\n",
                  {{L"A", keys{{L"k", L"v"}}}}},
        load_case{"value_keeps_everything_after_first_equals",
                  "[Selected Tables]\nq1=SELECT * FROM t WHERE a = 1\n",
                  {{L"Selected Tables", keys{{L"q1", L"SELECT * FROM t WHERE a = 1"}}}}},
        load_case{"blanks_trimmed_around_key_and_line_only",
                  "  [S]  \n   key  =  value  \n",
                  {{L"S", keys{{L"key", L"  value"}}}}},
        load_case{"tabs_are_not_blanks", "[S]\n\tk\t=v\t\n", {{L"S", keys{{L"\tk\t", L"v\t"}}}}},
        load_case{"line_without_equals_is_key_with_empty_value",
                  "[S]\r\norders\r\n\r\n\r\n",
                  {{L"S", keys{{L"orders", L""}}}}},
        load_case{"first_value_wins_and_repeated_section_continues",
                  "[S]\nk=1\n[T]\nz=\n[S]\nk=2\nm=3\n",
                  {{L"S", keys{{L"k", L"1"}, {L"m", L"3"}}}, {L"T", keys{{L"z", L""}}}}},
        load_case{"section_name_is_kept_as_written",
                  "[ a b ]\nk\n[]\nj\n",
                  {{L" a b ", keys{{L"k", L""}}}, {L"", keys{{L"j", L""}}}}},
        load_case{"utf8_text_is_decoded",
                  "[S]\nna\xC3\xAFve=\xE2\x82\xAC \xF0\x9F\x98\x80\n",
                  {{L"S", keys{{L"na\u00efve", L"\u20ac \U0001F600"}}}}},
        load_case{"last_line_without_line_end", "[S]\nk=v", {{L"S", keys{{L"k", L"v"}}}}},
        load_case{"empty_section_is_held", "[S]\n", {{L"S", keys{}}}},
        load_case{"empty_file", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A line too long is the user's file, not an internal fault: a level-1 error that names the
// file and the line, with the lines before it kept.
TEST(profile_file, line_length_limit_is_4094_bytes) {
    test_support::temp_dir dir;
    const auto path = dir.path() / "p.drx";
    const std::string longest = "k=" + std::string(udb_profile::max_line_bytes - 2, 'x');
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        const char* what;
        std::string file;
        size_t refused_line;  // 0: loads
    } rows[] = {
        {"4094 bytes and CRLF", "[S]\r\n" + longest + "\r\n", 0},
        {"4094 bytes at the end", "[S]\r\n" + longest, 0},
        {"the mark does not count", bom + "[S]" + std::string(4091, ' ') + "\r\n", 0},
        {"4095 bytes and CRLF", "[S]\r\n" + longest + "y\r\n", 2},
        {"4095 bytes and LF", "[S]\n\n" + longest + "y\n", 3},
        {"4095 bytes at the end", "[S]\r\n" + longest + "y", 2},
        {"a carriage return inside counts", "[S]\r\n" + longest + "\ry\n", 2},
        {"far longer", "[S]\n" + std::string(100000, 'z') + "\n", 2},
        {"on the first line", "[S]" + std::string(4092, ' ') + "\n", 1},
    };
    for (const auto& row : rows) {
        write_bytes(path, row.file);
        udb_profile profile;
        if (row.refused_line == 0) {
            EXPECT_TRUE(profile.load_file(wide(path))) << row.what;
            continue;
        }
        try {
            profile.load_file(wide(path));
            ADD_FAILURE() << row.what << ": loaded";
        } catch (const tk_mail_assertion&) {
            ADD_FAILURE() << row.what << ": an internal error";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 1) << row.what;
            EXPECT_EQ(e.message(), "Profile file '" + path.string() +
                                       "' has a line longer than 4094 bytes (line " +
                                       std::to_string(row.refused_line) + ").")
                << row.what;
        }
        EXPECT_EQ(profile.sections().count(L"S"), row.refused_line > 1 ? 1u : 0u) << row.what;
    }
    write_bytes(path, "[S]\r\n" + longest + "\r\n");
    udb_profile ok;
    ASSERT_TRUE(ok.load_file(wide(path)));
    EXPECT_EQ(ok.get_value(L"S", L"k").size(), udb_profile::max_line_bytes - 2);
}

TEST(profile_file, missing_file_is_not_loaded_and_changes_nothing) {
    test_support::temp_dir dir;
    udb_profile profile;
    profile.set_value(L"S", L"k", L"v");
    EXPECT_FALSE(profile.load_file(wide(dir.path() / "absent.drx")));
    EXPECT_EQ(profile.get_value(L"S", L"k"), L"v");
    EXPECT_EQ(profile.get_value(L"S", L"absent"), L"");
    EXPECT_EQ(profile.get_value(L"absent", L"k"), L"");
    EXPECT_TRUE(profile.section(L"absent").empty());
}

TEST(profile_file, saves_in_code_unit_order_with_crlf) {
    test_support::temp_dir dir;
    const auto path = dir.path() / "p.drx";
    udb_profile profile;
    for (const wchar_t* key : {L"src", L"skip indexes", L"only definitions", L"mode", L"dest"}) {
        profile.set_value(L"Generic settings", key, L"1");
    }
    profile.set_value(L"Selected Tables", L"orders", L"");
    profile.set_value(L"Selected Tables", L"q1", L"SELECT * FROM orders WHERE id > 10");
    profile.set_value(L"Oracle settings", L"IP", L"");
    profile.set_value(L"Available Queries", L"B", L"SELECT 1");
    profile.set_value(L"Available Queries", L"a", L"SELECT 2");
    profile.set_value(L"Empty", L"k", L"");
    profile.set_value(L"Empty", L"k", L"ignored");
    profile.set_value(L"Nothing", L"k", L"");
    ASSERT_TRUE(profile.save_file(wide(path)));
    EXPECT_EQ(read_bytes(path),
              "[Available Queries]\r\nB=SELECT 1\r\na=SELECT 2\r\n\r\n"
              "[Empty]\r\nk=\r\n\r\n"
              "[Generic settings]\r\ndest=1\r\nmode=1\r\nonly definitions=1\r\n"
              "skip indexes=1\r\nsrc=1\r\n\r\n"
              "[Nothing]\r\nk=\r\n\r\n"
              "[Oracle settings]\r\nIP=\r\n\r\n"
              "[Selected Tables]\r\norders\r\nq1=SELECT * FROM orders WHERE id > 10\r\n\r\n");
}

TEST(profile_file, order_follows_utf16_units_above_the_basic_plane) {
    // U+FF21 is one UTF-16 unit (FF21); U+1F600 is the pair D83D DE00, which sorts before it.
    udb_code_unit_less less;
    EXPECT_TRUE(less(L"\U0001F600", L"\uFF21"));
    EXPECT_FALSE(less(L"\uFF21", L"\U0001F600"));
    EXPECT_TRUE(less(L"\uD7FF", L"\U0001F600"));
    EXPECT_TRUE(less(L"B", L"a"));
    EXPECT_TRUE(less(L"a", L"ab"));
}

TEST(profile_file, round_trip_keeps_every_value) {
    platform::init_locale();
    test_support::temp_dir dir;
    const auto path = dir.path() / "p.drx";
    udb_profile saved;
    saved.set_value(L"Selected Tables", L"\u0437\u0430\u043a\u0430\u0437\u044b", L"");
    saved.set_value(L"Selected Tables", L"q", L"SELECT 'a=b', '\U0001F600' FROM t");
    saved.set_value(L"MySQL settings", L"password", L" p@ss=word");
    ASSERT_TRUE(saved.save_file(wide(path)));
    udb_profile loaded;
    ASSERT_TRUE(loaded.load_file(wide(path)));
    EXPECT_EQ(loaded.sections(), saved.sections());
}

TEST(profile_file, line_breaks_in_a_value_do_not_split_it) {
    test_support::temp_dir dir;
    const auto path = dir.path() / "p.drx";
    udb_profile saved;
    saved.set_value(L"Selected Tables", L"q", L"SELECT a\r\nFROM t\nWHERE a > 1");
    ASSERT_TRUE(saved.save_file(wide(path)));
    udb_profile loaded;
    ASSERT_TRUE(loaded.load_file(wide(path)));
    EXPECT_EQ(loaded.section(L"Selected Tables"), (keys{{L"q", L"SELECT a  FROM t WHERE a > 1"}}));
}

TEST(profile_file, save_refuses_what_cannot_be_read_back) {
    test_support::temp_dir dir;
    const auto path = dir.path() / "p.drx";
    write_bytes(path, "previous");
    udb_profile profile;
    profile.set_value(L"Selected Tables", L"q", std::wstring(udb_profile::max_line_bytes, L'x'));
    EXPECT_FALSE(profile.save_file(wide(path)));
    EXPECT_EQ(read_bytes(path), "previous");
    EXPECT_FALSE(udb_profile().save_file(wide(dir.path() / "no" / "such" / "dir.drx")));
}

TEST(profile_file, keys_that_would_read_back_differently_are_refused) {
    test_support::temp_dir dir;
    const auto path = dir.path() / "p.drx";
    for (const wchar_t* key :
         {L"a=b", L"", L" lead", L"trail ", L"[looks like a section]", L"two\nlines"}) {
        write_bytes(path, "previous");
        EXPECT_FALSE(udb_profile::is_storable_key(key));
        udb_profile profile;
        profile.set_value(L"Selected Tables", key, L"SELECT 1");
        EXPECT_FALSE(profile.save_file(wide(path)));
        EXPECT_EQ(read_bytes(path), "previous");
    }
    for (const wchar_t* key : {L"orders", L"big orders", L"[x", L"\u00e9t\u00e9"}) {
        EXPECT_TRUE(udb_profile::is_storable_key(key));
    }
}

}  // namespace
