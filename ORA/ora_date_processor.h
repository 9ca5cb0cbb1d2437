// Reads the date defaults that Oracle keeps as text in USER_TAB_COLUMNS.DATA_DEFAULT.
//
// Oracle's default date text is day-month-year with the English three-letter month name
// ("17-MAY-2024", "17-MAY-24"); the DDL writer of this system stores its defaults as
// to_date('2024-05-17 13:45:09', 'YYYY-MM-DD HH24:MI:SS'). Both become the canonical text
// "year-month-day" (time kept when there is one) that ole_date reads. Stateless; any thread.
#pragma once

#include <string>

class ora_date_processor {
  public:
    // "%d-%02d-%02d" (year, month, day) of a "day-MON-year" text, or the quoted value of a
    // to_date(...) call; an empty text when the text is neither.
    std::wstring get_canonized_str(const std::wstring& text) const;

    // The 1-based month of an English month name or abbreviation (any letter case); 0 when the
    // text names no month.
    static int month_number(const std::wstring& name);
};
