// The profile operations of the two settings objects: their connection values to and from the
// "Oracle settings" and "MySQL settings" sections of a profile file.
//
// Loading takes only the values that are present and not empty; the others keep what they
// were. Host, service and port values are read without the blanks at their ends (a value of
// blanks is empty). Every operation returns true (the converter's load stops early only on
// false).
#pragma once

#include "UDB/udb_profile.h"
#include "core/mysql_converter_impl.h"
#include "core/oracle_converter_impl.h"

// "IP" into host, "host" into service_name, "user", "password", "port"; "use TNS" is true only
// when it is "1".
bool load_oracle_profile(oracle_converter_impl& settings, const udb_profile& profile);
// Every connection text that is not empty, and "use TNS" as "1" or "0".
bool store_oracle_profile(const oracle_converter_impl& settings, udb_profile& profile);

// "host", "user", "password", "port" and the six dump switches (true only when "1").
bool load_mysql_profile(mysql_converter_impl& settings, const udb_profile& profile);
// All four connection texts (also when empty) and the dump switches as "1" or "0".
bool store_mysql_profile(const mysql_converter_impl& settings, udb_profile& profile);
