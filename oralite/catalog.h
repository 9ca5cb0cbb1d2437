// The schema objects of one database: users, tables with their columns, constraints and
// indexes, sequences and triggers.
//
// The catalog lives in SQLite tables of the database file (created by create_catalog_schema)
// and is loaded into an immutable snapshot; a session reloads its snapshot whenever the
// stored catalog version moves (after its own DDL or another process's). User tables live in
// SQLite tables named T<object id> with columns C<n> plus R, the row number behind ROWID.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "oralite/ast.h"
#include "oralite/value.h"

namespace oralite {

struct user_info {
    int64_t id = 0;
    std::string name;
    std::string password;
    bool locked = false;
    int64_t quota = 0;             // bytes on USERS; -1 unlimited
    std::set<std::string> grants;  // system privileges and roles granted directly

    // A system privilege held directly or through CONNECT, RESOURCE or DBA.
    bool has_privilege(std::string_view privilege) const;
    bool is_dba() const { return grants.count("DBA") > 0; }
    // May allocate space in USERS (a quota, UNLIMITED TABLESPACE, RESOURCE or DBA).
    bool has_quota() const;
};

struct column_info {
    int id = 0;  // COLUMN_ID, from 1
    std::string name;
    std::string internal;  // SQLite column name
    column_type type;
    bool nullable = true;
    std::optional<std::string> default_text;
    std::shared_ptr<const expr> default_expr;
};

struct index_info {
    int64_t id = 0;
    std::string name;
    bool unique = false;
    bool generated = false;
    std::vector<std::string> columns;
    std::vector<bool> descending;
    std::string internal;  // SQLite index name
    // A function-based index: per key, Oracle's text of its expression (empty for a column,
    // whose name is in `columns`; an expression's is its hidden SYS_NC name), and the
    // columns the expressions read.
    std::vector<std::string> expressions;
    std::vector<std::string> expression_columns;
};

struct constraint_info {
    int64_t id = 0;
    std::string name;
    char type = 'P';  // P, U, C (NOT NULL appears as C)
    std::vector<std::string> columns;
    bool generated = false;
    std::string search_condition;
    std::string internal_index;         // the SQLite unique index that enforces P and U
    std::shared_ptr<const expr> check;  // C: the condition, checked on INSERT
    bool not_null = false;              // C: a column's NOT NULL constraint
};

struct trigger_info {
    int64_t id = 0;
    std::string name;
    bool enabled = true;
    bool valid = true;
    std::string source;  // the CREATE TRIGGER text, compiled again on load
    std::shared_ptr<const create_trigger_statement> parsed;
};

struct table_info {
    int64_t id = 0;
    int64_t owner_id = 0;
    std::string owner;
    std::string name;
    std::string internal;
    bool temporary = false;
    bool recycled = false;             // dropped into the recycle bin: read-only
    std::vector<column_info> columns;  // in COLUMN_ID order
    std::vector<constraint_info> constraints;
    std::vector<index_info> indexes;
    std::vector<trigger_info> triggers;

    const column_info* find_column(std::string_view name) const;
    // "OWNER"."TABLE"."COLUMN", as error messages name a column.
    std::string quoted_column(const column_info& c) const;
    int next_internal_column() const;
};

struct sequence_info {
    int64_t id = 0;
    int64_t owner_id = 0;
    std::string owner;
    std::string name;
};

class catalog {
  public:
    int64_t version = 0;

    const user_info* user(std::string_view name) const;
    const user_info* user_by_id(int64_t id) const;
    const table_info* table(int64_t owner, std::string_view name) const;
    const table_info* table_by_id(int64_t id) const;
    const sequence_info* sequence(int64_t owner, std::string_view name) const;
    // Tables and sequences share one namespace per schema.
    bool object_name_used(int64_t owner, std::string_view name) const;
    // The table an index (or trigger) of that name belongs to, with the object.
    std::pair<const table_info*, const index_info*> index(int64_t owner,
                                                          std::string_view name) const;
    std::pair<const table_info*, const trigger_info*> trigger(int64_t owner,
                                                              std::string_view name) const;
    const table_info* constraint_table(int64_t owner, std::string_view name) const;
    const std::map<int64_t, std::shared_ptr<table_info>>& tables() const { return tables_by_id_; }
    const std::map<int64_t, user_info>& users() const { return users_; }

    static std::shared_ptr<const catalog> load(sqlite3* db);

  private:
    std::map<int64_t, user_info> users_;
    std::map<std::string, int64_t, std::less<>> user_ids_;
    std::map<int64_t, std::shared_ptr<table_info>> tables_by_id_;
    std::map<std::pair<int64_t, std::string>, int64_t, std::less<>> table_ids_;
    std::map<std::pair<int64_t, std::string>, sequence_info, std::less<>> sequences_;
    std::map<std::pair<int64_t, std::string>, std::pair<int64_t, size_t>, std::less<>> indexes_;
    std::map<std::pair<int64_t, std::string>, std::pair<int64_t, size_t>, std::less<>> triggers_;
    std::map<std::pair<int64_t, std::string>, int64_t, std::less<>> constraints_;
};

// Creates the catalog tables of a new database.
void create_catalog_schema(sqlite3* db);
// The table of function-based index expressions, which older files lack (idempotent).
void create_index_expressions_table(sqlite3* db);
// The recycle bin's table, which older files lack (idempotent).
void create_recyclebin_table(sqlite3* db);

// The stored catalog version (bumped by every DDL).
int64_t read_catalog_version(sqlite3* db);

// Reads and writes of ora_meta.
std::optional<std::string> read_meta(sqlite3* db, std::string_view key);
void write_meta(sqlite3* db, std::string_view key, std::string_view value);

// Serialisation of a column type in ora_columns and back.
struct stored_type {
    std::string name;
    int length, char_semantics, precision, scale, fraction, integer_alias, is_float;
};
stored_type store_type(const column_type& t);
column_type load_type(const stored_type& s);

}  // namespace oralite
