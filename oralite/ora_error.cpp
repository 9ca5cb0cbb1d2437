#include "oralite/ora_error.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace oralite {

namespace {

struct message_entry {
    int code;
    const char* text;
};

// Classic 11g texts. Keep sorted by number.
constexpr message_entry k_messages[] = {
    {1, "unique constraint (%s) violated"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {600, "internal error code, arguments: [%s]"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {902, "invalid datatype"},
    {903, "invalid table name"},
    {904, "%s: invalid identifier"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {908, "missing NULL keyword"},
    {909, "invalid number of arguments"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {913, "too many values"},
    {917, "missing comma"},
    {918, "column ambiguously defined"},
    {920, "invalid relational operator"},
    {921, "unexpected end of SQL command"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {924, "missing BY keyword"},
    {925, "missing INTO keyword"},
    {926, "missing VALUES keyword"},
    {927, "missing equal sign"},
    {928, "missing SELECT keyword"},
    {931, "missing identifier"},
    {932, "inconsistent datatypes: expected %s got %s"},
    {933, "SQL command not properly ended"},
    {934, "group function is not allowed here"},
    {935, "group function is nested"},
    {936, "missing expression"},
    {937, "not a single-group group function"},
    {940, "invalid ALTER command"},
    {942, "table or view does not exist"},
    {947, "not enough values"},
    {950, "invalid DROP option"},
    {955, "name is already used by an existing object"},
    {957, "duplicate column name"},
    {959, "tablespace '%s' does not exist"},
    {960, "ambiguous column naming in select list"},
    {969, "missing ON keyword"},
    {971, "missing SET keyword"},
    {972, "identifier is too long"},
    {975, "cannot add date to date"},
    {976, "Specified pseudocolumn or operator not allowed here."},
    {979, "not a GROUP BY expression"},
    {984, "column not allowed here"},
    {987, "missing or invalid username(s)"},
    {988, "missing or invalid password(s)"},
    {990, "missing or invalid privilege"},
    {997, "illegal use of LONG datatype"},
    {998, "must name this expression with a column alias"},
    {1002, "fetch out of sequence"},
    {1007, "variable not in select list"},
    {1008, "not all variables bound"},
    {1017, "invalid username/password; logon denied"},
    {1027, "bind variables not allowed for data definition operations"},
    {1031, "insufficient privileges"},
    {1034, "ORACLE not available"},
    {1036, "illegal variable name/number"},
    {1045, "user %s lacks CREATE SESSION privilege; logon denied"},
    {1086, "savepoint '%s' never established in this session or is invalid"},
    {1400, "cannot insert NULL into (%s)"},
    {1403, "no data found"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
    {1407, "cannot update (%s) to NULL"},
    {1408, "such column list already indexed"},
    {1410, "invalid ROWID"},
    {1418, "specified index does not exist"},
    {1422, "exact fetch returns more than requested number of rows"},
    {1425, "escape character must be character string of length 1"},
    {1426, "numeric overflow"},
    {1427, "single-row subquery returns more than one row"},
    {1428, "argument '%s' is out of range"},
    {1430, "column being added already exists in table"},
    {1438, "value larger than specified precision allowed for this column"},
    {1439, "column to be modified must be empty to change datatype"},
    {1440, "column to be modified must be empty to decrease precision or scale"},
    {1441, "cannot decrease column length because some value is too big"},
    {1442, "column to be modified to NOT NULL is already NOT NULL"},
    {1449, "column contains NULL values; cannot alter to NOT NULL"},
    {1450, "maximum key length (%s) exceeded"},
    {1451, "column to be modified to NULL cannot be modified to NULL"},
    {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
    {1455, "converting column overflows integer datatype"},
    {1461, "can bind a LONG value only for insert into a LONG column"},
    {1465, "invalid hex number"},
    {1476, "divisor is equal to zero"},
    {1481, "invalid number format model"},
    {1489, "result of string concatenation is too long"},
    {1653, "unable to extend table by 8 in tablespace %s"},
    {1704, "string literal too long"},
    {1720, "grant option does not exist for '%s'"},
    {1722, "invalid number"},
    {1723, "zero-length columns are not allowed"},
    {1724, "floating point precision is out of range (1 to 126)"},
    {1727, "numeric precision specifier is out of range (1 to 38)"},
    {1728, "numeric scale specifier is out of range (-84 to 127)"},
    {1735, "invalid ALTER TABLE option"},
    {1740, "missing double quote in identifier"},
    {1741, "illegal zero-length identifier"},
    {1742, "comment not terminated properly"},
    {1743, "only pure functions can be indexed"},
    {1747, "invalid user.table.column, table.column, or column specification"},
    {1749, "you may not GRANT/REVOKE privileges to/from yourself"},
    {1754, "a table may contain only one column of type LONG"},
    {1756, "quoted string not properly terminated"},
    {1758, "table must be empty to add mandatory (NOT NULL) column"},
    {1760, "illegal argument for function"},
    {1780, "string literal required"},
    {1785, "ORDER BY item must be the number of a SELECT-list expression"},
    {1786, "FOR UPDATE of this query expression is not allowed"},
    {1789, "query block has incorrect number of result columns"},
    {1790, "expression must have same datatype as corresponding expression"},
    {1791, "not a SELECTed expression"},
    {1792, "maximum number of columns in a table or view is 1000"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1839, "date not valid for month specified"},
    {1840, "input value not long enough for date format"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1848, "day of year must be between 1 and 365 (366 for leap year)"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1853, "seconds in day must be between 0 and 86399"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {1867, "the interval is invalid"},
    {1873, "the leading precision of the interval is too small"},
    {1898, "too many precision specifiers"},
    {1917, "user or role '%s' does not exist"},
    {1918, "user '%s' does not exist"},
    {1919, "role '%s' does not exist"},
    {1920, "user name '%s' conflicts with another user or role name"},
    {1922, "CASCADE must be specified to drop '%s'"},
    {1927, "cannot REVOKE privileges you did not grant"},
    {1940, "cannot drop a user that is currently connected"},
    {1950, "no privileges on tablespace '%s'"},
    {1952, "system privileges not granted to '%s'"},
    {2000, "missing %s keyword"},
    {2097, "parameter cannot be modified because specified value is invalid"},
    {2143, "invalid STORAGE option"},
    {2149, "Specified partition does not exist"},
    {2187, "invalid quota specification"},
    {2248, "invalid option for ALTER SESSION"},
    {2253, "constraint specification not allowed here"},
    {2260, "table can have only one primary key"},
    {2261, "such unique or primary key already exists in the table"},
    {2264, "name already used by an existing constraint"},
    {2283, "cannot alter starting sequence number"},
    {2287, "sequence number not allowed here"},
    {2289, "sequence does not exist"},
    {2290, "check constraint (%s) violated"},
    {2296, "cannot enable (%s) - null values found"},
    {2299, "cannot validate (%s) - duplicate keys found"},
    {2327, "cannot create index on expression with datatype %s"},
    {2329, "column of datatype %s cannot be unique or a primary key"},
    {2429, "cannot drop index used for enforcement of unique/primary key"},
    {2436, "date or system variable wrongly specified in CHECK constraint"},
    {2437, "cannot validate (%s) - primary key violated"},
    {2441, "Cannot drop nonexistent primary key"},
    {2442, "Cannot drop nonexistent unique key"},
    {2443, "Cannot drop constraint  - nonexistent constraint"},
    {2449, "unique/primary keys in table referenced by foreign keys"},
    {3001, "unimplemented feature"},
    {3114, "not connected to ORACLE"},
    {3115, "unsupported network datatype or representation"},
    {3290, "Invalid truncate command - missing CLUSTER or TABLE keyword"},
    {4001, "sequence parameter %s must be an integer"},
    {4002, "INCREMENT must be a non-zero integer"},
    {4003, "sequence parameter %s exceeds maximum size allowed (%s digits)"},
    {4004, "MINVALUE must be less than MAXVALUE"},
    {4005, "INCREMENT must be less than MAXVALUE minus MINVALUE"},
    {4006, "START WITH cannot be less than MINVALUE"},
    {4008, "START WITH cannot be more than MAXVALUE"},
    {4010, "the number of values to CACHE must be greater than 1"},
    {4013, "number to CACHE must be less than one cycle"},
    {4030, "out of process memory when trying to allocate %s bytes"},
    {4043, "object %s does not exist"},
    {4071, "missing BEFORE, AFTER or INSTEAD OF keyword"},
    {4073, "column list not valid for this trigger type"},
    {4077, "WHEN clause cannot be used with table level triggers"},
    {4079, "invalid trigger specification"},
    {4080, "trigger '%s' does not exist"},
    {4081, "trigger '%s' already exists"},
    {4085, "cannot change the value of an OLD reference variable"},
    {4095, "trigger '%s' already exists on another table, cannot replace it"},
    {4098, "trigger '%s' is invalid and failed re-validation"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8003, "sequence %s.NEXTVAL exceeds internal limits"},
    {8004, "sequence %s.NEXTVAL %s MAXVALUE and cannot be instantiated"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {12514, "TNS:listener does not currently know of service requested in connect descriptor"},
    {12541, "TNS:no listener"},
    {12545, "Connect failed because target host or object does not exist"},
    {12705, "Cannot access NLS data files or invalid environment specified"},
    {12899, "value too large for column %s (actual: %s, maximum: %s)"},
    {12983, "cannot drop all columns in a table"},
    {12991, "column is referenced in a multi-column constraint"},
    {16000, "database open for read-only access"},
    {22275, "invalid LOB locator specified"},
    {22818, "subquery expressions not allowed here"},
    {22859, "invalid modification of columns"},
    {22920, "row containing the LOB value is not locked"},
    {22926, "specified trim length is greater than current LOB value's length"},
    {22990, "LOB locators cannot span transactions"},
    {24315, "illegal attribute type"},
    {24333, "zero iteration count"},
    {24334, "no descriptor for this position"},
    {24337, "statement handle not prepared"},
    {24338, "statement handle not executed"},
    {24343, "user defined callback error"},
    {24344, "success with compilation error"},
    {24345, "A Truncation or null fetch error occurred"},
    {24374, "define not done before fetch or execute and fetch"},
    {24381, "error(s) in array DML"},
    {24391, "invalid fetch operation"},
    {24801, "illegal parameter value in OCI lob function"},
    {24802, "user defined lob read callback error"},
    {25000, "invalid use of bind variable in trigger WHEN clause"},
    {28000, "the account is locked"},
    {28714,
     "OCI_BATCH_ERRORS or OCI_RETURN_ROW_COUNT_ARRAY mode can only be specified for INSERT, "
     "UPDATE, DELETE or MERGE statement."},
    {30001, "trim set should have only one character"},
    {30005, "missing or invalid WAIT interval"},
    {30006, "resource busy; acquire with WAIT timeout expired"},
    {30088, "datetime/interval precision is out of range"},
    {38301, "can not perform DDL/DML over objects in Recycle Bin"},
    {38305, "object not in RECYCLE BIN"},
    {38307, "object not in RECYCLE BIN"},
    {38312, "original name is used by an existing object"},
    {38910, "BATCH ERROR mode is not supported for this operation"},
};

const char* find_text(int code) {
    auto it = std::lower_bound(std::begin(k_messages), std::end(k_messages), code,
                               [](const message_entry& e, int c) { return e.code < c; });
    if (it != std::end(k_messages) && it->code == code) {
        return it->text;
    }
    return "Message not found";
}

std::string prefix(int code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "ORA-%05d: ", code);
    return buf;
}

}  // namespace

std::string ora_message_text(int code, std::initializer_list<std::string_view> args) {
    std::string_view pattern = find_text(code);
    std::string out;
    auto arg = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (arg != args.end()) {
                out.append(*arg++);
            }
            ++i;
            continue;
        }
        out.push_back(pattern[i]);
    }
    return out;
}

ora_error::ora_error(int code, std::initializer_list<std::string_view> args)
    : std::runtime_error(prefix(code) + ora_message_text(code, args)), code_(code) {}

ora_error::ora_error(int code, std::string full_text, bool)
    : std::runtime_error(prefix(code) + full_text), code_(code) {}

std::string ora_quoted(std::string_view owner, std::string_view name) {
    std::string out;
    out.append("\"").append(owner).append("\".\"").append(name).append("\"");
    return out;
}

std::string ora_quoted(std::string_view owner, std::string_view table, std::string_view column) {
    return ora_quoted(owner, table) + ".\"" + std::string(column) + "\"";
}

}  // namespace oralite
