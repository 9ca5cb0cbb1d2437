#include "oralite/ddl.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <variant>

#include "oralite/compiler.h"
#include "oralite/cursor.h"
#include "oralite/datetime.h"
#include "oralite/evaluator.h"
#include "oralite/expression_text.h"
#include "oralite/functions.h"
#include "oralite/parser.h"
#include "oralite/session.h"
#include "oralite/sqlite_util.h"
#include "oralite/storage.h"

namespace oralite {

namespace {

using sql_arg = std::variant<std::nullptr_t, int64_t, std::string>;

// Runs one catalog statement with positional arguments.
void run(sqlite3* db, std::string_view sql, std::initializer_list<sql_arg> args = {}) {
    sqlite_stmt s(db, sql);
    int i = 1;
    for (const sql_arg& a : args) {
        if (std::holds_alternative<int64_t>(a)) {
            s.bind(i, std::get<int64_t>(a));
        } else if (std::holds_alternative<std::string>(a)) {
            s.bind(i, std::string_view(std::get<std::string>(a)));
        } else {
            s.bind_null(i);
        }
        ++i;
    }
    s.run();
}

sql_arg opt(const std::optional<std::string>& v) {
    if (v)
        return *v;
    return nullptr;
}

std::string now_text() {
    return datetime::now().storage_text(false);
}

int64_t insert_object(sqlite3* db, int64_t owner, const std::string& name, const std::string& type,
                      int64_t table_id, bool generated, bool temporary,
                      const std::string& status = "VALID") {
    std::string now = now_text();
    run(db,
        "INSERT INTO ora_objects(owner_id, name, object_type, status, created, last_ddl, "
        "temporary, generated, table_id) VALUES (?1, ?2, ?3, ?4, ?5, ?5, ?6, ?7, ?8)",
        {owner, name, type, status, now, std::string(temporary ? "Y" : "N"),
         std::string(generated ? "Y" : "N"), table_id ? sql_arg(table_id) : sql_arg(nullptr)});
    return sqlite3_last_insert_rowid(db);
}

void touch_object(sqlite3* db, int64_t id) {
    run(db, "UPDATE ora_objects SET last_ddl = ?1 WHERE object_id = ?2", {now_text(), id});
}

int64_t next_constraint_id(sqlite3* db) {
    sqlite_stmt s(db, "SELECT seq FROM sqlite_sequence WHERE name = 'ora_constraints'");
    int64_t seq = s.step() ? s.int_at(0) : 5000;
    return seq + 1;
}

std::string generated_constraint_name(int64_t id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "SYS_C%07lld", static_cast<long long>(id));
    return buf;
}

bool table_has_rows(sqlite3* db, const table_info& t) {
    sqlite_stmt s(db, "SELECT 1 FROM " + t.internal + " LIMIT 1");
    return s.step();
}

void require_privilege(session& s, int64_t owner, const char* own, const char* any) {
    const user_info& u = s.user();
    if (owner == u.id ? u.has_privilege(own) : u.has_privilege(any))
        return;
    throw ora_error(1031);
}

void walk(const expr* e, const std::function<void(const expr&)>& f) {
    if (!e)
        return;
    f(*e);
    for (const expr_ptr& a : e->args) walk(a.get(), f);
}

// A column default may not refer to columns or binds.
void check_default(const expr& e) {
    walk(&e, [](const expr& x) {
        if (x.kind == expr_kind::column || x.kind == expr_kind::rowid ||
            x.kind == expr_kind::rownum) {
            throw ora_error(984).at(x.pos);
        }
        if (x.kind == expr_kind::bind || x.kind == expr_kind::trigger_row) {
            throw ora_error(1027).at(x.pos);
        }
        if (x.query)
            throw ora_error(22818).at(x.pos);
        if (x.kind == expr_kind::sequence_value)
            throw ora_error(984).at(x.pos);
    });
}

void insert_column(sqlite3* db, int64_t table_id, int column_id, const std::string& name,
                   const std::string& internal, const column_type& t, bool nullable,
                   const std::optional<std::string>& default_text) {
    stored_type st = store_type(t);
    int precision = t.dictionary_precision();
    int scale = t.dictionary_scale();
    std::string char_used = t.char_used();
    run(db,
        "INSERT INTO ora_columns(table_id, column_id, name, internal, type_name, length, "
        "char_semantics, precision, scale, fraction, integer_alias, is_float, nullable, "
        "data_default, data_type, data_length, data_precision, data_scale, char_length, "
        "char_used) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, "
        "?16, ?17, ?18, ?19, ?20)",
        {table_id,
         int64_t{column_id},
         name,
         internal,
         st.name,
         int64_t{st.length},
         int64_t{st.char_semantics},
         int64_t{st.precision},
         int64_t{st.scale},
         int64_t{st.fraction},
         int64_t{st.integer_alias},
         int64_t{st.is_float},
         std::string(nullable ? "Y" : "N"),
         opt(default_text),
         t.dictionary_name(),
         int64_t{t.data_length()},
         precision >= 0 ? sql_arg(int64_t{precision}) : sql_arg(nullptr),
         scale >= 0 || (t.code == type_code::number && scale != -1) ? sql_arg(int64_t{scale})
                                                                    : sql_arg(nullptr),
         int64_t{t.char_length()},
         char_used.empty() ? sql_arg(nullptr) : sql_arg(char_used)});
}

// NULLABLE is 'N' for a column with a NOT NULL constraint or in the primary key.
void refresh_nullable(sqlite3* db, int64_t table_id) {
    run(db,
        "UPDATE ora_columns SET nullable = CASE WHEN EXISTS ("
        "SELECT 1 FROM ora_constraints k JOIN ora_cons_columns cc "
        "ON cc.constraint_id = k.constraint_id WHERE k.table_id = ora_columns.table_id "
        "AND cc.column_name = ora_columns.name AND (k.constraint_type = 'P' OR "
        "(k.constraint_type = 'C' AND k.search_condition = '\"' || ora_columns.name || "
        "'\" IS NOT NULL'))) THEN 'N' ELSE 'Y' END WHERE table_id = ?1",
        {table_id});
}

// ---- constraints -------------------------------------------------------------------------

// What the statement being run knows about a table (it may not be in the catalog yet).
struct table_state {
    int64_t id = 0;
    int64_t owner_id = 0;
    std::string owner;
    std::string name;
    std::string internal;
    std::vector<std::pair<std::string, std::string>> columns;  // name, internal
    std::vector<column_type> types;
    std::vector<constraint_info> constraints;
    std::vector<index_info> indexes;
};

table_state state_of(const table_info& t) {
    table_state st;
    st.id = t.id;
    st.owner_id = t.owner_id;
    st.owner = t.owner;
    st.name = t.name;
    st.internal = t.internal;
    for (const column_info& c : t.columns) {
        st.columns.emplace_back(c.name, c.internal);
        st.types.push_back(c.type);
    }
    st.constraints = t.constraints;
    st.indexes = t.indexes;
    return st;
}

std::string internal_of(const table_state& t, const std::string& column, int pos) {
    for (const auto& [name, internal] : t.columns) {
        if (name == column)
            return internal;
    }
    throw ora_error(904, {"\"" + column + "\""}).at(pos);
}

const column_type& type_of(const table_state& t, const std::string& column) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].first == column)
            return t.types[i];
    }
    throw ora_error(904, {"\"" + column + "\""});
}

bool same_set(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

void check_constraint_name(const catalog& c, sqlite3* db, int64_t owner, const std::string& name,
                           int pos) {
    if (c.constraint_table(owner, name))
        throw ora_error(2264).at(pos);
    sqlite_stmt s(db, "SELECT 1 FROM ora_constraints WHERE owner_id = ?1 AND name = ?2");
    s.bind(1, owner).bind(2, std::string_view(name));
    if (s.step())
        throw ora_error(2264).at(pos);
}

bool index_name_used(const catalog& c, sqlite3* db, int64_t owner, const std::string& name) {
    if (c.index(owner, name).first)
        return true;
    sqlite_stmt s(db,
                  "SELECT 1 FROM ora_objects WHERE owner_id = ?1 AND name = ?2 "
                  "AND object_type = 'INDEX'");
    s.bind(1, owner).bind(2, std::string_view(name));
    return s.step();
}

void insert_index_rows(sqlite3* db, int64_t index_id, bool unique, const std::string& internal,
                       const std::vector<std::string>& columns, const std::vector<bool>& desc) {
    run(db, "UPDATE ora_objects SET internal = ?1 WHERE object_id = ?2", {internal, index_id});
    run(db, "INSERT INTO ora_indexes(index_id, uniqueness) VALUES (?1, ?2)",
        {index_id, std::string(unique ? "UNIQUE" : "NONUNIQUE")});
    for (size_t i = 0; i < columns.size(); ++i) {
        run(db,
            "INSERT INTO ora_ind_columns(index_id, column_name, position, descend) "
            "VALUES (?1, ?2, ?3, ?4)",
            {index_id, columns[i], static_cast<int64_t>(i + 1),
             std::string(i < desc.size() && desc[i] ? "DESC" : "ASC")});
    }
}

// The dictionary rows of an index (its SQLite index is dropped by the caller).
void delete_index_rows(sqlite3* db, int64_t index_id) {
    run(db, "DELETE FROM ora_objects WHERE object_id = ?1", {index_id});
    run(db, "DELETE FROM ora_indexes WHERE index_id = ?1", {index_id});
    run(db, "DELETE FROM ora_ind_columns WHERE index_id = ?1", {index_id});
    run(db, "DELETE FROM ora_ind_expressions WHERE index_id = ?1", {index_id});
}

// An index entry fits in an 8 KB block: Oracle counts each key at its type's largest size
// (DATA_LENGTH: bytes of the character set for n CHAR) plus one byte per key.
void check_key_length(const std::vector<column_type>& types) {
    constexpr int k_max_key_length = 6398;
    int total = 0;
    for (const column_type& t : types) total += t.data_length() + 1;
    if (total > k_max_key_length)
        throw ora_error(1450, {std::to_string(k_max_key_length)});
}

std::string key_list(const std::vector<std::string>& keys) {
    std::string out;
    for (const std::string& k : keys) out += (out.empty() ? "" : ", ") + k;
    return "(" + out + ")";
}

// The SQLite indexes behind an Oracle index over `keys` (the SQL of columns or expressions,
// with DESC where wanted); SQLite's result code. Oracle leaves out of a unique key one whose
// parts are all NULL and compares the others with NULL equal to NULL: (1, NULL) twice collides,
// (NULL, NULL) never does. SQLite takes NULLs as distinct, so a unique key of several parts that
// may be NULL is a plain unique index (which lookups use) for the keys without NULL parts, and a
// partial one, <internal>_N, for those with some, each part as (part IS NULL, IFNULL(part, 0)).
int create_sqlite_index(sqlite3* db, const std::string& internal, const std::string& table,
                        const std::vector<std::string>& keys, bool unique, bool nulls_possible) {
    std::string sql = "CREATE " + std::string(unique ? "UNIQUE " : "") + "INDEX " + internal +
                      " ON " + table + " " + key_list(keys);
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK || !unique || !nulls_possible || keys.size() < 2)
        return rc;
    std::string parts;
    std::string some_null;
    std::string some_set;
    for (const std::string& k : keys) {
        parts += (parts.empty() ? "" : ", ") + k + " IS NULL, IFNULL(" + k + ", 0)";
        some_null += (some_null.empty() ? "" : " OR ") + k + " IS NULL";
        some_set += (some_set.empty() ? "" : " OR ") + k + " IS NOT NULL";
    }
    sql = "CREATE UNIQUE INDEX " + internal + "_N ON " + table + " (" + parts + ") WHERE (" +
          some_null + ") AND (" + some_set + ")";
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

void drop_sqlite_index(sqlite3* db, const std::string& internal) {
    exec_sql(db, "DROP INDEX IF EXISTS " + internal);
    exec_sql(db, "DROP INDEX IF EXISTS " + internal + "_N");
}

void add_constraint(session& s, const catalog& c, sqlite3* db, table_state& t,
                    const constraint_def& def) {
    int64_t id = next_constraint_id(db);
    bool generated = !def.name.has_value();
    std::string name = generated ? generated_constraint_name(id) : def.name->name;
    if (!generated)
        check_constraint_name(c, db, t.owner_id, name, def.name->pos);
    for (const constraint_info& k : t.constraints) {
        if (k.name == name)
            throw ora_error(2264).at(def.pos);
    }
    std::vector<std::string> columns;
    for (const ident& col : def.columns) {
        internal_of(t, col.name, col.pos);
        if (std::find(columns.begin(), columns.end(), col.name) != columns.end()) {
            throw ora_error(957).at(col.pos);
        }
        columns.push_back(col.name);
    }
    std::string search_condition;
    std::string internal_index;
    std::string index_name;
    if (def.type == 'P' || def.type == 'U') {
        for (const std::string& col : columns) {
            const column_type& ct = type_of(t, col);
            if (ct.is_lob() || ct.is_long())
                throw ora_error(2329, {ct.dictionary_name()});
        }
        if (def.type == 'P') {
            for (const constraint_info& k : t.constraints) {
                if (k.type == 'P')
                    throw ora_error(2260).at(def.pos);
            }
        }
        for (const constraint_info& k : t.constraints) {
            if ((k.type == 'P' || k.type == 'U') && same_set(k.columns, columns)) {
                throw ora_error(2261).at(def.pos);
            }
        }
        std::vector<column_type> types;
        for (const std::string& col : columns) types.push_back(type_of(t, col));
        check_key_length(types);
        internal_index = "K" + std::to_string(id);
        std::vector<std::string> keys;
        for (const std::string& col : columns) keys.push_back(internal_of(t, col, def.pos));
        std::string qualified = t.owner + "." + name;
        if (def.type == 'P') {
            std::string nulls;
            for (const std::string& col : columns) {
                nulls += (nulls.empty() ? "" : " OR ") + internal_of(t, col, def.pos) + " IS NULL";
            }
            sqlite_stmt check(db, "SELECT 1 FROM " + t.internal + " WHERE " + nulls + " LIMIT 1");
            if (check.step())
                throw ora_error(2437, {qualified});
        }
        // The columns of a primary key are never NULL.
        int rc = create_sqlite_index(db, internal_index, t.internal, keys, true, def.type != 'P');
        if ((rc & 0xFF) == SQLITE_CONSTRAINT)
            throw ora_error(2299, {qualified});
        if (rc != SQLITE_OK)
            throw_sqlite(db, rc);
        // An index on exactly these columns serves the constraint; otherwise one named after
        // the constraint is made.
        const index_info* existing = nullptr;
        for (const index_info& ix : t.indexes) {
            if (ix.columns == columns)
                existing = &ix;
        }
        if (existing) {
            index_name = existing->name;
        } else {
            if (index_name_used(c, db, t.owner_id, name))
                throw ora_error(955).at(def.pos);
            int64_t index_id = insert_object(db, t.owner_id, name, "INDEX", t.id, generated, false);
            insert_index_rows(db, index_id, true, internal_index, columns, {});
            index_name = name;
            index_info ix;
            ix.id = index_id;
            ix.name = name;
            ix.unique = true;
            ix.columns = columns;
            ix.internal = internal_index;
            t.indexes.push_back(ix);
        }
    } else if (def.type == 'N') {
        search_condition = "\"" + columns[0] + "\" IS NOT NULL";
        std::string internal = internal_of(t, columns[0], def.pos);
        sqlite_stmt check(
            db, "SELECT 1 FROM " + t.internal + " WHERE " + internal + " IS NULL LIMIT 1");
        if (check.step())
            throw ora_error(2296, {t.owner + "." + name});
    } else if (def.type == 'C') {
        search_condition = def.check_text;
        walk(def.check.get(), [&](const expr& x) {
            if (x.kind == expr_kind::column) {
                if (x.path.size() != 1)
                    throw ora_error(904, {"\"" + x.path.back().name + "\""});
                internal_of(t, x.path[0].name, x.pos);
                columns.push_back(x.path[0].name);
            }
            if (x.kind == expr_kind::sequence_value || x.kind == expr_kind::sysdate ||
                x.kind == expr_kind::user || x.kind == expr_kind::rownum || x.query) {
                throw ora_error(2436).at(x.pos);
            }
        });
        std::sort(columns.begin(), columns.end());
        columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    }
    run(db,
        "INSERT INTO ora_constraints(constraint_id, owner_id, name, table_id, constraint_type, "
        "search_condition, generated, index_name, internal) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
        "?8, ?9)",
        {id, t.owner_id, name, t.id, std::string(1, def.type == 'N' ? 'C' : def.type),
         search_condition.empty() ? sql_arg(nullptr) : sql_arg(search_condition),
         std::string(generated ? "GENERATED NAME" : "USER NAME"),
         index_name.empty() ? sql_arg(nullptr) : sql_arg(index_name),
         internal_index.empty() ? sql_arg(nullptr) : sql_arg(internal_index)});
    for (size_t i = 0; i < columns.size(); ++i) {
        run(db,
            "INSERT INTO ora_cons_columns(constraint_id, column_name, position) "
            "VALUES (?1, ?2, ?3)",
            {id, columns[i], static_cast<int64_t>(i + 1)});
    }
    constraint_info k;
    k.id = id;
    k.name = name;
    k.type = def.type == 'N' ? 'C' : def.type;
    k.columns = columns;
    k.internal_index = internal_index;
    t.constraints.push_back(std::move(k));
    (void)s;
}

void drop_constraint_rows(sqlite3* db, const table_state& t, const constraint_info& k) {
    if (!k.internal_index.empty()) {
        drop_sqlite_index(db, k.internal_index);
        // The index made for the constraint goes with it.
        sqlite_stmt s(db,
                      "SELECT o.object_id FROM ora_objects o WHERE o.object_type = 'INDEX' "
                      "AND o.table_id = ?1 AND o.internal = ?2");
        s.bind(1, t.id).bind(2, std::string_view(k.internal_index));
        if (s.step()) {
            int64_t index_id = s.int_at(0);
            s.reset();
            delete_index_rows(db, index_id);
        }
    }
    run(db, "DELETE FROM ora_cons_columns WHERE constraint_id = ?1", {k.id});
    run(db, "DELETE FROM ora_constraints WHERE constraint_id = ?1", {k.id});
}

// ---- column changes --------------------------------------------------------------------------

// Oracle refuses to lower a NUMBER column's precision or scale while the column holds a value,
// even one that would fit (ORA-01440); unconstrained NUMBER counts as precision 38, any scale.
bool lowers_number_precision(const column_type& from, const column_type& to) {
    if (from.code != type_code::number || to.code != type_code::number ||
        from.is_float != to.is_float) {
        return false;
    }
    auto precision = [](const column_type& t) {
        return t.precision > 0 ? t.precision : (t.is_float ? 126 : 38);
    };
    auto scale = [](const column_type& t) {
        return t.scale == column_type::k_no_scale ? std::numeric_limits<int>::max() : t.scale;
    };
    return precision(to) < precision(from) || scale(to) < scale(from);
}

// ---- sequences -----------------------------------------------------------------------------

// A number given to CREATE or ALTER SEQUENCE: an integer (ORA-04001, ORA-04002 for INCREMENT)
// of at most 28 digits (ORA-04003; 10^28 itself is taken, as the MAXVALUE 1.0E28 of many
// scripts is).
std::optional<decimal> sequence_parameter(const std::optional<std::string>& text, const char* name,
                                          int not_integer = 4001) {
    if (!text)
        return std::nullopt;
    auto d = decimal::parse(*text);
    if (!d)
        throw ora_error(1722);
    if (!d->is_integer())
        throw ora_error(not_integer, {name});
    static const decimal k_limit = *decimal::parse("1E28");
    if (d->abs().compare(k_limit) > 0)
        throw ora_error(4003, {name, "28"});
    return d;
}

// The increment must fit between the bounds (ORA-04005), and a cycling sequence must cache
// less than (MAXVALUE - MINVALUE) / ABS(INCREMENT) numbers (ORA-04013).
void check_sequence_span(const decimal& increment, const decimal& min, const decimal& max,
                         bool cycle, int64_t cache) {
    decimal span = max - min;
    if (increment.abs().compare(span) >= 0)
        throw ora_error(4005);
    if (!cycle || cache < 2)
        return;
    decimal per_cycle = decimal::divide(span, increment.abs());
    if (decimal::from_int(cache).compare(per_cycle) >= 0)
        throw ora_error(4013);
}

// ---- triggers ------------------------------------------------------------------------------

struct trigger_checker {
    const catalog& c;
    int64_t owner;
    const table_info& table;
    const create_trigger_statement& t;
    std::vector<compile_error> errors;

    void error_at(int pos, std::string text) {
        compile_error e;
        e.text = std::move(text);
        // Positions count from the start of the body (BEGIN is line 1, column 1).
        int offset = pos - t.body_offset;
        if (offset >= 0) {
            for (size_t i = 0; i < static_cast<size_t>(offset) && i < t.body_text.size(); ++i) {
                if (t.body_text[i] == '\n') {
                    ++e.line;
                    e.position = 1;
                } else {
                    ++e.position;
                }
            }
        }
        errors.push_back(std::move(e));
    }

    bool has_column(const std::string& name) const { return table.find_column(name) != nullptr; }

    void check_expr(const expr* root, bool in_sql) {
        walk(root, [&](const expr& x) {
            switch (x.kind) {
                case expr_kind::trigger_row:
                    if ((x.text != t.new_name && x.text != t.old_name) ||
                        !has_column(x.path[0].name)) {
                        error_at(x.pos, "PLS-00049: bad bind variable '" + x.text + "." +
                                            x.path[0].name + "'");
                    }
                    break;
                case expr_kind::column:
                    if (x.path.size() == 2 &&
                        (x.path[0].name == t.new_name || x.path[0].name == t.old_name)) {
                        if (!has_column(x.path[1].name)) {
                            error_at(x.pos, "PLS-00049: bad bind variable '" + x.path[0].name +
                                                "." + x.path[1].name + "'");
                        }
                    } else if (!(in_sql && x.path.size() == 1 && x.path[0].name == "DUMMY")) {
                        error_at(x.pos,
                                 std::string(in_sql ? "PL/SQL: ORA-00904: " : "PLS-00201: ") +
                                     (in_sql ? "\"" + x.path.back().name + "\": invalid identifier"
                                             : "identifier '" + x.path.back().name +
                                                   "' must be declared"));
                    }
                    break;
                case expr_kind::sequence_value: {
                    std::optional<int64_t> seq_owner = owner;
                    if (x.path.size() == 2) {
                        const user_info* u = c.user(x.path[0].name);
                        seq_owner = u ? std::optional<int64_t>(u->id) : std::nullopt;
                    }
                    if (x.path.size() > 2 || !seq_owner ||
                        !c.sequence(*seq_owner, x.path.back().name)) {
                        std::string name;
                        for (const ident& i : x.path) name += i.name + ".";
                        error_at(x.pos, in_sql ? "PL/SQL: ORA-02289: sequence does not exist"
                                               : "PLS-00201: identifier '" + name + x.text +
                                                     "' must be declared");
                    }
                    break;
                }
                case expr_kind::function: {
                    std::string name;
                    for (const ident& i : x.path) name += (name.empty() ? "" : ".") + i.name;
                    if (x.path.size() == 1 && is_aggregate_name(name)) {
                        error_at(x.pos, "PLS-00204: function or pseudo-column '" + name +
                                            "' may be used inside a SQL statement only");
                        break;
                    }
                    try {
                        find_function(name, x.args.size(), x.pos);
                    } catch (const ora_error&) {
                        error_at(x.pos, "PLS-00201: identifier '" + name + "' must be declared");
                    }
                    break;
                }
                case expr_kind::bind:
                    error_at(x.pos, "PLS-00049: bad bind variable '" + x.text + "'");
                    break;
                case expr_kind::rowid:
                case expr_kind::rownum:
                    error_at(x.pos, "PLS-00201: identifier 'ROWID' must be declared");
                    break;
                default:
                    if (x.query) {
                        error_at(x.pos, "PL/SQL: ORA-03001: unimplemented feature");
                    }
                    break;
            }
        });
    }

    void check_target(const expr& target) {
        if (target.kind != expr_kind::trigger_row) {
            error_at(target.pos, "PLS-00103: Encountered the symbol \"" + target.text + "\"");
            return;
        }
        if (target.text == t.old_name) {
            error_at(target.pos, "ORA-04085: cannot change the value of an OLD reference variable");
            return;
        }
        check_expr(&target, false);
    }

    void check_body(const std::vector<plsql_stmt>& body) {
        for (const plsql_stmt& st : body) {
            switch (st.kind) {
                case plsql_stmt::null_stmt:
                    break;
                case plsql_stmt::assign:
                    check_target(*st.targets[0]);
                    check_expr(st.values[0].get(), false);
                    break;
                case plsql_stmt::select_into: {
                    if (st.values.size() != st.targets.size()) {
                        error_at(st.values[0]->pos, st.values.size() < st.targets.size()
                                                        ? "PL/SQL: ORA-00947: not enough values"
                                                        : "PL/SQL: ORA-00913: too many values");
                    }
                    for (const table_ref& ref : st.from) {
                        bool dual = !ref.subquery && ref.name.name.name == "DUAL" &&
                                    (!ref.name.schema || ref.name.schema->name == "SYS");
                        if (!dual) {
                            error_at(ref.pos, "PL/SQL: ORA-03001: unimplemented feature");
                        }
                    }
                    for (const expr_ptr& v : st.values) check_expr(v.get(), true);
                    for (const expr_ptr& target : st.targets) check_target(*target);
                    check_expr(st.where.get(), true);
                    break;
                }
                case plsql_stmt::if_stmt:
                    for (const expr_ptr& cond : st.conditions) check_expr(cond.get(), false);
                    for (const auto& branch : st.branches) check_body(branch);
                    break;
            }
        }
    }
};

// ---- object removal ------------------------------------------------------------------------

std::string original_name(sqlite3* db, int64_t object_id) {
    sqlite_stmt s(db, "SELECT original_name FROM ora_recyclebin WHERE object_id = ?1");
    s.bind(1, object_id);
    return s.step() ? s.text_at(0) : std::string();
}

// A recycle-bin name: BIN$, a unique 16-byte value in base64, $0 (30 characters).
std::string recycle_name() {
    static const char k_digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static std::mt19937_64 random{std::random_device{}()};
    std::array<unsigned char, 18> bytes{};  // 16 bytes and two zero bytes of padding
    for (size_t i = 0; i < 16; ++i) bytes[i] = static_cast<unsigned char>(random());
    std::string out = "BIN$";
    for (size_t i = 0; i < 18; i += 3) {
        uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        for (int k = 18; k >= 0; k -= 6) out += k_digits[(v >> k) & 63];
    }
    out.resize(out.size() - 2);
    return out + "==$0";
}

// DROP TABLE without PURGE: the table, its indexes, triggers and constraints take
// recycle-bin names, so their own names are free at once; the rows stay until a purge.
void recycle_table(sqlite3* db, const table_info& t) {
    std::string now = now_text();
    sqlite_stmt scn(db, "SELECT COALESCE(MAX(dropscn), 0) + 1 FROM ora_recyclebin");
    scn.step();
    int64_t drop_scn = scn.int_at(0);
    auto recycle = [&](int64_t id, const std::string& name, const char* type) {
        std::string bin = recycle_name();
        run(db,
            "INSERT INTO ora_recyclebin(object_id, owner_id, original_name, type, base_object, "
            "createtime, droptime, dropscn) SELECT object_id, owner_id, name, ?2, ?3, created, "
            "?4, ?5 FROM ora_objects WHERE object_id = ?1",
            {id, std::string(type), t.id, now, drop_scn});
        run(db, "UPDATE ora_objects SET name = ?1 WHERE object_id = ?2", {bin, id});
        run(db,
            "UPDATE ora_constraints SET index_name = ?1 WHERE table_id = ?2 AND index_name = ?3",
            {bin, t.id, name});
    };
    recycle(t.id, t.name, "TABLE");
    for (const index_info& ix : t.indexes) recycle(ix.id, ix.name, "NORMAL INDEX");
    for (const trigger_info& tr : t.triggers) recycle(tr.id, tr.name, "TRIGGER");
    for (const constraint_info& k : t.constraints) {
        run(db, "UPDATE ora_constraints SET name = ?1 WHERE constraint_id = ?2",
            {recycle_name(), k.id});
    }
}

void drop_table_rows(sqlite3* db, const table_info& t) {
    exec_sql(db, "DROP TABLE IF EXISTS " + t.internal);
    run(db, "DELETE FROM ora_recyclebin WHERE base_object = ?1", {t.id});
    run(db, "DELETE FROM ora_columns WHERE table_id = ?1", {t.id});
    run(db,
        "DELETE FROM ora_cons_columns WHERE constraint_id IN "
        "(SELECT constraint_id FROM ora_constraints WHERE table_id = ?1)",
        {t.id});
    run(db, "DELETE FROM ora_constraints WHERE table_id = ?1", {t.id});
    run(db,
        "DELETE FROM ora_ind_columns WHERE index_id IN "
        "(SELECT object_id FROM ora_objects WHERE table_id = ?1 AND object_type = 'INDEX')",
        {t.id});
    run(db,
        "DELETE FROM ora_indexes WHERE index_id IN "
        "(SELECT object_id FROM ora_objects WHERE table_id = ?1 AND object_type = 'INDEX')",
        {t.id});
    run(db,
        "DELETE FROM ora_ind_expressions WHERE index_id IN "
        "(SELECT object_id FROM ora_objects WHERE table_id = ?1 AND object_type = 'INDEX')",
        {t.id});
    run(db,
        "DELETE FROM ora_triggers WHERE trigger_id IN "
        "(SELECT object_id FROM ora_objects WHERE table_id = ?1 AND object_type = 'TRIGGER')",
        {t.id});
    run(db,
        "DELETE FROM ora_errors WHERE object_id IN "
        "(SELECT object_id FROM ora_objects WHERE table_id = ?1 AND object_type = 'TRIGGER')",
        {t.id});
    run(db, "DELETE FROM ora_objects WHERE table_id = ?1 OR object_id = ?1", {t.id});
}

void drop_trigger_rows(sqlite3* db, int64_t id) {
    run(db, "DELETE FROM ora_triggers WHERE trigger_id = ?1", {id});
    run(db, "DELETE FROM ora_errors WHERE object_id = ?1", {id});
    run(db, "DELETE FROM ora_objects WHERE object_id = ?1", {id});
}

// After a change that may break triggers (a dropped sequence, renamed or dropped columns),
// every trigger is checked against the new catalog and marked accordingly.
void revalidate_triggers(sqlite3* db) {
    std::shared_ptr<const catalog> c = catalog::load(db);
    for (const auto& [id, table] : c->tables()) {
        for (const trigger_info& tr : table->triggers) {
            bool valid =
                tr.parsed && validate_trigger(*c, table->owner_id, *table, *tr.parsed).empty();
            if (valid != tr.valid) {
                run(db, "UPDATE ora_objects SET status = ?1 WHERE object_id = ?2",
                    {std::string(valid ? "VALID" : "INVALID"), tr.id});
            }
        }
    }
}

// ---- statements ----------------------------------------------------------------------------

class ddl_runner {
  public:
    ddl_runner(session& s, const std::string& sql, std::optional<ora_error>& warning)
        : s_(s), sql_(sql), warning_(warning) {}

    void run_statement(const statement& st) {
        switch (st.kind) {
            case statement_kind::create_table:
                return create_table(static_cast<const create_table_statement&>(st));
            case statement_kind::create_index:
                return create_index(static_cast<const create_index_statement&>(st));
            case statement_kind::create_sequence:
            case statement_kind::alter_sequence:
                return sequence(static_cast<const sequence_statement&>(st));
            case statement_kind::create_trigger:
                return create_trigger(static_cast<const create_trigger_statement&>(st));
            case statement_kind::alter_trigger:
                return alter_trigger(static_cast<const alter_trigger_statement&>(st));
            case statement_kind::drop:
                return drop(static_cast<const drop_statement&>(st));
            case statement_kind::alter_table:
                return alter_table(static_cast<const alter_table_statement&>(st));
            case statement_kind::truncate:
                return truncate(static_cast<const truncate_statement&>(st));
            case statement_kind::create_user:
            case statement_kind::alter_user:
                return user(static_cast<const user_statement&>(st));
            case statement_kind::grant:
            case statement_kind::revoke:
                return grant(static_cast<const grant_statement&>(st));
            case statement_kind::comment:
                return s_.run_ddl([] {});
            case statement_kind::purge:
                return purge(static_cast<const recycle_statement&>(st));
            case statement_kind::flashback:
                return flashback(static_cast<const recycle_statement&>(st));
            default:
                throw ora_error(900);
        }
    }

  private:
    sqlite3* db() { return s_.db(); }
    const catalog& cat() { return *cat_; }

    void ddl(const std::function<void()>& change) {
        s_.run_ddl([&] {
            cat_ = s_.catalog_snapshot();
            change();
        });
    }

    // -- tables --

    void create_table(const create_table_statement& st) {
        cat_ = s_.catalog_snapshot();
        int64_t owner = resolve_owner(s_, cat(), st.table.schema);
        require_privilege(s_, owner, "CREATE TABLE", "CREATE ANY TABLE");
        if (cat().object_name_used(owner, st.table.name.name)) {
            throw ora_error(955).at(st.table.name.pos);
        }
        std::vector<std::pair<std::string, column_type>> columns;
        std::vector<std::optional<std::string>> defaults;
        bool copy = false;
        if (st.as_query) {
            query_columns(st, columns);
            copy = true;
            defaults.resize(columns.size());
        } else {
            int longs = 0;
            for (const column_def& col : st.columns) {
                for (const auto& [name, type] : columns) {
                    if (name == col.name.name)
                        throw ora_error(957).at(col.name.pos);
                }
                column_type t = column_type_from_declaration(*col.type);
                if (t.is_long() && ++longs > 1)
                    throw ora_error(1754).at(col.type->pos);
                if (col.has_default) {
                    check_default(*col.default_value);
                    defaults.push_back(col.default_text);
                } else {
                    defaults.push_back(std::nullopt);
                }
                columns.emplace_back(col.name.name, t);
            }
        }
        if (columns.size() > 1000)
            throw ora_error(1792);
        ddl([&] {
            const user_info* u = cat().user_by_id(owner);
            table_state t;
            t.owner_id = owner;
            t.owner = u ? u->name : "";
            t.name = st.table.name.name;
            t.id = insert_object(db(), owner, t.name, "TABLE", 0, false, st.temporary);
            t.internal = "T" + std::to_string(t.id);
            run(db(), "UPDATE ora_objects SET internal = ?1 WHERE object_id = ?2",
                {t.internal, t.id});
            std::string create = "CREATE TABLE " + t.internal + " (R INTEGER PRIMARY KEY";
            for (size_t i = 0; i < columns.size(); ++i) {
                std::string internal = "C" + std::to_string(i + 1);
                create += ", " + internal;
                t.columns.emplace_back(columns[i].first, internal);
                t.types.push_back(columns[i].second);
                insert_column(db(), t.id, static_cast<int>(i + 1), columns[i].first, internal,
                              columns[i].second, true, defaults[i]);
            }
            exec_sql(db(), create + ")");
            for (const column_def& col : st.columns) {
                if (col.nullability == 1) {
                    constraint_def nn;
                    nn.name = col.not_null_name;
                    nn.type = 'N';
                    nn.columns.push_back(col.name);
                    add_constraint(s_, cat(), db(), t, nn);
                }
                for (const constraint_def& k : col.constraints)
                    add_constraint(s_, cat(), db(), t, k);
            }
            for (const constraint_def& k : st.constraints) add_constraint(s_, cat(), db(), t, k);
            refresh_nullable(db(), t.id);
            if (copy)
                copy_rows(t);
        });
    }

    void query_columns(const create_table_statement& st,
                       std::vector<std::pair<std::string, column_type>>& out) {
        bind_slots slots;
        compiled_query q = compile_select(s_, cat(), slots, *st.as_query);
        if (!slots.names().empty())
            throw ora_error(1027);
        for (size_t i = 0; i < q.columns.size(); ++i) {
            const result_column& rc = q.columns[i];
            std::string name = rc.name;
            if (i < st.columns.size())
                name = st.columns[i].name.name;
            bool plain = !name.empty() && (std::isalpha(static_cast<unsigned char>(name[0])) ||
                                           static_cast<unsigned char>(name[0]) >= 0x80);
            for (char ch : name) {
                if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '$' ||
                      ch == '#' || static_cast<unsigned char>(ch) >= 0x80)) {
                    plain = false;
                }
            }
            if (!plain)
                throw ora_error(998);
            column_type t = rc.type;
            if (t.code == type_code::none)
                t = column_type::varchar(1);
            if (t.code == type_code::char_ && t.length == 0)
                t.length = 1;
            if (t.code == type_code::rowid)
                t = column_type::varchar(18);
            out.emplace_back(name, t);
        }
        query_sql_ = q;
    }

    void copy_rows(const table_state& t) {
        if (query_sql_.uses_sequence)
            s_.begin_write();
        sqlite_stmt select(db(), query_sql_.sql);
        for (size_t i = 0; i < query_sql_.params.size(); ++i) {
            const query_param& p = query_sql_.params[i];
            value v = p.literal_value;
            if (p.expect != '?' && p.expect != 'I')
                v = convert_to(v, type_of_letter(p.expect));
            bind_storage(select.get(), static_cast<int>(i + 1), v);
        }
        std::string insert = "INSERT INTO " + t.internal + " (";
        std::string marks;
        for (size_t i = 0; i < t.columns.size(); ++i) {
            insert += (i ? ", " : "") + t.columns[i].second;
            marks += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        sqlite_stmt ins(db(), insert + ") VALUES (" + marks + ")");
        const user_info* owner = cat().user_by_id(t.owner_id);
        bool checked_quota = false;
        while (true) {
            int rc = sqlite3_step(select.get());
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                s_.throw_step_error(rc);
            if (!checked_quota) {
                if (owner && !owner->has_quota())
                    throw ora_error(1950, {"USERS"});
                checked_quota = true;
            }
            for (size_t i = 0; i < t.columns.size(); ++i) {
                value v =
                    read_storage(select.get(), static_cast<int>(i), query_sql_.columns[i].type);
                v = coerce_for_column(v, t.types[i],
                                      ora_quoted(t.owner, t.name, t.columns[i].first));
                bind_storage(ins.get(), static_cast<int>(i + 1), v);
            }
            ins.run();
        }
    }

    // -- indexes --

    void create_index(const create_index_statement& st) {
        cat_ = s_.catalog_snapshot();
        const table_info& table = resolve_table(s_, cat(), st.table, table_access::index);
        int64_t owner =
            st.index.schema ? resolve_owner(s_, cat(), st.index.schema) : table.owner_id;
        if (owner != table.owner_id)
            throw ora_error(3001).at(st.index.name.pos);
        ddl([&] {
            table_state t = state_of(table);
            const std::string& name = st.index.name.name;
            if (index_name_used(cat(), db(), owner, name))
                throw ora_error(955).at(st.index.name.pos);
            index_keys keys = index_keys_of(table, t, st);
            for (const index_info& ix : table.indexes) {
                if (key_identity(ix.columns, ix.expressions) ==
                    key_identity(keys.names, keys.expressions)) {
                    throw ora_error(1408);
                }
            }
            int64_t id = insert_object(db(), owner, name, "INDEX", table.id, false, false);
            std::string internal = "I" + std::to_string(id);
            std::vector<std::string> ordered = keys.sql;
            for (size_t i = 0; i < ordered.size(); ++i) {
                if (keys.descending[i] && !st.unique)
                    ordered[i] += " DESC";
            }
            int rc = create_sqlite_index(db(), internal, table.internal, ordered, st.unique, true);
            if ((rc & 0xFF) == SQLITE_CONSTRAINT)
                throw ora_error(1452);
            if (rc != SQLITE_OK)
                throw_sqlite(db(), rc);
            insert_index_rows(db(), id, st.unique, internal, keys.names, keys.descending);
            for (size_t i = 0; i < keys.expressions.size(); ++i) {
                if (keys.expressions[i].empty())
                    continue;
                run(db(),
                    "INSERT INTO ora_ind_expressions(index_id, position, column_expression) "
                    "VALUES (?1, ?2, ?3)",
                    {id, static_cast<int64_t>(i + 1), keys.expressions[i]});
            }
        });
    }

    // The keys of a new index: columns, or expressions (a function-based index), whose
    // hidden columns Oracle names SYS_NCnnnnn$ after the table's columns.
    struct index_keys {
        std::vector<std::string> names;        // as USER_IND_COLUMNS shows them
        std::vector<std::string> expressions;  // Oracle's text; empty for a column
        std::vector<std::string> sql;          // what SQLite indexes
        std::vector<column_type> types;
        std::vector<bool> descending;
    };

    index_keys index_keys_of(const table_info& table, const table_state& t,
                             const create_index_statement& st) {
        index_keys keys;
        // Numbered after the table's columns and the hidden columns already made.
        size_t hidden = table.columns.size();
        for (const index_info& ix : table.indexes) {
            for (size_t i = 0; i < ix.columns.size() && i < ix.expressions.size(); ++i) {
                if (!ix.expressions[i].empty() && ix.columns[i].size() > 7)
                    hidden = std::max<size_t>(hidden, std::stoul(ix.columns[i].substr(6)));
            }
        }
        for (const index_column& c : st.columns) {
            keys.descending.push_back(c.descending);
            if (c.expression) {
                check_pure(*c.expression);
                index_expression compiled =
                    compile_index_expression(s_, cat(), table, *c.expression);
                keys.sql.push_back("(" + compiled.sql + ")");
                keys.types.push_back(compiled.type);
                keys.expressions.push_back(oracle_expression_text(*c.expression));
                char hidden_name[32];
                std::snprintf(hidden_name, sizeof hidden_name, "SYS_NC%05zu$", ++hidden);
                keys.names.push_back(hidden_name);
                continue;
            }
            std::string internal = internal_of(t, c.name.name, c.name.pos);
            if (std::find(keys.names.begin(), keys.names.end(), c.name.name) != keys.names.end()) {
                throw ora_error(957).at(c.name.pos);
            }
            const column_type& ct = type_of(t, c.name.name);
            if (ct.is_lob() || ct.is_long()) {
                throw ora_error(2327, {ct.dictionary_name()}).at(c.name.pos);
            }
            keys.names.push_back(c.name.name);
            keys.expressions.emplace_back();
            keys.sql.push_back(internal);
            keys.types.push_back(ct);
        }
        check_key_length(keys.types);
        return keys;
    }

    // What an index key stands for, to find an index on the same keys (ORA-01408).
    static std::vector<std::string> key_identity(const std::vector<std::string>& names,
                                                 const std::vector<std::string>& expressions) {
        std::vector<std::string> out;
        for (size_t i = 0; i < names.size(); ++i) {
            bool expression = i < expressions.size() && !expressions[i].empty();
            out.push_back(expression ? "=" + expressions[i] : names[i]);
        }
        return out;
    }

    // An index expression gives the same value for the same row at any time.
    static void check_pure(const expr& e) {
        walk(&e, [](const expr& x) {
            switch (x.kind) {
                case expr_kind::sysdate:
                case expr_kind::systimestamp:
                case expr_kind::user:
                case expr_kind::rownum:
                case expr_kind::rowid:
                case expr_kind::sequence_value:
                    throw ora_error(1743).at(x.pos);
                default:
                    if (x.query)
                        throw ora_error(1743).at(x.pos);
            }
        });
    }

    // -- the recycle bin --

    // The dropped table `table` names (by original name: the oldest one for PURGE, the
    // latest for FLASHBACK), or nullptr.
    const table_info* recycled_table(const qualified_name& table, bool oldest) {
        int64_t owner = resolve_owner(s_, cat(), table.schema);
        if (owner != s_.user().id && !s_.user().is_dba())
            return nullptr;
        const table_info* named = cat().table(owner, table.name.name);
        if (named && named->recycled)
            return named;
        sqlite_stmt find(db(), std::string("SELECT object_id FROM ora_recyclebin WHERE owner_id "
                                           "= ?1 AND original_name = ?2 AND type = 'TABLE' "
                                           "ORDER BY dropscn ") +
                                   (oldest ? "ASC" : "DESC") + " LIMIT 1");
        find.bind(1, owner).bind(2, std::string_view(table.name.name));
        return find.step() ? cat().table_by_id(find.int_at(0)) : nullptr;
    }

    void purge(const recycle_statement& st) {
        cat_ = s_.catalog_snapshot();
        if (st.whole_bin) {
            int64_t owner = s_.user().id;
            ddl([&] {
                for (const auto& [id, t] : cat().tables()) {
                    if (t->recycled && t->owner_id == owner)
                        drop_table_rows(db(), *t);
                }
            });
            return;
        }
        const table_info* t = recycled_table(st.table, true);
        if (!t)
            throw ora_error(38307).at(st.table.name.pos);
        int64_t id = t->id;
        ddl([&] {
            if (const table_info* fresh = cat().table_by_id(id))
                drop_table_rows(db(), *fresh);
        });
    }

    void flashback(const recycle_statement& st) {
        cat_ = s_.catalog_snapshot();
        const table_info* t = recycled_table(st.table, false);
        if (!t)
            throw ora_error(38305).at(st.table.name.pos);
        int64_t id = t->id;
        int64_t owner = t->owner_id;
        std::string name = st.rename_to ? st.rename_to->name : original_name(db(), id);
        ddl([&] {
            if (cat().object_name_used(owner, name))
                throw ora_error(38312);
            // Its indexes, constraints and triggers keep their recycle-bin names.
            run(db(), "UPDATE ora_objects SET name = ?1 WHERE object_id = ?2", {name, id});
            run(db(), "DELETE FROM ora_recyclebin WHERE base_object = ?1", {id});
        });
    }

    // -- sequences --

    void sequence(const sequence_statement& st) {
        cat_ = s_.catalog_snapshot();
        bool create = st.kind == statement_kind::create_sequence;
        int64_t owner = resolve_owner(s_, cat(), st.sequence.schema);
        const sequence_info* existing = cat().sequence(owner, st.sequence.name.name);
        if (create) {
            require_privilege(s_, owner, "CREATE SEQUENCE", "CREATE ANY SEQUENCE");
            if (cat().object_name_used(owner, st.sequence.name.name)) {
                throw ora_error(955).at(st.sequence.name.pos);
            }
        } else {
            if (!existing)
                throw ora_error(2289).at(st.sequence.name.pos);
            if (owner != s_.user().id && !s_.user().has_privilege("ALTER ANY SEQUENCE")) {
                throw ora_error(2289).at(st.sequence.name.pos);
            }
        }
        const sequence_options& o = st.options;
        // Current settings (ALTER) or Oracle's defaults (CREATE).
        decimal increment = decimal::from_int(1);
        std::optional<decimal> min, max;
        bool cycle = false, order = false;
        int64_t cache = 20;
        decimal next;
        if (!create) {
            sqlite_stmt cur(db(),
                            "SELECT min_value, max_value, increment_by, cycle_flag, order_flag, "
                            "cache_size, next_value FROM ora_sequences WHERE sequence_id = ?1");
            cur.bind(1, existing->id);
            if (cur.step()) {
                min = decimal::parse(cur.text_at(0));
                max = decimal::parse(cur.text_at(1));
                increment = *decimal::parse(cur.text_at(2));
                cycle = cur.text_at(3) == "Y";
                order = cur.text_at(4) == "Y";
                cache = cur.int_at(5);
                next = *decimal::parse(cur.text_at(6));
            }
        }
        if (o.increment) {
            increment = *sequence_parameter(o.increment, "INCREMENT", 4002);
            if (increment.is_zero())
                throw ora_error(4002);
        }
        bool ascending = !increment.is_negative();
        decimal max_default = *decimal::parse(ascending ? "9999999999999999999999999999" : "-1");
        decimal min_default = *decimal::parse(ascending ? "1" : "-999999999999999999999999999");
        if (create || o.minvalue || o.nominvalue) {
            min = o.minvalue ? sequence_parameter(o.minvalue, "MINVALUE")
                             : std::optional<decimal>(min_default);
        }
        if (create || o.maxvalue || o.nomaxvalue) {
            max = o.maxvalue ? sequence_parameter(o.maxvalue, "MAXVALUE")
                             : std::optional<decimal>(max_default);
        }
        if (o.cycle)
            cycle = *o.cycle;
        if (o.order)
            order = *o.order;
        if (o.nocache)
            cache = 0;
        if (o.cache) {
            auto ci = sequence_parameter(o.cache, "CACHE")->to_int64();
            if (!ci || *ci < 2)
                throw ora_error(4010);
            cache = *ci;
        }
        if (min->compare(*max) >= 0)
            throw ora_error(4004);
        check_sequence_span(increment, *min, *max, cycle, cache);
        if (create) {
            next = o.start ? *sequence_parameter(o.start, "START WITH") : (ascending ? *min : *max);
            if (next.compare(*min) < 0)
                throw ora_error(4006);
            if (next.compare(*max) > 0)
                throw ora_error(4008);
        }
        ddl([&] {
            int64_t id;
            if (create) {
                id = insert_object(db(), owner, st.sequence.name.name, "SEQUENCE", 0, false, false);
            } else {
                id = existing->id;
                touch_object(db(), id);
            }
            run(db(),
                "INSERT OR REPLACE INTO ora_sequences(sequence_id, min_value, max_value, "
                "increment_by, cycle_flag, order_flag, cache_size, next_value) "
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                {id, min->to_string(), max->to_string(), increment.to_string(),
                 std::string(cycle ? "Y" : "N"), std::string(order ? "Y" : "N"), cache,
                 next.to_string()});
        });
    }

    // -- triggers --

    void create_trigger(const create_trigger_statement& st) {
        cat_ = s_.catalog_snapshot();
        int64_t owner = resolve_owner(s_, cat(), st.trigger.schema);
        const table_info& table = resolve_table(s_, cat(), st.table, table_access::trigger);
        if (st.timing != "BEFORE" || !st.for_each_row || st.events.size() != 1 ||
            st.events[0] != "INSERT") {
            throw ora_error(3001).at(st.trigger.name.pos);
        }
        require_privilege(s_, owner, "CREATE TRIGGER", "CREATE ANY TRIGGER");
        if (table.owner_id != owner && !s_.user().has_privilege("CREATE ANY TRIGGER")) {
            throw ora_error(1031);
        }
        auto found = cat().trigger(owner, st.trigger.name.name);
        const table_info* old_table = found.first;
        const trigger_info* old_trigger = found.second;
        if (old_trigger) {
            if (!st.or_replace)
                throw ora_error(4081, {st.trigger.name.name});
            if (old_table->id != table.id)
                throw ora_error(4095, {st.trigger.name.name});
        }
        std::vector<compile_error> errors = validate_trigger(cat(), owner, table, st);
        ddl([&] {
            if (old_trigger)
                drop_trigger_rows(db(), old_trigger->id);
            int64_t id = insert_object(db(), owner, st.trigger.name.name, "TRIGGER", table.id,
                                       false, false, errors.empty() ? "VALID" : "INVALID");
            std::string referencing =
                "REFERENCING NEW AS " + st.new_name + " OLD AS " + st.old_name;
            run(db(),
                "INSERT INTO ora_triggers(trigger_id, trigger_type, triggering_event, "
                "when_clause, description, trigger_body, status, referencing_names, source) "
                "VALUES (?1, 'BEFORE EACH ROW', 'INSERT', ?2, ?3, ?4, 'ENABLED', ?5, ?6)",
                {id, st.when ? sql_arg(st.when_text) : sql_arg(nullptr), st.description,
                 st.body_text, referencing, sql_});
            for (size_t i = 0; i < errors.size(); ++i) {
                run(db(),
                    "INSERT INTO ora_errors(object_id, sequence, line, position, text) "
                    "VALUES (?1, ?2, ?3, ?4, ?5)",
                    {id, static_cast<int64_t>(i + 1), int64_t{errors[i].line},
                     int64_t{errors[i].position}, errors[i].text});
            }
        });
        if (!errors.empty())
            warning_ = ora_error(24344);
    }

    void alter_trigger(const alter_trigger_statement& st) {
        cat_ = s_.catalog_snapshot();
        int64_t owner = resolve_owner(s_, cat(), st.trigger.schema);
        auto found = cat().trigger(owner, st.trigger.name.name);
        const table_info* table = found.first;
        const trigger_info* trigger = found.second;
        if (!trigger)
            throw ora_error(4080, {st.trigger.name.name});
        if (owner != s_.user().id && !s_.user().has_privilege("ALTER ANY TRIGGER")) {
            throw ora_error(1031);
        }
        std::vector<compile_error> errors;
        if (st.action == "COMPILE") {
            if (trigger->parsed) {
                errors = validate_trigger(cat(), owner, *table, *trigger->parsed);
            } else {
                errors.push_back({1, 1, "PLS-00103: Encountered the symbol \"end-of-file\""});
            }
        }
        ddl([&] {
            touch_object(db(), trigger->id);
            if (st.action == "COMPILE") {
                run(db(), "UPDATE ora_objects SET status = ?1 WHERE object_id = ?2",
                    {std::string(errors.empty() ? "VALID" : "INVALID"), trigger->id});
                run(db(), "DELETE FROM ora_errors WHERE object_id = ?1", {trigger->id});
                for (size_t i = 0; i < errors.size(); ++i) {
                    run(db(),
                        "INSERT INTO ora_errors(object_id, sequence, line, position, text) "
                        "VALUES (?1, ?2, ?3, ?4, ?5)",
                        {trigger->id, static_cast<int64_t>(i + 1), int64_t{errors[i].line},
                         int64_t{errors[i].position}, errors[i].text});
                }
            } else {
                run(db(), "UPDATE ora_triggers SET status = ?1 WHERE trigger_id = ?2",
                    {std::string(st.action == "ENABLE" ? "ENABLED" : "DISABLED"), trigger->id});
            }
        });
        if (!errors.empty())
            warning_ = ora_error(24344);
    }

    // -- drop --

    void drop(const drop_statement& st) {
        cat_ = s_.catalog_snapshot();
        switch (st.object) {
            case object_kind::table: {
                const table_info& t = resolve_table(s_, cat(), st.name, table_access::drop);
                int64_t id = t.id;
                bool purge = st.purge;
                ddl([&] {
                    const table_info* fresh = cat().table_by_id(id);
                    if (!fresh)
                        throw ora_error(942);
                    if (purge || fresh->temporary) {
                        drop_table_rows(db(), *fresh);
                    } else {
                        recycle_table(db(), *fresh);
                    }
                });
                return;
            }
            case object_kind::sequence: {
                int64_t owner = resolve_owner(s_, cat(), st.name.schema);
                const sequence_info* seq = cat().sequence(owner, st.name.name.name);
                if (!seq)
                    throw ora_error(2289).at(st.name.name.pos);
                if (owner != s_.user().id && !s_.user().has_privilege("DROP ANY SEQUENCE")) {
                    throw ora_error(2289).at(st.name.name.pos);
                }
                int64_t id = seq->id;
                ddl([&] {
                    run(db(), "DELETE FROM ora_sequences WHERE sequence_id = ?1", {id});
                    run(db(), "DELETE FROM ora_objects WHERE object_id = ?1", {id});
                    revalidate_triggers(db());
                });
                return;
            }
            case object_kind::index: {
                int64_t owner = resolve_owner(s_, cat(), st.name.schema);
                auto [table, index] = cat().index(owner, st.name.name.name);
                if (!index)
                    throw ora_error(1418).at(st.name.name.pos);
                if (owner != s_.user().id && !s_.user().has_privilege("DROP ANY INDEX")) {
                    throw ora_error(1418).at(st.name.name.pos);
                }
                for (const constraint_info& k : table->constraints) {
                    if (k.internal_index == index->internal)
                        throw ora_error(2429);
                }
                int64_t id = index->id;
                std::string internal = index->internal;
                ddl([&] {
                    drop_sqlite_index(db(), internal);
                    delete_index_rows(db(), id);
                });
                return;
            }
            case object_kind::trigger: {
                int64_t owner = resolve_owner(s_, cat(), st.name.schema);
                auto [table, trigger] = cat().trigger(owner, st.name.name.name);
                if (!trigger)
                    throw ora_error(4080, {st.name.name.name});
                if (owner != s_.user().id && !s_.user().has_privilege("DROP ANY TRIGGER")) {
                    throw ora_error(1031);
                }
                int64_t id = trigger->id;
                ddl([&] { drop_trigger_rows(db(), id); });
                return;
            }
            case object_kind::user:
                return drop_user(st);
            default:
                throw ora_error(3001);
        }
    }

    void drop_user(const drop_statement& st) {
        if (!s_.user().has_privilege("DROP USER"))
            throw ora_error(1031);
        const user_info* u = cat().user(st.name.name.name);
        if (!u)
            throw ora_error(1918, {st.name.name.name});
        if (u->id == s_.user().id)
            throw ora_error(1940);
        int64_t id = u->id;
        bool has_objects = false;
        for (const auto& [tid, t] : cat().tables()) has_objects = has_objects || t->owner_id == id;
        sqlite_stmt other(db(), "SELECT 1 FROM ora_objects WHERE owner_id = ?1 LIMIT 1");
        other.bind(1, id);
        has_objects = has_objects || other.step();
        other.reset();
        if (has_objects && !st.cascade)
            throw ora_error(1922, {u->name});
        ddl([&] {
            for (const auto& [tid, t] : cat().tables()) {
                if (t->owner_id == id)
                    drop_table_rows(db(), *t);
            }
            run(db(),
                "DELETE FROM ora_sequences WHERE sequence_id IN "
                "(SELECT object_id FROM ora_objects WHERE owner_id = ?1)",
                {id});
            run(db(), "DELETE FROM ora_objects WHERE owner_id = ?1", {id});
            run(db(), "DELETE FROM ora_grants WHERE user_id = ?1", {id});
            run(db(), "DELETE FROM ora_users WHERE user_id = ?1", {id});
            revalidate_triggers(db());
        });
    }

    void truncate(const truncate_statement& st) {
        cat_ = s_.catalog_snapshot();
        const table_info& t = resolve_table(s_, cat(), st.table, table_access::drop);
        std::string internal = t.internal;
        int64_t id = t.id;
        ddl([&] {
            exec_sql(db(), "DELETE FROM " + internal);
            touch_object(db(), id);
        });
    }

    // -- ALTER TABLE --

    void alter_table(const alter_table_statement& st) {
        cat_ = s_.catalog_snapshot();
        const table_info& table = resolve_table(s_, cat(), st.table, table_access::alter);
        int64_t id = table.id;
        ddl([&] {
            bool triggers_affected = false;
            for (const alter_action& a : st.actions) {
                // Every action sees the table as the previous ones left it.
                std::shared_ptr<const catalog> now = catalog::load(db());
                const table_info* t = now->table_by_id(id);
                if (!t)
                    throw ora_error(942);
                triggers_affected = alter_action_on(a, *now, *t) || triggers_affected;
            }
            touch_object(db(), id);
            refresh_nullable(db(), id);
            if (triggers_affected)
                revalidate_triggers(db());
        });
    }

    bool alter_action_on(const alter_action& a, const catalog& c, const table_info& t) {
        table_state ts = state_of(t);
        switch (a.kind) {
            case alter_action::add_constraint:
                add_constraint(s_, c, db(), ts, a.constraint);
                return false;
            case alter_action::add_columns:
                add_columns(a, c, t, ts);
                return false;
            case alter_action::modify_columns:
                for (const column_def& col : a.columns) modify_column(col, c, t, ts);
                return false;
            case alter_action::drop_constraint: {
                for (const constraint_info& k : t.constraints) {
                    if (k.name == a.names[0].name) {
                        drop_constraint_rows(db(), ts, k);
                        return false;
                    }
                }
                throw ora_error(2443).at(a.names[0].pos);
            }
            case alter_action::drop_primary_key: {
                for (const constraint_info& k : t.constraints) {
                    if (k.type == 'P') {
                        drop_constraint_rows(db(), ts, k);
                        return false;
                    }
                }
                throw ora_error(2441);
            }
            case alter_action::drop_unique: {
                std::vector<std::string> cols;
                for (const ident& i : a.names) cols.push_back(i.name);
                for (const constraint_info& k : t.constraints) {
                    if (k.type == 'U' && k.columns == cols) {
                        drop_constraint_rows(db(), ts, k);
                        return false;
                    }
                }
                throw ora_error(2442);
            }
            case alter_action::drop_columns:
                drop_columns(a, t, ts);
                return true;
            case alter_action::rename_column:
                rename_column(a, t);
                return true;
            case alter_action::rename_to: {
                const std::string& name = a.names[0].name;
                if (c.object_name_used(t.owner_id, name))
                    throw ora_error(955).at(a.names[0].pos);
                run(db(), "UPDATE ora_objects SET name = ?1 WHERE object_id = ?2", {name, t.id});
                return true;
            }
            case alter_action::rename_constraint: {
                const constraint_info* k = nullptr;
                for (const constraint_info& x : t.constraints) {
                    if (x.name == a.names[0].name)
                        k = &x;
                }
                if (!k)
                    throw ora_error(2443).at(a.names[0].pos);
                check_constraint_name(c, db(), t.owner_id, a.names[1].name, a.names[1].pos);
                run(db(),
                    "UPDATE ora_constraints SET name = ?1, generated = 'USER NAME' "
                    "WHERE constraint_id = ?2",
                    {a.names[1].name, k->id});
                return false;
            }
            default:
                throw ora_error(3001).at(a.pos);
        }
    }

    void add_columns(const alter_action& a, const catalog& c, const table_info& t,
                     table_state& ts) {
        int column_id = static_cast<int>(t.columns.size());
        int internal_no = t.next_internal_column();
        bool has_rows = table_has_rows(db(), t);
        int longs = 0;
        for (const column_info& col : t.columns) longs += col.type.is_long() ? 1 : 0;
        for (const column_def& col : a.columns) {
            for (const auto& [name, internal] : ts.columns) {
                if (name == col.name.name)
                    throw ora_error(1430).at(col.name.pos);
            }
            column_type type = column_type_from_declaration(*col.type);
            if (type.is_long() && ++longs > 1)
                throw ora_error(1754).at(col.type->pos);
            if (col.has_default)
                check_default(*col.default_value);
            if (col.nullability == 1 && !col.has_default && has_rows)
                throw ora_error(1758);
            std::string internal = "C" + std::to_string(internal_no++);
            exec_sql(db(), "ALTER TABLE " + t.internal + " ADD COLUMN " + internal);
            insert_column(
                db(), t.id, ++column_id, col.name.name, internal, type, true,
                col.has_default ? std::optional<std::string>(col.default_text) : std::nullopt);
            ts.columns.emplace_back(col.name.name, internal);
            ts.types.push_back(type);
            if (col.has_default && has_rows) {
                fill_default(t, internal, *col.default_value, type,
                             ora_quoted(t.owner, t.name, col.name.name));
            }
            if (col.nullability == 1) {
                constraint_def nn;
                nn.name = col.not_null_name;
                nn.type = 'N';
                nn.columns.push_back(col.name);
                add_constraint(s_, c, db(), ts, nn);
            }
            for (const constraint_def& k : col.constraints) add_constraint(s_, c, db(), ts, k);
        }
    }

    void fill_default(const table_info& t, const std::string& internal, const expr& def,
                      const column_type& type, const std::string& quoted) {
        eval_env env(s_, cat());
        value v = coerce_for_column(evaluate(def, env), type, quoted);
        sqlite_stmt u(db(), "UPDATE " + t.internal + " SET " + internal + " = ?1");
        bind_storage(u.get(), 1, v);
        u.run();
    }

    void modify_column(const column_def& col, const catalog& c, const table_info& t,
                       table_state& ts) {
        const column_info* existing = t.find_column(col.name.name);
        if (!existing)
            throw ora_error(904, {"\"" + col.name.name + "\""}).at(col.name.pos);
        bool in_pk = false;
        const constraint_info* not_null = nullptr;
        for (const constraint_info& k : t.constraints) {
            bool has =
                std::find(k.columns.begin(), k.columns.end(), existing->name) != k.columns.end();
            if (k.type == 'P' && has)
                in_pk = true;
            if (k.type == 'C' && k.not_null && has)
                not_null = &k;
        }
        if (col.type) {
            column_type type = column_type_from_declaration(*col.type);
            change_type(t, *existing, type);
        }
        if (col.has_default) {
            check_default(*col.default_value);
            run(db(), "UPDATE ora_columns SET data_default = ?1 WHERE table_id = ?2 AND name = ?3",
                {col.default_text, t.id, existing->name});
        }
        if (col.nullability == 0) {
            if (!not_null || in_pk)
                throw ora_error(1451).at(col.name.pos);
            drop_constraint_rows(db(), ts, *not_null);
        } else if (col.nullability == 1) {
            if (not_null || in_pk)
                throw ora_error(1442).at(col.name.pos);
            constraint_def nn;
            nn.name = col.not_null_name;
            nn.type = 'N';
            nn.columns.push_back(col.name);
            add_constraint(s_, c, db(), ts, nn);
        }
    }

    void change_type(const table_info& t, const column_info& col, const column_type& type) {
        sqlite_stmt any(db(), "SELECT 1 FROM " + t.internal + " WHERE " + col.internal +
                                  " IS NOT NULL LIMIT 1");
        bool has_data = any.step();
        any.reset();
        const column_type& old = col.type;
        bool same_family = old.storage() == type.storage() && old.is_lob() == type.is_lob() &&
                           old.is_long() == type.is_long();
        if (!same_family) {
            if (has_data)
                throw ora_error(1439);
            if (old.is_lob() != type.is_lob() || old.is_long() != type.is_long()) {
                throw ora_error(22859);
            }
        } else if (has_data) {
            if (lowers_number_precision(old, type))
                throw ora_error(1440);
            // Every stored value must still fit the new type.
            sqlite_stmt rows(db(), "SELECT " + col.internal + " FROM " + t.internal + " WHERE " +
                                       col.internal + " IS NOT NULL");
            while (rows.step()) {
                value v = read_storage(rows.get(), 0, old);
                try {
                    value c = coerce_for_column(v, type, t.quoted_column(col));
                    if (type.is_numeric() && compare_values(c, v) != 0)
                        throw ora_error(1440);
                } catch (const ora_error& e) {
                    if (e.code() == 12899)
                        throw ora_error(1441);
                    if (e.code() == 1438)
                        throw ora_error(1440);
                    throw;
                }
            }
        }
        stored_type st = store_type(type);
        int precision = type.dictionary_precision();
        int scale = type.dictionary_scale();
        std::string char_used = type.char_used();
        run(db(),
            "UPDATE ora_columns SET type_name = ?1, length = ?2, char_semantics = ?3, "
            "precision = ?4, scale = ?5, fraction = ?6, integer_alias = ?7, is_float = ?8, "
            "data_type = ?9, data_length = ?10, data_precision = ?11, data_scale = ?12, "
            "char_length = ?13, char_used = ?14 WHERE table_id = ?15 AND name = ?16",
            {st.name, int64_t{st.length}, int64_t{st.char_semantics}, int64_t{st.precision},
             int64_t{st.scale}, int64_t{st.fraction}, int64_t{st.integer_alias},
             int64_t{st.is_float}, type.dictionary_name(), int64_t{type.data_length()},
             precision >= 0 ? sql_arg(int64_t{precision}) : sql_arg(nullptr),
             scale >= 0 || (type.code == type_code::number && scale != -1) ? sql_arg(int64_t{scale})
                                                                           : sql_arg(nullptr),
             int64_t{type.char_length()}, char_used.empty() ? sql_arg(nullptr) : sql_arg(char_used),
             t.id, col.name});
        if (type.code == type_code::char_ || type.code == type_code::nchar) {
            // Re-pad CHAR values to the new length.
            sqlite_stmt rows(db(), "SELECT R, " + col.internal + " FROM " + t.internal + " WHERE " +
                                       col.internal + " IS NOT NULL");
            sqlite_stmt upd(db(),
                            "UPDATE " + t.internal + " SET " + col.internal + " = ?1 WHERE R = ?2");
            while (rows.step()) {
                value v =
                    coerce_for_column(read_storage(rows.get(), 1, old), type, t.quoted_column(col));
                bind_storage(upd.get(), 1, v);
                upd.bind(2, rows.int_at(0));
                upd.run();
            }
        }
    }

    void drop_columns(const alter_action& a, const table_info& t, table_state& ts) {
        std::set<std::string> names;
        for (const ident& n : a.names) {
            if (!t.find_column(n.name))
                throw ora_error(904, {"\"" + n.name + "\""}).at(n.pos);
            names.insert(n.name);
        }
        if (names.size() >= t.columns.size())
            throw ora_error(12983);
        for (const constraint_info& k : t.constraints) {
            bool touches = std::any_of(k.columns.begin(), k.columns.end(),
                                       [&](const std::string& c) { return names.count(c) > 0; });
            if (!touches)
                continue;
            bool all_dropped =
                std::all_of(k.columns.begin(), k.columns.end(),
                            [&](const std::string& c) { return names.count(c) > 0; });
            if (!all_dropped && !a.cascade)
                throw ora_error(12991);
            drop_constraint_rows(db(), ts, k);
        }
        for (const index_info& ix : t.indexes) {
            auto dropped = [&](const std::string& c) { return names.count(c) > 0; };
            bool touches =
                std::any_of(ix.columns.begin(), ix.columns.end(), dropped) ||
                std::any_of(ix.expression_columns.begin(), ix.expression_columns.end(), dropped);
            if (!touches)
                continue;
            drop_sqlite_index(db(), ix.internal);
            delete_index_rows(db(), ix.id);
        }
        for (const column_info& col : t.columns) {
            if (!names.count(col.name))
                continue;
            exec_sql(db(), "ALTER TABLE " + t.internal + " DROP COLUMN " + col.internal);
            run(db(), "DELETE FROM ora_columns WHERE table_id = ?1 AND name = ?2",
                {t.id, col.name});
        }
        // COLUMN_ID stays dense, as Oracle renumbers the remaining columns.
        int next = 1;
        for (const column_info& col : t.columns) {
            if (names.count(col.name))
                continue;
            run(db(), "UPDATE ora_columns SET column_id = ?1 WHERE table_id = ?2 AND name = ?3",
                {int64_t{-next}, t.id, col.name});
            ++next;
        }
        run(db(), "UPDATE ora_columns SET column_id = -column_id WHERE table_id = ?1", {t.id});
    }

    void rename_column(const alter_action& a, const table_info& t) {
        const std::string& from = a.names[0].name;
        const std::string& to = a.names[1].name;
        if (!t.find_column(from))
            throw ora_error(904, {"\"" + from + "\""}).at(a.names[0].pos);
        if (t.find_column(to))
            throw ora_error(957).at(a.names[1].pos);
        run(db(), "UPDATE ora_columns SET name = ?1 WHERE table_id = ?2 AND name = ?3",
            {to, t.id, from});
        run(db(),
            "UPDATE ora_cons_columns SET column_name = ?1 WHERE column_name = ?2 AND "
            "constraint_id IN (SELECT constraint_id FROM ora_constraints WHERE table_id = ?3)",
            {to, from, t.id});
        run(db(),
            "UPDATE ora_constraints SET search_condition = ?1 WHERE table_id = ?2 AND "
            "search_condition = ?3",
            {"\"" + to + "\" IS NOT NULL", t.id, "\"" + from + "\" IS NOT NULL"});
        run(db(),
            "UPDATE ora_ind_columns SET column_name = ?1 WHERE column_name = ?2 AND index_id IN "
            "(SELECT object_id FROM ora_objects WHERE table_id = ?3 AND object_type = 'INDEX')",
            {to, from, t.id});
    }

    // -- users and privileges --

    void user(const user_statement& st) {
        cat_ = s_.catalog_snapshot();
        const std::string& name = st.user.name;
        const user_info* existing = cat().user(name);
        bool create = st.kind == statement_kind::create_user;
        if (create) {
            if (!s_.user().has_privilege("CREATE USER"))
                throw ora_error(1031);
            if (existing)
                throw ora_error(1920, {name});
        } else {
            if (!existing)
                throw ora_error(1918, {name});
            bool own_password_only =
                existing->id == s_.user().id && !st.lock && !st.quota && !st.default_tablespace;
            if (!own_password_only && !s_.user().has_privilege("ALTER USER")) {
                throw ora_error(1031);
            }
        }
        if (st.default_tablespace && *st.default_tablespace != "USERS" &&
            *st.default_tablespace != "SYSTEM") {
            throw ora_error(959, {*st.default_tablespace});
        }
        ddl([&] {
            if (create) {
                run(db(),
                    "INSERT INTO ora_users(name, password, locked, quota, created) "
                    "VALUES (?1, ?2, ?3, ?4, ?5)",
                    {name, *st.password, int64_t{st.lock.value_or(false) ? 1 : 0},
                     st.quota.value_or(0), now_text()});
                return;
            }
            if (st.password) {
                run(db(), "UPDATE ora_users SET password = ?1 WHERE user_id = ?2",
                    {*st.password, existing->id});
            }
            if (st.lock) {
                run(db(), "UPDATE ora_users SET locked = ?1 WHERE user_id = ?2",
                    {int64_t{*st.lock ? 1 : 0}, existing->id});
            }
            if (st.quota) {
                run(db(), "UPDATE ora_users SET quota = ?1 WHERE user_id = ?2",
                    {*st.quota, existing->id});
            }
        });
    }

    void grant(const grant_statement& st) {
        cat_ = s_.catalog_snapshot();
        bool granting = st.kind == statement_kind::grant;
        static const std::string_view system_privileges[] = {"CREATE SESSION",
                                                             "CREATE TABLE",
                                                             "CREATE ANY TABLE",
                                                             "CREATE SEQUENCE",
                                                             "CREATE ANY SEQUENCE",
                                                             "CREATE TRIGGER",
                                                             "CREATE ANY TRIGGER",
                                                             "CREATE VIEW",
                                                             "CREATE PROCEDURE",
                                                             "CREATE SYNONYM",
                                                             "UNLIMITED TABLESPACE",
                                                             "SELECT ANY TABLE",
                                                             "INSERT ANY TABLE",
                                                             "UPDATE ANY TABLE",
                                                             "DELETE ANY TABLE",
                                                             "DROP ANY TABLE",
                                                             "ALTER ANY TABLE",
                                                             "CREATE ANY INDEX",
                                                             "DROP ANY INDEX",
                                                             "SELECT ANY SEQUENCE",
                                                             "SELECT ANY DICTIONARY",
                                                             "ALTER ANY SEQUENCE",
                                                             "DROP ANY SEQUENCE",
                                                             "ALTER ANY TRIGGER",
                                                             "DROP ANY TRIGGER",
                                                             "CREATE USER",
                                                             "ALTER USER",
                                                             "DROP USER",
                                                             "ALTER SESSION",
                                                             "CREATE TYPE",
                                                             "CONNECT",
                                                             "RESOURCE",
                                                             "DBA"};
        std::vector<std::string> privileges;
        std::string object;
        if (st.object) {
            const table_info& t = resolve_table(s_, cat(), *st.object, table_access::select);
            if (t.owner_id != s_.user().id && !s_.user().is_dba())
                throw ora_error(1031);
            object = " ON " + t.owner + "." + t.name;
            for (const std::string& p : st.privileges) {
                std::string priv = p == "ALL PRIVILEGES" ? "ALL" : p;
                if (priv != "SELECT" && priv != "INSERT" && priv != "UPDATE" && priv != "DELETE" &&
                    priv != "ALTER" && priv != "INDEX" && priv != "ALL") {
                    throw ora_error(990);
                }
                privileges.push_back(priv + object);
            }
        } else {
            if (!s_.user().is_dba() && !s_.user().has_privilege("GRANT ANY PRIVILEGE")) {
                throw ora_error(1031);
            }
            for (const std::string& p : st.privileges) {
                std::string priv = p == "ALL PRIVILEGES" ? "DBA" : p;
                if (std::find(std::begin(system_privileges), std::end(system_privileges), priv) ==
                    std::end(system_privileges)) {
                    throw ora_error(990);
                }
                privileges.push_back(priv);
            }
        }
        std::vector<const user_info*> grantees;
        for (const ident& g : st.grantees) {
            if (g.name == "PUBLIC")
                throw ora_error(3001);
            const user_info* u = cat().user(g.name);
            if (!u)
                throw ora_error(1917, {g.name});
            if (u->id == s_.user().id && !object.empty())
                throw ora_error(1749);
            grantees.push_back(u);
        }
        if (!granting) {
            for (const user_info* u : grantees) {
                for (const std::string& p : privileges) {
                    if (!u->grants.count(p)) {
                        if (object.empty())
                            throw ora_error(1952, {u->name});
                        throw ora_error(1927);
                    }
                }
            }
        }
        ddl([&] {
            for (const user_info* u : grantees) {
                for (const std::string& p : privileges) {
                    run(db(),
                        granting ? "INSERT OR IGNORE INTO ora_grants(user_id, privilege) "
                                   "VALUES (?1, ?2)"
                                 : "DELETE FROM ora_grants WHERE user_id = ?1 AND privilege = ?2",
                        {u->id, p});
                }
            }
        });
    }

    session& s_;
    const std::string& sql_;
    std::optional<ora_error>& warning_;
    std::shared_ptr<const catalog> cat_;
    compiled_query query_sql_;
};

}  // namespace

std::vector<compile_error> validate_trigger(const catalog& c, int64_t owner,
                                            const table_info& table,
                                            const create_trigger_statement& trigger) {
    trigger_checker checker{c, owner, table, trigger, {}};
    if (!trigger.body_error.empty()) {
        compile_error e;
        e.line = trigger.body_error_line;
        e.position = trigger.body_error_column;
        e.text = trigger.body_error;
        checker.errors.push_back(e);
        return checker.errors;
    }
    checker.check_expr(trigger.when.get(), false);
    checker.check_body(trigger.body);
    return checker.errors;
}

void mark_trigger_valid(session& s, int64_t trigger_id) {
    run(s.db(), "UPDATE ora_objects SET status = 'VALID' WHERE object_id = ?1", {trigger_id});
    run(s.db(), "DELETE FROM ora_errors WHERE object_id = ?1", {trigger_id});
    exec_sql(
        s.db(),
        "UPDATE ora_meta SET value = CAST(value AS INTEGER) + 1 WHERE key = 'catalog_version'");
}

// The key an SQLite index on expressions enforces: "UNIQUE constraint failed: index 'K12'".
static std::optional<std::string> violated_expression_key(const table_info& table,
                                                          const std::string& message) {
    const std::string marker = "index '";
    size_t from = message.find(marker);
    if (from == std::string::npos)
        return std::nullopt;
    from += marker.size();
    std::string internal = message.substr(from, message.find('\'', from) - from);
    if (internal.size() > 2 && internal.compare(internal.size() - 2, 2, "_N") == 0)
        internal.resize(internal.size() - 2);  // the part for keys with NULL parts
    for (const constraint_info& k : table.constraints) {
        if (k.internal_index == internal)
            return table.owner + "." + k.name;
    }
    for (const index_info& ix : table.indexes) {
        if (ix.internal == internal)
            return table.owner + "." + ix.name;
    }
    return std::nullopt;
}

std::string violated_constraint(const table_info& table, const std::string& message) {
    if (auto key = violated_expression_key(table, message))
        return *key;
    // "UNIQUE constraint failed: T12.C1, T12.C2"
    std::vector<std::string> internals;
    size_t colon = message.find(':');
    std::string list = colon == std::string::npos ? "" : message.substr(colon + 1);
    size_t pos = 0;
    while (pos < list.size()) {
        size_t comma = list.find(',', pos);
        std::string item =
            list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        size_t dot = item.find('.');
        std::string col = dot == std::string::npos ? item : item.substr(dot + 1);
        col.erase(0, col.find_first_not_of(' '));
        col.erase(col.find_last_not_of(' ') + 1);
        internals.push_back(col);
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    std::vector<std::string> names;
    for (const std::string& internal : internals) {
        for (const column_info& c : table.columns) {
            if (c.internal == internal)
                names.push_back(c.name);
        }
    }
    for (const constraint_info& k : table.constraints) {
        if ((k.type == 'P' || k.type == 'U') && same_set(k.columns, names)) {
            return table.owner + "." + k.name;
        }
    }
    for (const index_info& ix : table.indexes) {
        if (ix.unique && same_set(ix.columns, names))
            return table.owner + "." + ix.name;
    }
    return table.owner + ".SYS_C0000000";
}

void execute_ddl(session& s, const statement& stmt, const std::string& sql,
                 std::optional<ora_error>& warning) {
    ddl_runner(s, sql, warning).run_statement(stmt);
}

}  // namespace oralite
