#include "TK/tk_cmdli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TK/tk_exception.h"

namespace {

const cmdli_option options[] = {
    {0, "--blob2text"}, {2, "--dest="},      {3, "--help"},
    {16, "--tab_def"},  {17, "--tab_file="}, {0, ""},
};

struct parsed {
    std::vector<std::pair<int, std::string>> options;  // id and value per argument
    std::vector<std::string> unrecognised;
};

parsed parse(const std::vector<const char*>& args) {
    tk_cmdli it(static_cast<int>(args.size()), args.data(), options);
    parsed out;
    for (; it.valid(); it.next()) {
        out.options.emplace_back(it.id(), it.value());
    }
    out.unrecognised = it.unrecognised();
    EXPECT_EQ(it.unrecognised_count(), out.unrecognised.size());
    return out;
}

TEST(tk_cmdli, first_matching_prefix_wins) {
    const parsed got = parse({"--helpme", "--tab_defx", "--tab_file", "--tab_file=t.txt",
                              "--dest=", "--dest==a=b", "-help", "--blob2text"});
    const std::vector<std::pair<int, std::string>> expected = {
        {3, "me"}, {16, "x"}, {-1, ""}, {17, "t.txt"}, {2, ""}, {2, "=a=b"}, {-1, ""}, {0, ""},
    };
    EXPECT_EQ(got.options, expected);
    EXPECT_EQ(got.unrecognised, (std::vector<std::string>{"--tab_file", "-help"}));
}

// A value written after a flag would be dropped and the flag switched on whatever it says
// ("--tab_def=0"): such an argument matches no row. Other characters after a flag's name keep
// the prefix rule, and a valued option keeps its "=" text.
TEST(tk_cmdli, a_flag_written_with_a_value_is_unrecognised) {
    const parsed got = parse({"--tab_def=0", "--tab_def=", "--blob2text=1", "--help=yes",
                              "--tab_defx=1", "--tab_def", "--tab_file==x", "--dest=--help"});
    const std::vector<std::pair<int, std::string>> expected = {
        {-1, ""}, {-1, ""}, {-1, ""}, {-1, ""}, {16, "x=1"}, {16, ""}, {17, "=x"}, {2, "--help"},
    };
    EXPECT_EQ(got.options, expected);
    EXPECT_EQ(got.unrecognised, (std::vector<std::string>{
                                    "--tab_def=0", "--tab_def=", "--blob2text=1", "--help=yes"}));
}

TEST(tk_cmdli, twenty_unrecognised_arguments_are_kept_and_the_21st_is_an_internal_error) {
    std::vector<std::string> words;
    for (int i = 0; i < 21; ++i) {
        words.push_back("x" + std::to_string(i));
    }
    std::vector<const char*> args;
    for (int i = 0; i < 20; ++i) {
        args.push_back(words[i].c_str());
    }
    EXPECT_EQ(parse(args).unrecognised.size(), 20u);
    args.push_back(words[20].c_str());
    EXPECT_THROW(parse(args), tk_mail_assertion);
}

}  // namespace
