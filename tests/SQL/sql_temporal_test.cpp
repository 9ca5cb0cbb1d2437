// MySQL's texts of dates, times and timestamps read exactly: every form the client sends, at
// both ends of its range, with and without fractions, and the "no date" values of the lenient
// modes.
#include <gtest/gtest.h>

#include "SQL/sql_temporal.h"
#include "SQL/sql_type_map.h"

namespace {

using status = sql_temporal_status;

TEST(sql_temporal, reads_every_form_to_the_microsecond) {
    struct {
        int type;
        const char* text;
        status expected;
        const wchar_t* printed;  // the value's text when it is one
        uint32_t microseconds;
        bool negative;
    } const cases[] = {
        {sql_type_date, "1000-01-01", status::value, L"1000-01-01", 0, false},
        {sql_type_date, "9999-12-31", status::value, L"9999-12-31", 0, false},
        {sql_type_datetime, "9999-12-31 23:59:59.999999", status::value,
         L"9999-12-31 23:59:59.999999", 999999, false},
        // The last moment of a year stays in it.
        {sql_type_datetime, "2024-12-31 23:59:59.6", status::value, L"2024-12-31 23:59:59.600000",
         600000, false},
        {sql_type_timestamp, "1970-01-01 00:00:01.000001", status::value,
         L"1970-01-01 00:00:01.000001", 1, false},
        {sql_type_datetime, "2024-02-29 00:00:00", status::value, L"2024-02-29", 0, false},
        {sql_type_time, "00:00:00", status::value, L"0000-00-00 00:00:00", 0, false},
        {sql_type_time, "23:59:59.999999", status::value, L"0000-00-00 23:59:59.999999", 999999,
         false},
        // Beyond a day and below zero: durations, kept exactly.
        {sql_type_time, "838:59:59", status::value, L"0000-00-00 838:59:59", 0, false},
        {sql_type_time, "-838:59:59.000000", status::value, L"0000-00-00 -838:59:59", 0, true},
        {sql_type_time, "-00:00:00.000001", status::value, L"0000-00-00 -00:00:00.000001", 1, true},
        // A sign without a magnitude is midnight.
        {sql_type_time, "-00:00:00", status::value, L"0000-00-00 00:00:00", 0, false},
        {sql_type_date, "0000-00-00", status::zero_date, L"", 0, false},
        {sql_type_datetime, "0000-00-00 00:00:00.000000", status::zero_date, L"", 0, false},
        {sql_type_date, "2024-00-00", status::partial_zero_date, L"", 0, false},
        {sql_type_datetime, "2024-05-00 10:00:00", status::partial_zero_date, L"", 0, false},
        {sql_type_date, "2024-00-15", status::partial_zero_date, L"", 0, false},
        // The year 0 is a value here; Oracle refuses it later, with the record's report.
        {sql_type_date, "0000-05-10", status::value, L"0000-05-10", 0, false},
        {sql_type_date, "2024-13-01", status::unreadable, L"", 0, false},
        {sql_type_datetime, "2024-01-01 24:00:00", status::unreadable, L"", 0, false},
        {sql_type_time, "839:00:00", status::unreadable, L"", 0, false},
        {sql_type_time, "10:60:00", status::unreadable, L"", 0, false},
        {sql_type_datetime, "2024-01-01 10:00:00.1234567", status::unreadable, L"", 0, false},
        {sql_type_date, "2024-01-01 10:00:00", status::unreadable, L"", 0, false},
        {sql_type_date, "", status::unreadable, L"", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const sql_temporal read = sql_read_temporal(c.type, c.text);
        EXPECT_EQ(read.status, c.expected);
        if (c.expected != status::value) {
            EXPECT_TRUE(read.value.is_null());
            continue;
        }
        ASSERT_EQ(read.value.vartype(), VT_DATE);
        EXPECT_EQ(read.value.to_wstring(), c.printed);
        EXPECT_EQ(read.value.date_microseconds(), c.microseconds);
        EXPECT_EQ(read.value.date_negative(), c.negative);
    }
}

TEST(sql_temporal, tells_times_of_day_from_durations) {
    EXPECT_FALSE(sql_read_temporal(sql_type_time, "23:59:59.999999").value.is_long_duration());
    EXPECT_TRUE(sql_read_temporal(sql_type_time, "24:00:00").value.is_long_duration());
    EXPECT_TRUE(sql_read_temporal(sql_type_time, "-00:00:01").value.is_long_duration());
    EXPECT_FALSE(
        sql_read_temporal(sql_type_datetime, "2024-01-01 10:00:00").value.is_long_duration());
}

}  // namespace
