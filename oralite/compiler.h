// Translation of Oracle queries and of UPDATE/DELETE into SQLite SQL.
//
// Names resolve with Oracle's rules (tables of the session's schema, then the data
// dictionary views; columns through aliases; ORA-00942, 00904, 00918), expressions get their
// Oracle types, and every Oracle semantic SQLite lacks goes through the engine's SQL
// functions (exact NUMBER comparison and arithmetic, '' as NULL, Oracle's NULL ordering,
// sequences, ROWIDs). Literals and bind variables become numbered SQLite parameters, so the
// text of a translated statement does not change with its values and its prepared form can be
// reused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "oralite/ast.h"
#include "oralite/catalog.h"
#include "oralite/value.h"

namespace oralite {

class session;

// Placeholder names of a statement, numbered in order of first appearance.
class bind_slots {
  public:
    size_t slot(const std::string& name);
    const std::vector<std::string>& names() const { return names_; }

  private:
    std::vector<std::string> names_;
};

struct query_param {
    enum kind_t { literal, bind } kind = literal;
    value literal_value;
    size_t bind_slot = 0;
    char expect = '?';  // converted before binding: N T D S R, I = ROWID of rowid_table
    int64_t rowid_table = 0;
    bool long_allowed = false;  // the whole value of a LOB or LONG column (see is_long_bind)
};

struct result_column {
    std::string name;
    column_type type;
    bool nullable = true;
    // A LOB column of a table: the hidden result column holding its row, for locators.
    int row_column = -1;
    int64_t table_id = 0;
    std::string table_internal;
    std::string column_internal;
};

struct compiled_query {
    std::string sql;
    std::vector<query_param> params;
    std::vector<result_column> columns;
    bool for_update = false;
    int wait_seconds = -1;
    bool uses_sequence = false;
};

struct compiled_dml {
    std::string sql;
    std::vector<query_param> params;
    bool uses_sequence = false;
};

enum class table_access { select, insert, update, delete_, alter, drop, index, trigger };

// The table a name denotes for the session's user, checking access (ORA-00942).
const table_info& resolve_table(session& s, const catalog& c, const qualified_name& name,
                                table_access access);
// The owner id of an optional schema name (the session's user when absent).
int64_t resolve_owner(session& s, const catalog& c, const std::optional<ident>& schema);

compiled_query compile_select(session& s, const catalog& c, bind_slots& binds,
                              const select_stmt& query);
compiled_dml compile_update(session& s, const catalog& c, bind_slots& binds,
                            const update_statement& stmt, const table_info& table);
compiled_dml compile_delete(session& s, const catalog& c, bind_slots& binds,
                            const delete_statement& stmt, const table_info& table);
// SELECT e1, e2, ... without FROM: evaluates expressions the engine cannot evaluate itself.
compiled_query compile_expressions(session& s, const catalog& c, bind_slots& binds,
                                   const std::vector<const expr*>& exprs);

// An expression over the columns of one table's row, as SQLite computes it in an index on
// expressions: columns by their bare SQLite names, literals written into the text. Binds are
// ORA-01027; a LOB or LONG result ORA-02327.
struct index_expression {
    std::string sql;
    column_type type;
};
index_expression compile_index_expression(session& s, const catalog& c, const table_info& table,
                                          const expr& e);

// Collects every placeholder of a statement, in order, into the slots.
void collect_binds(const statement& stmt, bind_slots& binds);

}  // namespace oralite
