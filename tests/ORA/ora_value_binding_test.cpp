// What a value becomes when it is bound for its Oracle column: exact, altered by a rule (and
// said so), or refused for its record; and the column kinds and SQL expressions of binds.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ORA/ora_temporal.h"
#include "ORA/ora_value_binding.h"

namespace {

SYSTEMTIME moment(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    SYSTEMTIME t;
    t.wYear = static_cast<uint16_t>(y), t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d), t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi), t.wSecond = static_cast<uint16_t>(s);
    return t;
}

t_ftd date_column(int32_t kind, int32_t digits) {
    t_ftd column(L"c", VT_DATE, 0, false, false, ole_variant(), kind);
    column.fraction_digits = digits;
    return column;
}

TEST(ora_value_binding, columns_have_their_bind_kind_and_expression) {
    struct {
        t_ftd column;
        ora_bind_kind kind;
        const wchar_t* expression;
    } const cases[] = {
        {t_ftd(L"c", VT_BSTR, 10), ora_bind_kind::text, L":v"},
        {t_ftd(L"c", VT_BSTR, 0), ora_bind_kind::clob, L":v"},
        {t_ftd(L"c", VT_ARRAY_UI1, 16), ora_bind_kind::raw, L":v"},
        {t_ftd(L"c", VT_BLOB, 0), ora_bind_kind::blob, L":v"},
        {t_ftd(L"c", VT_R4, 0), ora_bind_kind::number, L":v"},
        {date_column(t_ftd::date_kind_date_time, 0), ora_bind_kind::date, L":v"},
        {date_column(t_ftd::date_kind_date_time, 3), ora_bind_kind::timestamp,
         L"TO_TIMESTAMP(:v, 'YYYY-MM-DD HH24:MI:SS.FF6')"},
        {date_column(t_ftd::date_kind_time, 6), ora_bind_kind::timestamp,
         L"TO_TIMESTAMP(:v, 'YYYY-MM-DD HH24:MI:SS.FF6')"},
        {date_column(t_ftd::date_kind_duration, 0), ora_bind_kind::interval, L"TO_DSINTERVAL(:v)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ora_bind_kind_of(c.column), c.kind) << static_cast<int>(c.kind);
        EXPECT_EQ(ora_bind_expression(c.kind, L":v"), c.expression);
    }
}

TEST(ora_value_binding, moments_keep_every_microsecond_their_column_keeps) {
    const std::wstring month = ora_current_month_start();
    struct {
        t_ftd column;
        ole_variant value;
        std::wstring text;
        bool noted;
    } const cases[] = {
        {date_column(t_ftd::date_kind_date_time, 6),
         ole_variant(moment(9999, 12, 31, 23, 59, 59), 999999), L"9999-12-31 23:59:59.999999",
         false},
        {date_column(t_ftd::date_kind_date_time, 1),
         ole_variant(moment(2024, 12, 31, 23, 59, 59), 600000), L"2024-12-31 23:59:59.600000",
         false},
        // Into a column with fewer digits: cut (never rounded into the next day) and noted.
        {date_column(t_ftd::date_kind_date_time, 3),
         ole_variant(moment(2024, 12, 31, 23, 59, 59), 999999), L"2024-12-31 23:59:59.999000",
         true},
        {date_column(t_ftd::date_kind_date_time, 0),
         ole_variant(moment(2024, 12, 31, 23, 59, 59), 600000), L"2024-12-31 23:59:59", true},
        {date_column(t_ftd::date_kind_date, 0), ole_variant(moment(1000, 1, 1)),
         L"1000-01-01 00:00:00", false},
        {date_column(t_ftd::date_kind_time, 0), ole_variant(moment(0, 0, 0, 23, 59, 59)),
         month + L" 23:59:59", false},
        {date_column(t_ftd::date_kind_time, 6), ole_variant(moment(0, 0, 0, 0, 0, 0), 1),
         month + L" 00:00:00.000001", false},
        {date_column(t_ftd::date_kind_duration, 6),
         ole_variant(moment(0, 0, 0, 838, 59, 59), 0, false), L"+34 22:59:59.000000", false},
        {date_column(t_ftd::date_kind_duration, 1),
         ole_variant(moment(0, 0, 0, 12, 0, 0), 500000, true), L"-00 12:00:00.500000", false},
        // MySQL's zero date in a date column is no date.
        {date_column(t_ftd::date_kind_date_time, 0), ole_variant(moment(0, 0, 0)), L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ora_bound_value bound = ora_bind_scalar(c.column, c.value);
        EXPECT_EQ(bound.is_null, c.text.empty());
        EXPECT_EQ(bound.text, c.text);
        EXPECT_EQ(!bound.note.empty(), c.noted) << bound.note;
    }
}

TEST(ora_value_binding, values_no_column_can_hold_refuse_their_record) {
    struct {
        t_ftd column;
        ole_variant value;
        const char* why;
    } const cases[] = {
        {date_column(t_ftd::date_kind_time, 0), ole_variant(moment(0, 0, 0, 838, 59, 59)),
         "no time of day"},
        {date_column(t_ftd::date_kind_time, 6), ole_variant(moment(0, 0, 0, 12, 0, 0), 0, true),
         "no time of day"},
        {date_column(t_ftd::date_kind_date, 0), ole_variant(moment(0, 5, 10)), "year 0"},
        {date_column(t_ftd::date_kind_date_time, 0), ole_variant(moment(10000, 1, 1)), "9999"},
        {date_column(t_ftd::date_kind_duration, 0), ole_variant(moment(2024, 1, 1)), "is a date"},
        {t_ftd(L"c", VT_I4, 0), ole_variant(L"twelve"), "does not convert"},
    };
    for (const auto& c : cases) {
        try {
            ora_bind_scalar(c.column, c.value);
            ADD_FAILURE() << c.why << ": stored";
        } catch (const ora_value_rejected& e) {
            EXPECT_NE(e.message().find(c.why), std::string::npos) << e.message();
            EXPECT_EQ(e.message().rfind("column \"c\", value ", 0), 0u) << e.message();
            EXPECT_EQ(e.level(), 0);
        }
    }
}

// A date is bound as Oracle's 7-byte DATE: the ends of the years Oracle and MySQL hold, and
// every field at its largest; any text not exactly in the form is no date.
TEST(ora_value_binding, dates_become_oracles_seven_bytes) {
    struct {
        const wchar_t* text;
        std::vector<int> bytes;
    } const cases[] = {
        {L"0001-01-01 00:00:00", {100, 101, 1, 1, 1, 1, 1}},
        {L"1000-01-01 00:00:00", {110, 100, 1, 1, 1, 1, 1}},
        {L"2024-05-17 13:45:09", {120, 124, 5, 17, 14, 46, 10}},
        {L"2024-02-29 12:00:00", {120, 124, 2, 29, 13, 1, 1}},
        {L"9999-12-31 23:59:59", {199, 199, 12, 31, 24, 60, 60}},
    };
    for (const auto& c : cases) {
        uint8_t bytes[7] = {};
        ASSERT_TRUE(ora_date_bytes(c.text, bytes)) << c.text;
        EXPECT_EQ(std::vector<int>(bytes, bytes + 7), c.bytes) << c.text;
    }
    for (const wchar_t* text :
         {L"10000-01-01 00:00:00", L"2024-5-17 13:45:09", L"2024-05-17T13:45:09",
          L"2024-05-17 13:45", L"2024-05-17 13:45:0x", L"", L"+024-05-17 13:45:09"}) {
        uint8_t bytes[7] = {};
        EXPECT_FALSE(ora_date_bytes(text, bytes)) << text;
    }
}

TEST(ora_value_binding, decimals_keep_38_significant_digits) {
    struct {
        const wchar_t* text;
        const wchar_t* kept;
        bool changed;
    } const cases[] = {
        {L"12345678901234567890123456789012345678", L"12345678901234567890123456789012345678",
         false},
        {L"-12345678901234567890123456789012345.123456789012345678901234567891",
         L"-12345678901234567890123456789012345.123", true},
        {L"99999999999999999999999999999999999999.9", L"100000000000000000000000000000000000000",
         true},
        {L"0.000000000000000000000000000001", L"0.000000000000000000000000000001", false},
        // Zeros beyond the kept digits change nothing.
        {L"12345678901234567890123456789012345678.000",
         L"12345678901234567890123456789012345678.000", false},
        {L"1.23456789012345678901234567890123456785", L"1.2345678901234567890123456789012345679",
         true},
    };
    for (const auto& c : cases) {
        bool changed = false;
        EXPECT_EQ(ora_round_significant(c.text, 38, changed), c.kept);
        EXPECT_EQ(changed, c.changed) << std::wstring(c.text).size();
    }
}

TEST(ora_value_binding, intervals_read_back_as_durations) {
    struct {
        const wchar_t* text;
        uint16_t hours;
        uint32_t microseconds;
        bool negative;
    } const cases[] = {
        {L"+34 22:59:59.000000", 838, 0, false},
        {L"-00 12:00:00.5", 12, 500000, true},
        {L"+00 00:00:00", 0, 0, false},
        {L"-00 00:00:00.000000001", 0, 0, false},  // below a microsecond: nothing kept
    };
    for (const auto& c : cases) {
        ole_variant value;
        ASSERT_TRUE(ora_read_interval(c.text, value)) << c.hours;
        EXPECT_EQ(value.date_parts().wHour, c.hours);
        EXPECT_EQ(value.date_microseconds(), c.microseconds);
        EXPECT_EQ(value.date_negative(), c.negative);
    }
    ole_variant value;
    EXPECT_FALSE(ora_read_interval(L"1-2", value));
    EXPECT_FALSE(ora_read_interval(L"+01 24:00:00", value));
}

}  // namespace
