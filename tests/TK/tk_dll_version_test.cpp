#include "TK/tk_dll_version.h"

#include <gtest/gtest.h>

namespace {

// The two libraries are built beside the tests: one exports DllGetVersion (version 6.10),
// the other does not.
TEST(get_dll_version, reads_major_and_minor_from_the_library) {
    EXPECT_EQ(get_dll_version(TK_TEST_VERSIONED_LIBRARY), (6u << 16) | 10u);
    EXPECT_EQ(get_dll_version(TK_TEST_UNVERSIONED_LIBRARY), 0u);
    EXPECT_EQ(get_dll_version("/nonexistent/libnothing.so"), 0u);
    EXPECT_EQ(get_dll_version(nullptr), 0u);
}

}  // namespace
