// Oracle DATE and TIMESTAMP values: parsing with TO_DATE format models, formatting with
// TO_CHAR, the 7-byte external form, the text kept in storage and day arithmetic.
//
// Years run from -4712 to 9999 (no year 0; -1 is 1 BC); the calendar is the proleptic
// Gregorian one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "oralite/decimal.h"

namespace oralite {

struct datetime {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int nanos = 0;

    // The local time of this machine, to the second (with_fraction: to the microsecond).
    static datetime now(bool with_fraction = false);

    // Storage text "YYYY-MM-DD HH24:MI:SS", with ".FFFFFFFFF" when with_fraction.
    std::string storage_text(bool with_fraction) const;
    // The same text written at `out` (room for k_storage_text_room bytes); its length.
    size_t write_storage_text(char* out, bool with_fraction) const;
    static constexpr size_t k_storage_text_room = 96;
    static std::optional<datetime> from_storage(std::string_view text);
    // 7 bytes: century+100, year+100, month, day, hour+1, minute+1, second+1.
    void to_bytes7(unsigned char* out) const;
    static std::optional<datetime> from_bytes7(const unsigned char* in);

    // Days since 1970-01-01 of the date part.
    int64_t day_number() const;
    static datetime from_day_number(int64_t days);
    // Adds a (possibly fractional) number of days, rounded to the second.
    datetime plus_days(const decimal& days) const;
    // this - other in days (fractional).
    decimal minus(const datetime& other) const;
    datetime plus_months(int months) const;
    int compare(const datetime& other) const;
    bool valid() const;
};

int days_in_month(int year, int month);

// TO_DATE(text, format); throws the ORA error Oracle gives (01821, 01830, 01840, 01841,
// 01843, 01847, 01839, 01849-01852, 01855, 01858, 01861).
datetime parse_datetime(std::string_view text, std::string_view format);
// Checks a format model (ORA-01821 for an unknown element).
void check_datetime_format(std::string_view format);
// TO_CHAR(date, format); ORA-01821 for an unknown element.
std::string format_datetime(const datetime& value, std::string_view format);

// The session's default date format (NLS_DATE_FORMAT).
inline constexpr std::string_view k_default_date_format = "DD-MON-RR";
inline constexpr std::string_view k_default_timestamp_format = "DD-MON-RR HH.MI.SSXFF AM";

}  // namespace oralite
