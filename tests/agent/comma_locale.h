// A locale that writes numbers with a decimal comma, for tests of how the programs read and
// print numbers under such a locale. It is compiled by the C library's localedef from a
// definition of its own, so that it needs no locale package: select it with LOCPATH set to
// folder() and LC_NUMERIC (or LC_ALL) set to name. Its character set is ASCII.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace agent_test {

class comma_locale {
  public:
    static constexpr const char* name = "xx_XX";

    comma_locale() {
        const auto source = dir_.path() / "comma.def";
        std::ofstream(source) << "LC_NUMERIC\n"
                                 "decimal_point \"<U002C>\"\n"
                                 "thousands_sep \"<U002E>\"\n"
                                 "grouping 3;3\n"
                                 "END LC_NUMERIC\n";
        if (std::filesystem::exists(localedef)) {
            // -c: the categories left out are taken from POSIX, with a warning and status 1.
            test_support::run_process(localedef,
                                      {"-c", "-i", source.string(), (dir_.path() / name).string()});
        }
        ready_ = std::filesystem::exists(dir_.path() / name / "LC_NUMERIC");
    }

    // False when localedef is missing or could not build the locale (the test then skips).
    bool ready() const { return ready_; }
    std::string folder() const { return dir_.path().string(); }

  private:
    static constexpr const char* localedef = "/usr/bin/localedef";

    test_support::temp_dir dir_;
    bool ready_ = false;
};

// Sets environment variables (nullopt unsets one) for its lifetime; child processes started
// meanwhile inherit them.
class scoped_environment {
  public:
    explicit scoped_environment(const std::map<std::string, std::optional<std::string>>& values) {
        for (const auto& [key, value] : values) {
            const char* old = std::getenv(key.c_str());
            saved_[key] = old == nullptr ? std::nullopt : std::optional<std::string>(old);
            set(key, value);
        }
    }
    ~scoped_environment() {
        for (const auto& [key, value] : saved_) {
            set(key, value);
        }
    }
    scoped_environment(const scoped_environment&) = delete;
    scoped_environment& operator=(const scoped_environment&) = delete;

  private:
    static void set(const std::string& key, const std::optional<std::string>& value) {
        if (value) {
            setenv(key.c_str(), value->c_str(), 1);
        } else {
            unsetenv(key.c_str());
        }
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

// Every variable that chooses a locale category, unset, so that a test names only what it
// means.
inline std::map<std::string, std::optional<std::string>> no_locale_variables() {
    std::map<std::string, std::optional<std::string>> values;
    for (const char* key : {"LC_ALL", "LANG", "LANGUAGE", "LC_CTYPE", "LC_NUMERIC", "LC_TIME",
                            "LC_COLLATE", "LC_MONETARY", "LC_MESSAGES", "LC_PAPER", "LC_NAME",
                            "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"}) {
        values[key] = std::nullopt;
    }
    return values;
}

}  // namespace agent_test
