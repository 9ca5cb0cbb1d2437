// Error codes to prepared user texts.
//
// A code is 0x100000 plus the ORA number for Oracle errors and 0x400000 plus the MySQL error
// number for MySQL errors. The two built-in tables are loaded into the error handler, Oracle
// first; a code inserted twice keeps its first text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

struct tk_error_entry {
    int32_t code;
    const char* text;
};

extern const tk_error_entry oracle_error_table[12];
extern const tk_error_entry mysql_error_table[11];
constexpr size_t oracle_error_count = sizeof oracle_error_table / sizeof oracle_error_table[0];
constexpr size_t mysql_error_count = sizeof mysql_error_table / sizeof mysql_error_table[0];

class tk_error_converter {
  public:
    // Traces "tk_error_converter::ctor (map size=%d)" and loads the entries.
    tk_error_converter(size_t count, const tk_error_entry* entries);

    // Inserts the entries in order; a code already present keeps its text. A null table
    // raises tk_mail_assertion.
    void load_map(size_t count, const tk_error_entry* entries);
    // The text for the code, or an empty string when there is none.
    std::string convert(int32_t code) const;
    size_t size() const { return map_.size(); }

  private:
    std::map<int32_t, std::string> map_;
};
