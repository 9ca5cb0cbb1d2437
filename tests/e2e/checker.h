// The end-to-end checker: compares a MySQL database with the Oracle schema it was converted
// into, reading both sides independently of the product (the MySQL client library directly,
// and the `oralite sql` tool).
//
// Values are compared exactly: every row of every table, matched by primary key (or by the
// whole row), every column (INVISIBLE ones included). Integers and decimals digit for digit;
// a FLOAT as the float MySQL stores (read through DOUBLE) and written as the shortest decimal
// that reads back to it; a DOUBLE as the double it is; dates, times and timestamps to the
// microsecond; texts and bytes exactly. Where the documented mapping changes a value, the
// checker computes what the rule gives and names the rule (rules_applied): the empty text and
// MySQL's zero and partial zero dates become NULL, a time gets the first day of the current
// month, a decimal of more than 38 digits is rounded to 38, a floating-point value beyond
// NUMBER's range is NULL (or the column's default) and below it 0. A row that the rules cannot
// store (a TIME beyond a day unless TIME columns are intervals, the year 0) must be absent:
// the run reported it.
//
// Structure: column types with their precision and scale, fraction digits and lengths, NOT
// NULL, defaults (the moment of the insert included), the primary key, unique constraints and
// indexes by their columns, and for an auto-increment column a valid trigger and a sequence
// that give a new row a key above every key copied.
#pragma once

#include <map>
#include <set>
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
    // TIME columns were converted as intervals.
    bool time_as_interval = false;
    // BLOB columns were converted to text.
    bool blob_as_text = false;
    // The most bytes a VARCHAR2 holds on the destination (32767 with MAX_STRING_SIZE EXTENDED).
    long long max_string_bytes = 4000;
    // Rows the run reported as refused for reasons of the destination (a duplicate key, say),
    // by table: the text of their first primary-key column.
    std::map<std::string, std::set<std::string>> refused;
};

// One difference found, worded for a test failure.
using problems = std::vector<std::string>;

// What a comparison found: the differences, the rows the rules keep out (by table, the text of
// their first key column) and the mapping rules that changed a value ("table.column row: rule").
struct comparison {
    problems found;
    std::map<std::string, std::set<std::string>> rejected_rows;
    std::vector<std::string> rules_applied;

    void add(const comparison& other);
};

// Compares one table's rows and values.
comparison compare_rows(driver_test::mysql_session& mysql, const std::string& database,
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
comparison compare_database(driver_test::mysql_session& mysql, const std::string& database,
                            const driver_test::oralite_schema& oracle,
                            const checker_options& options);

// ---- the rules, exposed for the checker's own test -------------------------------------------

// A MySQL column as information_schema describes it.
struct source_column {
    std::string name;
    std::string data_type;
    std::string column_type;
    bool not_null = false;
    driver_test::cell default_value;
    bool auto_increment = false;
    bool invisible = false;
    long long char_length = 0;
    // Text columns: the character set (utf8mb4, latin1, ...).
    std::string charset;
    int precision = 0;
    int scale = 0;
    // Fraction digits of DATETIME, TIMESTAMP and TIME columns.
    int fraction_digits = 0;
};

// What Oracle must hold for a MySQL value.
struct expectation {
    enum class kind {
        text,      // exactly this text (NULL: empty)
        float32,   // the float of this text, written as its shortest decimal
        float64,   // the double of this text
        moment,    // this moment "YYYY-MM-DD HH:MM:SS.ffffff", printed with any fraction digits
        duration,  // this MySQL TIME "[-]H:MM:SS.ffffff" as an INTERVAL DAY TO SECOND
        rejected,  // the row cannot be stored
    };
    kind what = kind::text;
    std::string value;
    // The mapping rule that made the value differ from the source's, empty when none did.
    std::string rule;
};

// The value rules: what the MySQL value (as the client reads it; a FLOAT through DOUBLE)
// becomes in Oracle.
expectation expected_value(const source_column& column, const driver_test::cell& value,
                           const checker_options& options);
// Whether Oracle's printed value is what was expected.
bool matches(const expectation& expected, const std::string& actual);

// The first day of the current month, "YYYY-MM-DD": Oracle's date of a time alone.
std::string current_month_start();

// A decimal text as Oracle's NUMBER prints it; rounded to at most 38 significant digits.
std::string canonical_decimal(std::string text);
std::string round_to_38_digits(const std::string& canonical);

}  // namespace e2e
