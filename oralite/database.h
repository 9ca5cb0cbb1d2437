// Database files and connect strings.
//
// A database is one SQLite file made by create_database. A connect string names it in one of
// these forms: the path of the file; a database name looked up in the folder named by the
// environment variable ORALITE_HOME (NAME or NAME.db); an easy-connect string
// HOST[:PORT]/NAME; or a descriptor
// (DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=NAME))(ADDRESS=(PROTOCOL=TCP)(HOST=h)(PORT=p))).
// HOST must be this machine and PORT the listener port stored in the database (1521 unless
// given at creation). Failures are Oracle's: ORA-12154 (unknown name), ORA-12514 (unknown
// service), ORA-12545 (another host), ORA-12541 (wrong port), ORA-01034 (not a database).
#pragma once

#include <string>
#include <string_view>

namespace oralite {

struct database_options {
    int port = 1521;
    std::string system_password = "manager";
    bool full_sync = false;  // fsync the log at every commit (durable across power loss)
    // MAX_STRING_SIZE = EXTENDED: VARCHAR2, NVARCHAR2 and RAW hold up to 32767 bytes.
    bool extended_strings = false;
};

// Creates a new database file; ORA-... style errors are not used here: throws
// std::runtime_error with a plain message when the file exists or cannot be written.
void create_database(const std::string& path, const database_options& options);

// The file a connect string names.
std::string resolve_connect_string(std::string_view connect);

inline constexpr int k_application_id = 0x4F524C54;  // "ORLT"

}  // namespace oralite
