// Small helpers over the POSIX file calls shared by the stand-ins.
#pragma once

#include <string_view>

namespace platform {

// Writes all of data to fd, retrying after interruptions; false on any failure.
bool write_all(int fd, std::string_view data);

}  // namespace platform
