// The prepared texts shown instead of the servers' own messages for well-known errors.
#include "core/tk_error_converter.h"

const tk_error_entry oracle_error_table[12] = {
    {0x100001,
     "Duplicate field values being used for an unique index were found.\n"
     "See 'Troubleshooting' article of the product documentation\n"
     "for solution."},
    {0x1003F9, "Invalid user name or password."},
    {0x10067A,
     "Not enough free contiguous space in the tablespace to create the object.\n"
     "Use ALTER TABLESPACE ADD DATAFILE to add additional space to the tablespace."},
    {0x10079E, "User does not have the necessary privileges to create tables."},
    {0x1008FA,
     "There are orphaned records that prevent from creating foreign key. For more\n"
     "information see Troubleshooting article of the product documentation."},
    {0x102F7A, "Oracle data source does not exist. Check to verify the correct name was given."},
    {0x1030D4,
     "ORA-12500: the listener could not start a server process. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {0x1030D9,
     "ORA-12505: the program could not resolve service name. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {0x1030E2, "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},
    {0x1030FD,
     "ORA-12541: no listener. For more information see Troubleshooting\n"
     "article of the product documentation."},
    {0x103101,
     "ORA-12545: connect failed because target host or object does not exist.\n"
     "For more information see Troubleshooting article of the product documentation."},
    {0x106D60,
     "Wrong password was entered the maximum number of times or\n"
     "the DBA has locked the account."},
};

namespace {
const char mysql_database_in_use[] =
    "Failed to overwrite MySQL database. It is being used by\n"
    "another application. Specify a different destination name.";
const char mysql_cannot_connect[] =
    "Can't connect to the MySQL server. Check to verify that MySQL server\n"
    "is launched and the correct host/port values were given.";
const char mysql_authentication[] =
    "The program does not support authentication protocol requested by server.\n"
    "See 'Troubleshooting' article of the product documentation.";
}  // namespace

const tk_error_entry mysql_error_table[11] = {
    {0x400414,
     "Access denied. Ask your system administrator to grant you\n"
     "the necessary privileges to write into the database."},
    {0x400415,
     "Access denied. Verify the user name and password are correct, and you have\n"
     "the necessary privileges to connect to the target MySQL server."},
    {0x400426,
     "Duplicate field values being used for an unique index were found.\n"
     "See 'Troubleshooting' article of the product documentation\n"
     "for solution."},
    {0x40042F,
     "Primary key in the original database is too long.\n"
     "Restart the program with \"Skip converting indexes\"\n"
     "checkbox selected in order to resolve the conflict.\n"},
    {0x4003F3, mysql_database_in_use},
    {0x40046A,
     "You are not allowed to connect to the destination MySQL server.\n"
     "Ask your system administrator to grant you necessary privileges\n"
     "to create new databases on target MySQL server."},
    {0x40041B, mysql_database_in_use},
    {0x4007D3, mysql_cannot_connect},
    {0x4007D5, mysql_cannot_connect},
    {0x4004E1, mysql_authentication},
    {0x4004E2, mysql_authentication},
};
