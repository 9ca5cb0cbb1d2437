// A session's NLS parameters (ALTER SESSION SET NLS_...) and the ones the conversions of the
// calling thread use.
//
// Implicit conversions between numbers, dates, timestamps and texts follow the NLS settings of
// the session whose statement runs. The engine's conversions have no session at hand, so the
// session's cursor makes its settings the thread's current ones for each execute and fetch
// (`use_nls`); a session removes itself when it goes. Settings are plain values owned by their
// session; failures are ora_error with Oracle's numbers.
#pragma once

#include <string>
#include <string_view>

#include "oralite/datetime.h"

namespace oralite {

struct nls_settings {
    char decimal = '.';  // NLS_NUMERIC_CHARACTERS: the decimal character ...
    char group = ',';    // ... and the group separator
    std::string date_format{k_default_date_format};
    std::string timestamp_format{k_default_timestamp_format};
    std::string timestamp_tz_format{"DD-MON-RR HH.MI.SSXFF AM TZR"};
    std::string language{"AMERICAN"};
    std::string territory{"AMERICA"};
    // Not an NLS parameter but the database's MAX_STRING_SIZE, which the session's limits
    // follow: the longest VARCHAR2 (and text bind) and RAW (and binary bind), in bytes.
    int max_string_bytes = 4000;
    int max_raw_bytes = 2000;
};

inline constexpr int k_extended_string_bytes = 32767;

// The settings the conversions of this thread use (the defaults when none were set).
const nls_settings& current_nls();
// Makes `settings` the thread's current ones; nullptr returns to the defaults.
void use_nls(const nls_settings* settings);
// Forgets `settings` if they are the thread's current ones (their session goes away).
void forget_nls(const nls_settings* settings);

// One `name = value` of ALTER SESSION SET, checked as Oracle checks it: ORA-02248 for a name
// that is no session parameter, ORA-00922 for NLS_CHARACTERSET and NLS_NCHAR_CHARACTERSET,
// ORA-03001 for session parameters oralite does not keep, ORA-01821 for a bad date format,
// ORA-12705 for a bad NLS value.
void set_nls_parameter(nls_settings& settings, std::string_view name, std::string_view value);

// A number text with the session's decimal character, and back (ORA-01722 for a point where
// the session expects a comma).
std::string localized_number(std::string text);
std::string delocalized_number(std::string_view text);

}  // namespace oralite
