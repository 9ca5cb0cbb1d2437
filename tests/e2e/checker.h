// The end-to-end checker: compares a MySQL database with the Oracle schema it was converted
// into, reading both sides independently of the product (the MySQL client library directly,
// and the `oralite sql` tool).
//
// Values: every row of every table, matched by primary key (or by the whole row), every value
// compared in the form Oracle gives it back: NULL and the empty text alike (Oracle stores '' as
// NULL), integers and decimals exactly, floating-point values as the source type rounds them,
// dates and times to the second, text exactly, binary values byte for byte (as hexadecimal).
// Structure: column types by family with the declared precision and scale of decimals and a
// length that holds the declared text, NOT NULL, defaults, the primary key, unique constraints
// and indexes by their columns, and for an auto-increment column a valid trigger and a
// sequence that give a new row a key above every key copied.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "driver/driver_support.h"

namespace e2e {

struct checker_options {
    // The table names of the Oracle side, by source name; an absent name maps to itself.
    std::map<std::string, std::string> table_names;
    // Column names were made uppercase.
    bool uppercase = false;
    // Tables whose records were not to be copied (definitions only).
    bool definitions_only = false;
};

// One difference found, worded for a test failure.
using problems = std::vector<std::string>;

// Compares one table's rows and values.
problems compare_rows(driver_test::mysql_session& mysql, const std::string& database,
                      const driver_test::oralite_schema& oracle, const std::string& table,
                      const checker_options& options);
// Compares one table's columns, keys and indexes.
problems compare_structure(driver_test::mysql_session& mysql, const std::string& database,
                           const driver_test::oralite_schema& oracle, const std::string& table,
                           const checker_options& options);
// For a table with an auto-increment column: the trigger is enabled and valid, and a row
// inserted without the key gets one from the sequence, above the copied keys. Inserts a row.
problems check_auto_increment(driver_test::mysql_session& mysql, const std::string& database,
                              const driver_test::oralite_schema& oracle, const std::string& table,
                              const checker_options& options);

// Every table of the database, rows and structure.
problems compare_database(driver_test::mysql_session& mysql, const std::string& database,
                          const driver_test::oralite_schema& oracle,
                          const checker_options& options);

// The text Oracle gives back for a source value of a MySQL column type (information_schema's
// DATA_TYPE), as `oralite sql` prints it; exposed for the checker's own test.
std::string expected_text(const std::string& data_type, const driver_test::cell& value);
// Whether Oracle's text stands for the expected one (floating-point values by their value).
bool same_value(const std::string& data_type, const std::string& expected,
                const std::string& actual);

}  // namespace e2e
