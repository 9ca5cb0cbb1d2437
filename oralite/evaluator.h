// Evaluation of expressions by the engine itself: INSERT values, column defaults, CHECK
// conditions, RETURNING values and trigger bodies. Subqueries are handed to SQLite.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "oralite/ast.h"
#include "oralite/catalog.h"
#include "oralite/compiler.h"
#include "oralite/cursor.h"
#include "oralite/value.h"

namespace oralite {

class session;

struct eval_env {
    eval_env(session& session_ref, const catalog& c) : s(session_ref), cat(c) {}

    session& s;
    const catalog& cat;
    bind_source* binds = nullptr;
    bind_slots* slots = nullptr;
    uint32_t iteration = 0;
    // A row being inserted: trigger :NEW references, CHECK and RETURNING columns.
    const table_info* table = nullptr;
    std::vector<value>* row = nullptr;
    std::string new_name = "NEW";
    std::string old_name = "OLD";
    bool plain_columns = false;  // unqualified column names denote the row (CHECK, RETURNING)
    std::string rowid;           // the row's ROWID for RETURNING
    std::map<int64_t, value> nextvals;  // NEXTVAL is taken once per sequence and statement row
};

value evaluate(const expr& e, eval_env& env);
// Takes the NEXTVAL of every sequence the expressions name, once each, before they are
// evaluated: in one row CURRVAL gives the new value too, wherever it stands.
void take_next_values(const std::vector<const expr*>& roots, eval_env& env);
// Whether any of the expressions takes a NEXTVAL (take_next_values has work to do).
bool names_next_value(const std::vector<const expr*>& roots);
// A condition: true, false or unknown (nullopt).
std::optional<bool> evaluate_condition(const expr& e, eval_env& env);

// Oracle's LIKE on code points with an optional escape character.
bool like_match(std::string_view text, std::string_view pattern, std::optional<char32_t> escape);

}  // namespace oralite
