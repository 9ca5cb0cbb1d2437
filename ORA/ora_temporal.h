// Oracle's texts of dates, timestamps and day-to-second intervals, as the insert path binds
// them and the DDL writes them in defaults, and the reading of an interval's text.
//
// The texts are those of the formats the system names in its SQL (ora_date_format,
// ora_timestamp_format) and of TO_DSINTERVAL ("+DD HH:MI:SS.FFFFFF"), so that no session
// setting can change how they are read. Values are VT_DATE variants (see ole_variant): a value
// without a date is a time of day or, for an interval, a duration with its sign.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "UDB/ole_variant.h"

inline constexpr const wchar_t* ora_date_format = L"YYYY-MM-DD HH24:MI:SS";
inline constexpr const wchar_t* ora_timestamp_format = L"YYYY-MM-DD HH24:MI:SS.FF6";

// "YYYY-MM-DD HH:MI:SS" of a value with a date (the fraction is not written).
std::wstring ora_date_text(const ole_variant& value);
// Oracle's 7-byte DATE (SQLT_DAT: century + 100, year of the century + 100, month, day, hour + 1,
// minute + 1, second + 1) of a text "YYYY-MM-DD HH:MI:SS" as ora_date_text writes it; false for
// any other text, a year beyond 9999 included.
bool ora_date_bytes(std::wstring_view text, uint8_t (&bytes)[7]);
// "YYYY-MM-DD HH:MI:SS.FFFFFF", the fraction cut to fraction_digits (0..6) and written with six
// digits.
std::wstring ora_timestamp_text(const ole_variant& value, int32_t fraction_digits);
// "+DD HH:MI:SS.FFFFFF" of a value without a date (hours beyond 23 become days), the fraction
// cut to fraction_digits.
std::wstring ora_interval_text(const ole_variant& value, int32_t fraction_digits);

// The first day of the current month, "YYYY-MM-DD": the date Oracle gives a time written
// without one (TO_DATE('10:20:30', 'HH24:MI:SS')).
std::wstring ora_current_month_start();

// The microseconds of a value kept by a column of fraction_digits digits (the rest cut).
uint32_t ora_kept_microseconds(uint32_t microseconds, int32_t fraction_digits);

// Reads Oracle's text of an INTERVAL DAY TO SECOND ("+01 02:20:20.123", "-00 12:00:00") into a
// duration; false when the text is in another form.
bool ora_read_interval(const std::wstring& text, ole_variant& value);
