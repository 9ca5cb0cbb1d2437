#include "oralite/catalog.h"

#include <algorithm>

#include "oralite/ora_error.h"
#include "oralite/parser.h"
#include "oralite/sqlite_util.h"

namespace oralite {

bool user_info::has_privilege(std::string_view privilege) const {
    if (grants.count("DBA"))
        return true;
    if (grants.count(std::string(privilege)))
        return true;
    static const std::string_view resource[] = {
        "CREATE TABLE",     "CREATE SEQUENCE", "CREATE TRIGGER",
        "CREATE PROCEDURE", "CREATE TYPE",     "CREATE CLUSTER",
        "CREATE INDEXTYPE", "CREATE OPERATOR", "UNLIMITED TABLESPACE"};
    if (grants.count("RESOURCE") &&
        std::find(std::begin(resource), std::end(resource), privilege) != std::end(resource)) {
        return true;
    }
    if (grants.count("CONNECT") && privilege == "CREATE SESSION")
        return true;
    return false;
}

bool user_info::has_quota() const {
    return quota != 0 || has_privilege("UNLIMITED TABLESPACE");
}

const column_info* table_info::find_column(std::string_view n) const {
    for (const column_info& c : columns) {
        if (c.name == n)
            return &c;
    }
    return nullptr;
}

std::string table_info::quoted_column(const column_info& c) const {
    return ora_quoted(owner, name, c.name);
}

int table_info::next_internal_column() const {
    int next = 1;
    for (const column_info& c : columns) {
        next = std::max(next, std::atoi(c.internal.c_str() + 1) + 1);
    }
    return next;
}

const user_info* catalog::user(std::string_view name) const {
    auto it = user_ids_.find(name);
    return it == user_ids_.end() ? nullptr : &users_.at(it->second);
}

const user_info* catalog::user_by_id(int64_t id) const {
    auto it = users_.find(id);
    return it == users_.end() ? nullptr : &it->second;
}

const table_info* catalog::table(int64_t owner, std::string_view name) const {
    auto it = table_ids_.find(std::make_pair(owner, std::string(name)));
    return it == table_ids_.end() ? nullptr : tables_by_id_.at(it->second).get();
}

const table_info* catalog::table_by_id(int64_t id) const {
    auto it = tables_by_id_.find(id);
    return it == tables_by_id_.end() ? nullptr : it->second.get();
}

const sequence_info* catalog::sequence(int64_t owner, std::string_view name) const {
    auto it = sequences_.find(std::make_pair(owner, std::string(name)));
    return it == sequences_.end() ? nullptr : &it->second;
}

bool catalog::object_name_used(int64_t owner, std::string_view name) const {
    return table(owner, name) || sequence(owner, name);
}

std::pair<const table_info*, const index_info*> catalog::index(int64_t owner,
                                                               std::string_view name) const {
    auto it = indexes_.find(std::make_pair(owner, std::string(name)));
    if (it == indexes_.end())
        return {nullptr, nullptr};
    const table_info* t = table_by_id(it->second.first);
    return {t, &t->indexes[it->second.second]};
}

std::pair<const table_info*, const trigger_info*> catalog::trigger(int64_t owner,
                                                                   std::string_view name) const {
    auto it = triggers_.find(std::make_pair(owner, std::string(name)));
    if (it == triggers_.end())
        return {nullptr, nullptr};
    const table_info* t = table_by_id(it->second.first);
    return {t, &t->triggers[it->second.second]};
}

const table_info* catalog::constraint_table(int64_t owner, std::string_view name) const {
    auto it = constraints_.find(std::make_pair(owner, std::string(name)));
    return it == constraints_.end() ? nullptr : table_by_id(it->second);
}

stored_type store_type(const column_type& t) {
    stored_type s;
    if (t.code == type_code::timestamp) {
        s.name = "TIMESTAMP";
    } else if (t.code == type_code::interval_ds) {
        s.name = "INTERVAL DAY TO SECOND";
    } else if (t.code == type_code::number) {
        s.name = "NUMBER";
    } else {
        s.name = t.dictionary_name();
    }
    s.length = t.length;
    s.char_semantics = t.char_semantics ? 1 : 0;
    s.precision = t.precision;
    s.scale = t.scale;
    s.fraction = t.fraction;
    s.integer_alias = t.integer_alias ? 1 : 0;
    s.is_float = t.is_float ? 1 : 0;
    return s;
}

column_type load_type(const stored_type& s) {
    static const std::pair<std::string_view, type_code> names[] = {
        {"NUMBER", type_code::number},
        {"BINARY_FLOAT", type_code::binary_float},
        {"BINARY_DOUBLE", type_code::binary_double},
        {"VARCHAR2", type_code::varchar2},
        {"NVARCHAR2", type_code::nvarchar2},
        {"CHAR", type_code::char_},
        {"NCHAR", type_code::nchar},
        {"LONG", type_code::long_},
        {"CLOB", type_code::clob},
        {"NCLOB", type_code::nclob},
        {"RAW", type_code::raw},
        {"LONG RAW", type_code::long_raw},
        {"BLOB", type_code::blob},
        {"DATE", type_code::date},
        {"TIMESTAMP", type_code::timestamp},
        {"INTERVAL DAY TO SECOND", type_code::interval_ds}};
    column_type t;
    for (const auto& [name, code] : names) {
        if (s.name == name)
            t.code = code;
    }
    t.length = s.length;
    t.char_semantics = s.char_semantics != 0;
    t.precision = s.precision;
    t.scale = s.scale;
    t.fraction = s.fraction;
    t.integer_alias = s.integer_alias != 0;
    t.is_float = s.is_float != 0;
    return t;
}

// The names of the columns an expression reads.
static void walk_columns(const expr& e, std::vector<std::string>& out) {
    if (e.kind == expr_kind::column && !e.path.empty())
        out.push_back(e.path.back().name);
    for (const expr_ptr& a : e.args) walk_columns(*a, out);
}

std::shared_ptr<const catalog> catalog::load(sqlite3* db) {
    auto c = std::make_shared<catalog>();
    c->version = read_catalog_version(db);

    sqlite_stmt users(db, "SELECT user_id, name, password, locked, quota FROM ora_users");
    while (users.step()) {
        user_info u;
        u.id = users.int_at(0);
        u.name = users.text_at(1);
        u.password = users.text_at(2);
        u.locked = users.int_at(3) != 0;
        u.quota = users.int_at(4);
        c->user_ids_[u.name] = u.id;
        c->users_[u.id] = std::move(u);
    }
    sqlite_stmt grants(db, "SELECT user_id, privilege FROM ora_grants");
    while (grants.step()) {
        auto it = c->users_.find(grants.int_at(0));
        if (it != c->users_.end())
            it->second.grants.insert(grants.text_at(1));
    }
    auto owner_name = [&](int64_t id) {
        const user_info* u = c->user_by_id(id);
        return u ? u->name : std::string();
    };

    sqlite_stmt objects(db,
                        "SELECT object_id, owner_id, name, object_type, internal, temporary "
                        "FROM ora_objects WHERE object_type IN ('TABLE', 'SEQUENCE')");
    while (objects.step()) {
        int64_t id = objects.int_at(0);
        int64_t owner = objects.int_at(1);
        std::string name = objects.text_at(2);
        if (objects.text_at(3) == "SEQUENCE") {
            c->sequences_[{owner, name}] = sequence_info{id, owner, owner_name(owner), name};
            continue;
        }
        auto t = std::make_shared<table_info>();
        t->id = id;
        t->owner_id = owner;
        t->owner = owner_name(owner);
        t->name = name;
        t->internal = objects.text_at(4);
        t->temporary = objects.text_at(5) == "Y";
        c->table_ids_[{owner, name}] = id;
        c->tables_by_id_[id] = std::move(t);
    }

    sqlite_stmt columns(db,
                        "SELECT table_id, column_id, name, internal, type_name, length, "
                        "char_semantics, precision, scale, fraction, integer_alias, is_float, "
                        "nullable, data_default FROM ora_columns ORDER BY table_id, column_id");
    while (columns.step()) {
        auto it = c->tables_by_id_.find(columns.int_at(0));
        if (it == c->tables_by_id_.end())
            continue;
        column_info col;
        col.id = static_cast<int>(columns.int_at(1));
        col.name = columns.text_at(2);
        col.internal = columns.text_at(3);
        stored_type s{columns.text_at(4),
                      static_cast<int>(columns.int_at(5)),
                      static_cast<int>(columns.int_at(6)),
                      static_cast<int>(columns.int_at(7)),
                      static_cast<int>(columns.int_at(8)),
                      static_cast<int>(columns.int_at(9)),
                      static_cast<int>(columns.int_at(10)),
                      static_cast<int>(columns.int_at(11))};
        col.type = load_type(s);
        col.nullable = columns.text_at(12) != "N";
        if (!columns.null_at(13)) {
            col.default_text = columns.text_at(13);
            try {
                col.default_expr = parse_expression(*col.default_text);
            } catch (const ora_error&) {
                col.default_expr = nullptr;
            }
        }
        it->second->columns.push_back(std::move(col));
    }

    sqlite_stmt constraints(db,
                            "SELECT constraint_id, owner_id, name, table_id, constraint_type, "
                            "search_condition, generated, internal FROM ora_constraints "
                            "ORDER BY constraint_id");
    std::map<int64_t, std::pair<int64_t, size_t>> constraint_pos;
    while (constraints.step()) {
        auto it = c->tables_by_id_.find(constraints.int_at(3));
        if (it == c->tables_by_id_.end())
            continue;
        constraint_info k;
        k.id = constraints.int_at(0);
        k.name = constraints.text_at(2);
        k.type = constraints.text_at(4).empty() ? 'C' : constraints.text_at(4)[0];
        k.search_condition = constraints.text_at(5);
        k.generated = constraints.text_at(6) == "GENERATED NAME";
        k.internal_index = constraints.text_at(7);
        if (k.type == 'C') {
            k.not_null = k.search_condition.size() > 12 &&
                         k.search_condition.compare(k.search_condition.size() - 12, 12,
                                                    " IS NOT NULL") == 0 &&
                         k.search_condition.front() == '"';
            try {
                k.check = parse_expression(k.search_condition);
            } catch (const ora_error&) {
                k.check = nullptr;
            }
        }
        c->constraints_[{constraints.int_at(1), k.name}] = it->first;
        constraint_pos[k.id] = {it->first, it->second->constraints.size()};
        it->second->constraints.push_back(std::move(k));
    }
    sqlite_stmt cons_columns(db,
                             "SELECT constraint_id, column_name FROM ora_cons_columns "
                             "ORDER BY constraint_id, position");
    while (cons_columns.step()) {
        auto it = constraint_pos.find(cons_columns.int_at(0));
        if (it == constraint_pos.end())
            continue;
        c->tables_by_id_[it->second.first]->constraints[it->second.second].columns.push_back(
            cons_columns.text_at(1));
    }

    sqlite_stmt indexes(db,
                        "SELECT o.object_id, o.owner_id, o.name, o.table_id, o.generated, "
                        "o.internal, i.uniqueness FROM ora_objects o JOIN ora_indexes i "
                        "ON i.index_id = o.object_id WHERE o.object_type = 'INDEX' "
                        "ORDER BY o.object_id");
    std::map<int64_t, std::pair<int64_t, size_t>> index_pos;
    while (indexes.step()) {
        auto it = c->tables_by_id_.find(indexes.int_at(3));
        if (it == c->tables_by_id_.end())
            continue;
        index_info ix;
        ix.id = indexes.int_at(0);
        ix.name = indexes.text_at(2);
        ix.generated = indexes.text_at(4) == "Y";
        ix.internal = indexes.text_at(5);
        ix.unique = indexes.text_at(6) == "UNIQUE";
        size_t pos = it->second->indexes.size();
        c->indexes_[{indexes.int_at(1), ix.name}] = {it->first, pos};
        index_pos[ix.id] = {it->first, pos};
        it->second->indexes.push_back(std::move(ix));
    }
    sqlite_stmt ind_columns(db,
                            "SELECT index_id, column_name, descend FROM ora_ind_columns "
                            "ORDER BY index_id, position");
    while (ind_columns.step()) {
        auto it = index_pos.find(ind_columns.int_at(0));
        if (it == index_pos.end())
            continue;
        index_info& ix = c->tables_by_id_[it->second.first]->indexes[it->second.second];
        ix.columns.push_back(ind_columns.text_at(1));
        ix.descending.push_back(ind_columns.text_at(2) == "DESC");
        ix.expressions.emplace_back();
    }
    sqlite_stmt has_bin(db, "SELECT 1 FROM sqlite_master WHERE name = 'ora_recyclebin'");
    if (has_bin.step()) {
        sqlite_stmt recycled(db, "SELECT object_id FROM ora_recyclebin WHERE type = 'TABLE'");
        while (recycled.step()) {
            auto it = c->tables_by_id_.find(recycled.int_at(0));
            if (it != c->tables_by_id_.end())
                it->second->recycled = true;
        }
    }
    // Expressions of function-based indexes (files made before them have no such table).
    sqlite_stmt has_expressions(db,
                                "SELECT 1 FROM sqlite_master WHERE name = 'ora_ind_expressions'");
    if (has_expressions.step()) {
        sqlite_stmt expressions(db,
                                "SELECT index_id, position, column_expression "
                                "FROM ora_ind_expressions");
        while (expressions.step()) {
            auto it = index_pos.find(expressions.int_at(0));
            if (it == index_pos.end())
                continue;
            index_info& ix = c->tables_by_id_[it->second.first]->indexes[it->second.second];
            size_t position = static_cast<size_t>(expressions.int_at(1));
            if (position < 1 || position > ix.expressions.size())
                continue;
            std::string text = expressions.text_at(2);
            try {
                walk_columns(*parse_expression(text), ix.expression_columns);
            } catch (const ora_error&) {
            }
            ix.expressions[position - 1] = std::move(text);
        }
    }

    sqlite_stmt triggers(db,
                         "SELECT o.object_id, o.owner_id, o.name, o.table_id, o.status, "
                         "t.status, t.source FROM ora_objects o JOIN ora_triggers t "
                         "ON t.trigger_id = o.object_id ORDER BY o.object_id");
    while (triggers.step()) {
        auto it = c->tables_by_id_.find(triggers.int_at(3));
        if (it == c->tables_by_id_.end())
            continue;
        trigger_info tr;
        tr.id = triggers.int_at(0);
        tr.name = triggers.text_at(2);
        tr.valid = triggers.text_at(4) == "VALID";
        tr.enabled = triggers.text_at(5) == "ENABLED";
        tr.source = triggers.text_at(6);
        try {
            std::unique_ptr<statement> parsed = parse_statement(tr.source);
            if (parsed->kind == statement_kind::create_trigger) {
                tr.parsed = std::shared_ptr<const create_trigger_statement>(
                    static_cast<create_trigger_statement*>(parsed.release()));
            }
        } catch (const ora_error&) {
            tr.valid = false;
        }
        c->triggers_[{triggers.int_at(1), tr.name}] = {it->first, it->second->triggers.size()};
        it->second->triggers.push_back(std::move(tr));
    }
    return c;
}

void create_index_expressions_table(sqlite3* db) {
    exec_sql(db,
             "CREATE TABLE IF NOT EXISTS ora_ind_expressions(index_id INTEGER NOT NULL, "
             "position INTEGER NOT NULL, column_expression TEXT NOT NULL, "
             "PRIMARY KEY(index_id, position)) WITHOUT ROWID");
}

void create_recyclebin_table(sqlite3* db) {
    exec_sql(db,
             "CREATE TABLE IF NOT EXISTS ora_recyclebin(object_id INTEGER PRIMARY KEY, "
             "owner_id INTEGER NOT NULL, original_name TEXT NOT NULL, type TEXT NOT NULL, "
             "base_object INTEGER NOT NULL, createtime TEXT NOT NULL, droptime TEXT NOT NULL, "
             "dropscn INTEGER NOT NULL)");
}

void create_catalog_schema(sqlite3* db) {
    create_index_expressions_table(db);
    create_recyclebin_table(db);
    exec_sql(db, R"sql(
CREATE TABLE ora_meta(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;
CREATE TABLE ora_users(
    user_id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL UNIQUE, password TEXT NOT NULL,
    locked INTEGER NOT NULL DEFAULT 0, quota INTEGER NOT NULL DEFAULT 0,
    default_tablespace TEXT NOT NULL DEFAULT 'USERS', created TEXT NOT NULL);
CREATE TABLE ora_grants(user_id INTEGER NOT NULL, privilege TEXT NOT NULL,
    PRIMARY KEY(user_id, privilege)) WITHOUT ROWID;
CREATE TABLE ora_objects(
    object_id INTEGER PRIMARY KEY AUTOINCREMENT, owner_id INTEGER NOT NULL, name TEXT NOT NULL,
    object_type TEXT NOT NULL, status TEXT NOT NULL DEFAULT 'VALID', created TEXT NOT NULL,
    last_ddl TEXT NOT NULL, internal TEXT, temporary TEXT NOT NULL DEFAULT 'N',
    generated TEXT NOT NULL DEFAULT 'N', table_id INTEGER);
CREATE INDEX ora_objects_name ON ora_objects(owner_id, name);
CREATE TABLE ora_columns(
    table_id INTEGER NOT NULL, column_id INTEGER NOT NULL, name TEXT NOT NULL,
    internal TEXT NOT NULL, type_name TEXT NOT NULL, length INTEGER, char_semantics INTEGER,
    precision INTEGER, scale INTEGER, fraction INTEGER, integer_alias INTEGER, is_float INTEGER,
    nullable TEXT NOT NULL, data_default TEXT, data_type TEXT NOT NULL,
    data_length INTEGER NOT NULL, data_precision INTEGER, data_scale INTEGER,
    char_length INTEGER, char_used TEXT, PRIMARY KEY(table_id, column_id)) WITHOUT ROWID;
CREATE TABLE ora_constraints(
    constraint_id INTEGER PRIMARY KEY AUTOINCREMENT, owner_id INTEGER NOT NULL,
    name TEXT NOT NULL, table_id INTEGER NOT NULL, constraint_type TEXT NOT NULL,
    search_condition TEXT, generated TEXT NOT NULL, index_name TEXT, internal TEXT,
    status TEXT NOT NULL DEFAULT 'ENABLED', UNIQUE(owner_id, name));
CREATE TABLE ora_cons_columns(constraint_id INTEGER NOT NULL, column_name TEXT NOT NULL,
    position INTEGER NOT NULL, PRIMARY KEY(constraint_id, position)) WITHOUT ROWID;
CREATE TABLE ora_indexes(index_id INTEGER PRIMARY KEY, uniqueness TEXT NOT NULL);
CREATE TABLE ora_ind_columns(index_id INTEGER NOT NULL, column_name TEXT NOT NULL,
    position INTEGER NOT NULL, descend TEXT NOT NULL, PRIMARY KEY(index_id, position))
    WITHOUT ROWID;
CREATE TABLE ora_sequences(
    sequence_id INTEGER PRIMARY KEY, min_value TEXT NOT NULL, max_value TEXT NOT NULL,
    increment_by TEXT NOT NULL, cycle_flag TEXT NOT NULL, order_flag TEXT NOT NULL,
    cache_size INTEGER NOT NULL, next_value TEXT NOT NULL);
CREATE TABLE ora_triggers(
    trigger_id INTEGER PRIMARY KEY, trigger_type TEXT NOT NULL, triggering_event TEXT NOT NULL,
    when_clause TEXT, description TEXT, trigger_body TEXT, status TEXT NOT NULL,
    referencing_names TEXT, source TEXT NOT NULL);
CREATE TABLE ora_errors(object_id INTEGER NOT NULL, sequence INTEGER NOT NULL,
    line INTEGER NOT NULL, position INTEGER NOT NULL, text TEXT NOT NULL,
    PRIMARY KEY(object_id, sequence)) WITHOUT ROWID;
INSERT INTO sqlite_sequence(name, seq) VALUES ('ora_objects', 73000), ('ora_constraints', 5000),
    ('ora_users', 30);
INSERT INTO ora_meta(key, value) VALUES ('catalog_version', '1');
)sql");
}

std::optional<std::string> read_meta(sqlite3* db, std::string_view key) {
    sqlite_stmt s(db, "SELECT value FROM ora_meta WHERE key = ?1");
    s.bind(1, key);
    if (!s.step())
        return std::nullopt;
    return s.text_at(0);
}

void write_meta(sqlite3* db, std::string_view key, std::string_view value) {
    sqlite_stmt s(db, "INSERT OR REPLACE INTO ora_meta(key, value) VALUES (?1, ?2)");
    s.bind(1, key).bind(2, value).run();
}

int64_t read_catalog_version(sqlite3* db) {
    auto v = read_meta(db, "catalog_version");
    return v ? std::atoll(v->c_str()) : 0;
}

}  // namespace oralite
