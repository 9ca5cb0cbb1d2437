// Connection values of the private MariaDB server that the CTest fixture "mariadb" starts
// (scripts/mariadb-sandbox). A test calls mariadb_sandbox::get() and skips itself when it
// returns nothing, which happens only when the test runs outside CTest without a server.
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace test_support {

struct mariadb_sandbox {
    std::string host;
    unsigned port = 0;
    std::string socket;
    std::string user;
    std::string password;

    static std::optional<mariadb_sandbox> get() {
        const char* file = std::getenv("TARVOLIN_MARIADB_ENV");
        if (file == nullptr) {
            return std::nullopt;
        }
        std::ifstream in(file);
        std::map<std::string, std::string> values;
        for (std::string line; std::getline(in, line);) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) {
                values[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        if (values["MARIADB_PORT"].empty()) {
            return std::nullopt;
        }
        mariadb_sandbox s;
        s.host = values["MARIADB_HOST"];
        s.port = static_cast<unsigned>(std::stoul(values["MARIADB_PORT"]));
        s.socket = values["MARIADB_SOCKET"];
        s.user = values["MARIADB_USER"];
        s.password = values["MARIADB_PASSWORD"];
        return s;
    }
};

}  // namespace test_support

// Skips the current test when no sandbox server is running (outside CTest).
#define REQUIRE_MARIADB_SANDBOX(var)                                          \
    auto var##_optional = test_support::mariadb_sandbox::get();               \
    if (!var##_optional) {                                                    \
        GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";   \
    }                                                                         \
    const test_support::mariadb_sandbox& var = *var##_optional
