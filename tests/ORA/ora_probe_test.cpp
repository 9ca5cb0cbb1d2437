// Runs with TARVOLIN_OCI_LIBRARY naming a library that does not exist: the first connection
// must fail with the exact text, and no OCI handle may exist afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <fstream>
#include <iterator>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "TK/tk_trace_log.h"
#include "test_support/temp_dir.h"

namespace {

TEST(ora_engine, missing_client_library) {
    ASSERT_NE(std::getenv("TARVOLIN_OCI_LIBRARY"), nullptr);
    const test_support::temp_dir folder;
    const std::string log_file = (folder.path() / "trace.log").string();
    auto log = std::make_unique<tk_trace_log>(log_file, true, 1, false);
    ora_engine engine;
    try {
        engine.open_db(L"ORALITE", L"scott", L"s3cret-word");
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
    EXPECT_THROW(engine.open_db(L"localhost", L"scott", L"s3cret-word", L"1521"), tk_exception);

    // The log-on is traced, its password is not.
    log.reset();
    std::ifstream in(log_file);
    const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(trace.find("ora_engine::open_db( ORALITE, scott, *** )"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("s3cret-word"), std::string::npos) << trace;
}

TEST(ora_engine, an_invalid_handle_is_an_internal_error) {
    ora_engine engine;
    EXPECT_EQ(engine.check(OCI_SUCCESS_WITH_INFO), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(engine.check(OCI_NO_DATA), OCI_NO_DATA);
    EXPECT_THROW(engine.check(OCI_INVALID_HANDLE), tk_mail_assertion);
}

}  // namespace
