// DRXAGENT's command line: the option table, the usage text, the parser that applies the
// options to the converter and the error handler, and the reader of the table-names file.
//
// Validation failures end the process through exit_with_message (status -1, shown as 255 by a
// shell); the converter (agent_converter) and the error handler must exist.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "TK/tk_cmdli.h"

// The options in matching order; the last row has an empty prefix.
extern const cmdli_option agent_options[22];

constexpr int agent_version_major = 3;
constexpr int agent_version_minor = 1;

// The usage text with the version filled in, ending with a line feed.
std::string agent_usage_text();

// The exit statuses of DRXAGENT.
enum agent_status : int {
    // Every selected table and every record arrived.
    agent_status_success = 0,
    // The run finished but reported errors: a table or records not converted, values stored
    // altered by a rule.
    agent_status_errors = 1,
    // Usage, validation, a run that could not start or had to end, an internal error (-1).
    agent_status_failure = 255,
};

// Ends the agent with a status: raised by exit_with_message and turned into the process's exit
// status in one place, agent_main, which lets every object close what it holds first.
struct agent_exit {
    int status;
};

// Traces the text at level 3, writes it and a line feed to standard error unless the converter
// is silent, and ends the agent with status 255 (raises agent_exit).
[[noreturn]] void exit_with_message(const std::string& text);

// Applies the options (argv[0] is the program) in command-line order: a profile replaces the
// settings it holds, connection options included, and the options after it override it.
// Returns false when an argument was not recognised (a flag written with a value included:
// the caller shows the usage); ends the process on --help and on every validation failure,
// an empty Oracle destination among them also when a profile was loaded; lets the toolkit
// exceptions of --logfile= and of a profile that cannot be read (a line too long) reach the
// caller.
bool parse_cmd_line(int argc, const char* const* argv);

// The longest line of a table-names file, in bytes without the line end (and without the
// byte-order mark on the first line). Longer lines are refused: they cannot be table names
// (MySQL names have at most 64 characters) and cutting one would convert another table.
constexpr size_t table_name_line_limit = 254;

struct table_names {
    std::vector<std::wstring> names;
    // The number (from 1) of the first line longer than the limit; 0 when there is none.
    size_t long_line = 0;
};

// Reads a table-names file: one name per line, a carriage return before the line feed dropped,
// empty lines skipped (a line of blanks is a name). When the first non-empty line starts with
// the UTF-8 byte-order mark, the mark is dropped and every line is UTF-8; otherwise every line
// is in the ANSI character set. Reading stops at the first over-long line.
table_names read_table_names(std::istream& in);

// Makes the names in the file the converter's whole selection: the selected tables, and of
// the custom queries only those the file names. Ends the process when the file does not exist,
// holds no name or holds an over-long line.
void process_tab_file(const std::string& path);
