// Points the registry stand-in (and anything else reading $XDG_CONFIG_HOME) at a private
// temporary folder for the lifetime of the object.
#pragma once

#include <cstdlib>

#include "test_support/temp_dir.h"

namespace test_support {

class config_home {
public:
    config_home() { setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1); }
    ~config_home() { unsetenv("XDG_CONFIG_HOME"); }
    config_home(const config_home&) = delete;
    config_home& operator=(const config_home&) = delete;

    const std::filesystem::path& path() const { return dir_.path(); }

private:
    temp_dir dir_;
};

}  // namespace test_support
