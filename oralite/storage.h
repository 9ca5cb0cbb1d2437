// How values are kept in SQLite, the one place that knows it.
//
// NUMBER: an INTEGER when the value is an integer within 64 bits, a REAL when it has at most
// 15 significant digits (which read back exactly), else the canonical decimal text; so each
// value has exactly one stored form and unique indexes compare exactly. Texts are UTF-8 TEXT,
// RAW and BLOB are BLOBs, DATE is "YYYY-MM-DD HH24:MI:SS" and TIMESTAMP adds ".FFFFFFFFF";
// INTERVAL DAY TO SECOND is 24 digits of its nanoseconds plus an offset, in the order of the
// values. An empty LOB is a zero-length TEXT or BLOB; NULL is NULL.
#pragma once

#include <sqlite3.h>

#include "oralite/value.h"

namespace oralite {

// `lasting`: the value stays unchanged until the statement has stepped and its bindings are
// cleared, so SQLite reads a text or blob where it stands instead of copying it.
void bind_storage(sqlite3_stmt* stmt, int index, const value& v, bool lasting = false);
void result_storage(sqlite3_context* ctx, const value& v);

// Reads a stored datum as a value of the given static type.
value read_storage(sqlite3_stmt* stmt, int column, const column_type& t);
value read_storage(sqlite3_value* datum, const column_type& t);

// One letter per storage kind, passed to the SQL functions so they can rebuild values:
// N number, T text, C CLOB text, R raw, B BLOB, D date, S timestamp, V interval day to second,
// I rowid text, ? unknown.
char kind_letter(const column_type& t);
column_type type_of_letter(char letter);

}  // namespace oralite
