// Runs with TARVOLIN_OCI_LIBRARY naming a library that does not exist: the first connection
// must fail with the exact text, and no OCI handle may exist afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"

namespace {

TEST(ora_engine, missing_client_library) {
    ASSERT_NE(std::getenv("TARVOLIN_OCI_LIBRARY"), nullptr);
    ora_engine engine;
    try {
        engine.open_db(L"ORALITE", L"scott", L"tiger");
        FAIL() << "the connection succeeded without a client library";
    } catch (const ora_exception&) {
        FAIL() << "an Oracle error instead of the missing-client text";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(),
                     "The Oracle client and networking components were not found.\n"
                     "These components are supplied by the Oracle Corporation and\n"
                     "are part of the Oracle Version 7.3.4 (or later) client\n"
                     "software installation. You will be unable to use this program\n"
                     "until these components have been installed.");
    }
    EXPECT_FALSE(engine.is_initialized());
    EXPECT_EQ(engine.env(), nullptr);
    EXPECT_EQ(engine.error(), nullptr);
    EXPECT_FALSE(engine.logged_on());
    // The direct form goes the same way, and so does every later attempt.
    EXPECT_THROW(engine.open_db(L"localhost", L"scott", L"tiger", L"1521"), tk_exception);
}

}  // namespace
