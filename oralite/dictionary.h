// The data dictionary views (USER_TABLES, ALL_TAB_COLUMNS, USER_OBJECTS, V$VERSION, DUAL, ...)
// as SQLite views over the catalog tables, created per connection. The query translator asks
// here for a view's columns and Oracle types.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "oralite/value.h"

namespace oralite {

struct dictionary_column {
    std::string name;
    column_type type;
};

struct dictionary_view {
    std::string name;         // Oracle name, e.g. USER_TABLES
    std::string sqlite_name;  // the TEMP view
    std::vector<dictionary_column> columns;
    bool dba_only = false;
};

const dictionary_view* find_dictionary_view(std::string_view name);

// Creates the TEMP views on a connection that has the SQL function ora_uid().
void create_dictionary_views(sqlite3* db);

inline constexpr std::string_view k_version_banner =
    "Oracle Database 11g Enterprise Edition Release 11.2.0.2.0 - 64bit Production";

}  // namespace oralite
