// The switches of a conversion and the choice of what to convert, held by the converter and
// set by the wizard's pages, the agent's command line, profile files and (wizard) the registry.
//
// The defaults are the console agent's; the wizard's registry load applies its own (uppercase
// on) before reading. A plain value: no invariants beyond the range of mode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum conversion_mode : int32_t {
    mode_overwrite = 0,  // drop an existing Oracle table and create it again
    mode_merge = 1,      // add the records to an existing table of the same structure
    mode_skip = 2,       // leave an existing table alone
};

struct conversion_switches {
    // The MySQL database to convert.
    std::wstring source_database;
    // What happens to an Oracle table that already exists: a conversion_mode.
    int32_t mode = mode_overwrite;
    // Convert BLOB columns to text.
    bool blob2text = false;
    // Make table and field names uppercase.
    bool uppercase = false;
    // Do not convert indexes.
    bool skip_idx = false;
    // Create the table definitions only, copy no records.
    bool tab_def = false;
    // Convert TIME columns to INTERVAL DAY TO SECOND (the whole range, -838:59:59 to
    // 838:59:59) instead of DATE or TIMESTAMP (a time of day on the first day of the month).
    bool time_interval = false;
    // The tables chosen by the user, in the user's order (the agent's table-names file or a
    // profile); empty means every table of the source database.
    std::vector<std::wstring> selected_tables;
};
