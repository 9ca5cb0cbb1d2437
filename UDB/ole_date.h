// ole_date: parses and prints the date and time texts of column values.
//
// A date is one of three kinds: a date and time, a date only, a time only. Texts are read in
// this order: 14 digits (YYYYMMDDhhmmss), 8 digits (YYYYMMDD), a time "h:m:s[.fff]", the
// platform's date parser (locale 1033, see platform/oleauto.h), then "y-m-d h:m:s",
// "y/m/d h:m:s", "y.m.d h:m:s" (the time part optional). A day-first text such as 31.12.2005
// is read with day and year swapped back. AM and PM are honoured.
// Printing gives "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD" or "0000-00-00 HH:MM:SS", with the
// fraction of a second (".ffffff") when there is one. Fractions are kept to the microsecond
// and never rounded into the second: 23:59:59.6 stays on its day.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/oleauto.h"

class ole_date {
  public:
    static constexpr int32_t kind_invalid = 0;
    static constexpr int32_t kind_date_time = 1;
    static constexpr int32_t kind_date = 2;
    static constexpr int32_t kind_time = 3;

    ole_date() = default;
    // Kind 1, then refined (a date without time becomes kind 2, a time without date kind 3).
    explicit ole_date(const SYSTEMTIME& parts);
    ole_date(const SYSTEMTIME& parts, uint32_t microseconds);
    explicit ole_date(std::string_view text);
    explicit ole_date(std::wstring_view text);

    bool is_valid() const;
    // Sets kind 3 when day, month and year are all 0; kind 2 when the time is 00:00:00 and
    // the date complete; otherwise leaves the kind alone.
    void refine_type();
    // Reads the text by the formats above; true when one of them gave a valid value.
    bool import_from_string(std::string_view text);
    // Reads the seconds text ("30.6"): sets the second and its fraction exactly (to the
    // microsecond; wMilliseconds holds the whole milliseconds of it). A null text raises
    // tk_mail_assertion.
    void process_milliseconds(const char* seconds);

    std::string to_string() const;
    std::wstring to_wstring() const;

    int32_t kind() const noexcept { return kind_; }
    const SYSTEMTIME& parts() const noexcept { return parts_; }
    // The fraction of the second, 0..999999.
    uint32_t microseconds() const noexcept { return microseconds_; }
    void set_microseconds(uint32_t microseconds) noexcept;
    bool omit_zero_time() const noexcept { return omit_zero_time_; }
    void set_omit_zero_time(bool omit) noexcept { omit_zero_time_ = omit; }

  private:
    void parse(std::string_view text);
    void clear_parts() noexcept;
    bool try_fixed_digits(std::string_view text);
    bool try_pure_time(std::string_view text);
    bool try_platform(std::string_view text);
    bool try_separated(std::string_view text);

    bool omit_zero_time_ = true;
    int32_t kind_ = kind_invalid;
    SYSTEMTIME parts_;
    uint32_t microseconds_ = 0;
};
