// The embedded Oracle target for tests and benchmarks: a private ORALITE_HOME folder in which
// databases are created with the `oralite` tool of $TARVOLIN_BIN_DIR, and users are created
// through the product's own engine as SYSTEM. The OCI library itself is found by the engine's
// probe: the tests set TARVOLIN_OCI_LIBRARY to build/bin/liboralite.so.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "test_support/temp_dir.h"

namespace test_support {

class oralite_target {
  public:
    oralite_target() { setenv("ORALITE_HOME", home_.path().c_str(), 1); }

    static std::string tool() {
        const char* bin = std::getenv("TARVOLIN_BIN_DIR");
        return std::string(bin == nullptr ? "." : bin) + "/oralite";
    }

    // Creates the database NAME (reachable by that name, and on port 1521 of this machine).
    void create_database(const std::string& name, const std::string& extra = "") const {
        const std::string command = "'" + tool() + "' create '" +
                                    (home_.path() / (name + ".db")).string() + "' " + extra +
                                    " >/dev/null";
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("cannot create the oralite database: " + command);
        }
    }

    const std::filesystem::path& home() const { return home_.path(); }

  private:
    temp_dir home_;
};

}  // namespace test_support
