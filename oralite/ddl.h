// Data definition and account statements: tables, indexes, constraints, sequences, triggers,
// users and privileges. Each runs as Oracle DDL does: committing the session's work before
// and after itself, and leaving nothing behind when it fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "oralite/ast.h"
#include "oralite/catalog.h"
#include "oralite/ora_error.h"

namespace oralite {

class session;

// Runs one DDL statement; `warning` receives ORA-24344 when a trigger compiled with errors.
void execute_ddl(session& s, const statement& stmt, const std::string& sql,
                 std::optional<ora_error>& warning);

struct compile_error {
    int line = 1;
    int position = 1;
    std::string text;
};

// Checks that every name of a trigger resolves (its :NEW columns, sequences and functions).
std::vector<compile_error> validate_trigger(const catalog& c, int64_t owner,
                                            const table_info& table,
                                            const create_trigger_statement& trigger);

// Records a revalidated trigger as VALID (after a failed trigger compiles again).
void mark_trigger_valid(session& s, int64_t trigger_id);

// The name of a unique violation: "OWNER.NAME" of the constraint or unique index whose
// SQLite index failed (from SQLite's message "UNIQUE constraint failed: T1.C1, T1.C2").
std::string violated_constraint(const table_info& table, const std::string& sqlite_message);

}  // namespace oralite
