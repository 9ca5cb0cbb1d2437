#include "UDB/ole_date.h"

#include <gtest/gtest.h>

#include <cstring>

#include "TK/tk_exception.h"
#include "UDB/ole_variant.h"

namespace {

TEST(ole_date, reads_the_column_text_forms) {
    const struct {
        const char* text;
        int32_t kind;
        const char* printed;
    } cases[] = {
        {"20050102030405", ole_date::kind_date_time, "2005-01-02 03:04:05"},
        {"20050102", ole_date::kind_date, "2005-01-02"},
        {"2005010203040x", ole_date::kind_invalid, ""},
        {"10:20:30", ole_date::kind_time, "0000-00-00 10:20:30"},
        // A fraction of a second is kept, never rounded into the second.
        {"10:20:30.6", ole_date::kind_time, "0000-00-00 10:20:30.600000"},
        {"10:20:30.4", ole_date::kind_time, "0000-00-00 10:20:30.400000"},
        {"10:59:59.999999", ole_date::kind_time, "0000-00-00 10:59:59.999999"},
        {"2005-12-31", ole_date::kind_date, "2005-12-31"},
        {"2005-12-31 10:20:30", ole_date::kind_date_time, "2005-12-31 10:20:30"},
        {"  2005-12-31 00:00:00  ", ole_date::kind_date, "2005-12-31"},
        {"2005-12-31 10:20:30.999", ole_date::kind_date_time, "2005-12-31 10:20:30.999000"},
        // The last moment of a day or a year stays on it: rounding would move it to the next.
        {"2005-12-31 23:59:59.5", ole_date::kind_date_time, "2005-12-31 23:59:59.500000"},
        {"2024-12-31 23:59:59.6", ole_date::kind_date_time, "2024-12-31 23:59:59.600000"},
        {"9999-12-31 23:59:59.999999", ole_date::kind_date_time, "9999-12-31 23:59:59.999999"},
        {"2005-12-31 00:00:00.000001", ole_date::kind_date_time, "2005-12-31 00:00:00.000001"},
        // Digits beyond the microsecond are cut.
        {"2005-12-31 10:20:30.1234567", ole_date::kind_date_time, "2005-12-31 10:20:30.123456"},
        {"2005.12.31", ole_date::kind_date, "2005-12-31"},
        {"31.12.2005", ole_date::kind_date, "2005-12-31"},
        {"2005/12/31 10:20:30", ole_date::kind_date_time, "2005-12-31 10:20:30"},
        {"December 31, 2005", ole_date::kind_date, "2005-12-31"},
        {"12/31/2005 10:20", ole_date::kind_date_time, "2005-12-31 10:20:00"},
        {"2005-01-02 11:30:00 PM", ole_date::kind_date_time, "2005-01-02 23:30:00"},
        {"2005-01-02 12:30:00 PM", ole_date::kind_date_time, "2005-01-02 12:30:00"},
        {"2005-01-02 12:30:00 AM", ole_date::kind_date_time, "2005-01-02 00:30:00"},
        {"2005-01-02 11:30:00 am", ole_date::kind_date_time, "2005-01-02 11:30:00"},
        {"1900-02-28", ole_date::kind_date, "1900-02-28"},
        {"9999-12-31 23:59:59", ole_date::kind_date_time, "9999-12-31 23:59:59"},
        {"0000-00-00 00:00:00", ole_date::kind_time, "0000-00-00 00:00:00"},
        {"2005-13-01", ole_date::kind_invalid, ""},
        {"2005-00-10", ole_date::kind_invalid, ""},
        {"2005-12-31 61:00:00", ole_date::kind_invalid, ""},
        {"99:99:99", ole_date::kind_invalid, ""},
        {"1234", ole_date::kind_invalid, ""},
        {"", ole_date::kind_invalid, ""},
        {"not a date at all", ole_date::kind_invalid, ""},
        {"-1:-1:-1", ole_date::kind_invalid, ""},
        {"99999999999999999-1-1", ole_date::kind_invalid, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ole_date d{std::string_view(c.text)};
        EXPECT_EQ(d.kind(), c.kind);
        EXPECT_EQ(d.is_valid(), c.kind != ole_date::kind_invalid);
        EXPECT_EQ(d.to_string(), c.printed);
        EXPECT_EQ(ole_date(std::wstring(c.text, c.text + std::strlen(c.text))).to_string(),
                  c.printed);
    }
}

TEST(ole_date, milliseconds_are_read_as_decimal_digits) {
    ole_date d{std::string_view("2005-12-31 10:20:30.29")};
    EXPECT_EQ(d.parts().wMilliseconds, 290);
    EXPECT_EQ(d.parts().wSecond, 30);
    EXPECT_EQ(d.microseconds(), 290000u);
    d.process_milliseconds("7.125");
    EXPECT_EQ(d.parts().wSecond, 7);
    EXPECT_EQ(d.parts().wMilliseconds, 125);
    // Binary fractions would turn .000029 into 28 microseconds.
    d.process_milliseconds("59.000029");
    EXPECT_EQ(d.microseconds(), 29u);
    EXPECT_EQ(d.parts().wMilliseconds, 0);
    EXPECT_THROW(d.process_milliseconds(nullptr), tk_mail_assertion);
}

TEST(ole_date, refine_type_and_zero_time) {
    SYSTEMTIME t;
    t.wYear = 2005, t.wMonth = 12, t.wDay = 31;
    ole_date date(t);
    EXPECT_EQ(date.kind(), ole_date::kind_date);
    t.wHour = 1;
    ole_date date_time(t);
    EXPECT_EQ(date_time.kind(), ole_date::kind_date_time);
    SYSTEMTIME time_only;
    time_only.wMinute = 5;
    EXPECT_EQ(ole_date(time_only).kind(), ole_date::kind_time);

    ole_date midnight{std::string_view("20051231000000")};
    EXPECT_EQ(midnight.kind(), ole_date::kind_date_time);
    EXPECT_EQ(midnight.to_string(), "2005-12-31");
    midnight.set_omit_zero_time(false);
    EXPECT_EQ(midnight.to_string(), "2005-12-31 00:00:00");
    midnight.refine_type();
    EXPECT_EQ(midnight.kind(), ole_date::kind_date);
}

TEST(ole_date, dates_that_the_platform_cannot_hold_keep_their_parts) {
    // 1900-02-29 does not exist: the value keeps its parts for the destination to judge.
    const ole_variant leap = ole_variant::from_string("1900-02-29", VT_DATE);
    ASSERT_EQ(leap.vartype(), VT_DATE);
    EXPECT_EQ(leap.to_string(), "1900-02-29");
    EXPECT_EQ(leap.variant().date, 0.0);
    const ole_variant before = ole_variant::from_string("1900-02-28", VT_DATE);
    EXPECT_EQ(before.variant().date, 60.0);
    const ole_variant last = ole_variant::from_string("9999-12-31 23:59:59", VT_DATE);
    EXPECT_DOUBLE_EQ(last.variant().date, 2958465.0 + 86399.0 / 86400.0);
    const ole_variant time = ole_variant::from_string("18:00:00", VT_DATE);
    EXPECT_DOUBLE_EQ(time.variant().date, 0.75);
}

}  // namespace
