// The locale the programs set up at start: the user's character set, and numbers always read
// and printed with a decimal point.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/comma_locale.h"
#include "platform/codepage.h"

namespace {

using agent_test::comma_locale;
using agent_test::scoped_environment;

struct locale_case {
    const char* what;
    std::map<std::string, std::string> environment;
    const char* character_set_locale;  // LC_CTYPE after init_locale
};

// Runs init_locale in a child process under the environment and ends it with status 0 when
// LC_CTYPE is the expected one and numbers are read and printed with a decimal point; the
// child says on standard error what it found otherwise.
[[noreturn]] void set_up_and_check(const locale_case& row) {
    platform::init_locale();
    char printed[32];
    std::snprintf(printed, sizeof printed, "%g", 2.5);
    const double read = std::strtod("0.25", nullptr);
    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    const bool good = std::strcmp(printed, "2.5") == 0 && read == 0.25 &&
                      std::strcmp(numeric, "C") == 0 &&
                      std::strcmp(ctype, row.character_set_locale) == 0;
    std::fprintf(stderr, "%s: printed %s, read %g, LC_NUMERIC %s, LC_CTYPE %s\n", row.what, printed,
                 read, numeric, ctype);
    std::_Exit(good ? 0 : 1);
}

TEST(init_locale, takes_the_users_character_set_and_keeps_a_decimal_point) {
    const comma_locale comma;
    if (!comma.ready()) {
        GTEST_SKIP() << "localedef cannot build a locale on this machine";
    }
    const std::string name = comma_locale::name;
    const locale_case rows[] = {
        {"decimal comma in LC_NUMERIC", {{"LANG", "C.UTF-8"}, {"LC_NUMERIC", name}}, "C.UTF-8"},
        {"decimal comma in LC_ALL", {{"LC_ALL", name}}, comma_locale::name},
        // A missing locale makes setlocale(LC_ALL, "") fail as a whole; the character set is
        // still the user's.
        {"one category names a missing locale",
         {{"LANG", name}, {"LC_TIME", "zz_ZZ"}},
         comma_locale::name},
        {"no locale chosen", {}, "C.UTF-8"},
    };
    for (const locale_case& row : rows) {
        auto environment = agent_test::no_locale_variables();
        environment["LOCPATH"] = comma.folder();
        for (const auto& [key, value] : row.environment) {
            environment[key] = value;
        }
        const scoped_environment scope(environment);
        EXPECT_EXIT(set_up_and_check(row), ::testing::ExitedWithCode(0), "") << row.what;
    }
}

}  // namespace
