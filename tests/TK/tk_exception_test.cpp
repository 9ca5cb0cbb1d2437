#include "TK/tk_exception.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "TK/tk_singleton.h"

namespace {

TEST(tk_exception, empty_text_reads_unknown_exception) {
    EXPECT_STREQ(tk_exception("", 0).what(), "Unknown exception");
    EXPECT_STREQ(tk_exception(1).what(), "Unknown exception");
    EXPECT_STREQ(tk_exception(std::wstring(L"caf\u00e9"), 1).what(), "caf\xc3\xa9");
    EXPECT_EQ(tk_exception("x", 1).code(), 0);
}

TEST(tk_exception, assertion_encodes_file_and_line) {
    tk_mail_assertion e("x.src", 7);
    EXPECT_STREQ(e.what(), "Internal error: \ncode=782e7372635c37");
    EXPECT_EQ(e.level(), 2);
}

TEST(tk_exception, errno_exception_carries_code_and_text) {
    tk_exception_ex e(ENOENT);
    EXPECT_EQ(e.level(), 1);
    EXPECT_EQ(e.code(), ENOENT);
    EXPECT_STREQ(e.what(), "No such file or directory");
}

struct only_one : tk_singleton<only_one> {};

TEST(tk_singleton, second_instance_and_missing_instance_are_internal_errors) {
    EXPECT_THROW(only_one::instance(), tk_mail_assertion);
    {
        only_one first;
        EXPECT_EQ(&only_one::instance(), &first);
        EXPECT_THROW(only_one second, tk_mail_assertion);
        EXPECT_EQ(&only_one::instance(), &first);
    }
    EXPECT_EQ(only_one::instance_or_null(), nullptr);
}

}  // namespace
