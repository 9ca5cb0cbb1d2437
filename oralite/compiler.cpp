#include "oralite/compiler.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <limits>
#include <optional>
#include <set>

#include "oralite/dictionary.h"
#include "oralite/functions.h"
#include "oralite/ora_error.h"
#include "oralite/parser.h"
#include "oralite/session.h"
#include "oralite/sqlite_util.h"
#include "oralite/storage.h"

namespace oralite {

size_t bind_slots::slot(const std::string& name) {
    auto it = std::find(names_.begin(), names_.end(), name);
    if (it != names_.end())
        return static_cast<size_t>(it - names_.begin());
    names_.push_back(name);
    return names_.size() - 1;
}

int64_t resolve_owner(session& s, const catalog& c, const std::optional<ident>& schema) {
    if (!schema)
        return s.user().id;
    const user_info* u = c.user(schema->name);
    if (!u)
        throw ora_error(942).at(schema->pos);
    return u->id;
}

const table_info& resolve_table(session& s, const catalog& c, const qualified_name& name,
                                table_access access) {
    int64_t owner = resolve_owner(s, c, name.schema);
    const table_info* t = c.table(owner, name.name.name);
    if (!t)
        throw ora_error(942).at(name.name.pos);
    if (t->recycled && access != table_access::select)
        throw ora_error(38301).at(name.name.pos);
    if (t->owner_id == s.user().id || s.user().is_dba())
        return *t;
    const char* any = nullptr;
    switch (access) {
        case table_access::select:
            any = "SELECT ANY TABLE";
            break;
        case table_access::insert:
            any = "INSERT ANY TABLE";
            break;
        case table_access::update:
            any = "UPDATE ANY TABLE";
            break;
        case table_access::delete_:
            any = "DELETE ANY TABLE";
            break;
        case table_access::alter:
            any = "ALTER ANY TABLE";
            break;
        case table_access::drop:
            any = "DROP ANY TABLE";
            break;
        case table_access::index:
            any = "CREATE ANY INDEX";
            break;
        case table_access::trigger:
            any = "CREATE ANY TRIGGER";
            break;
    }
    if (s.user().has_privilege(any))
        return *t;
    static const char* object_privileges[] = {"SELECT", "INSERT", "UPDATE", "DELETE",
                                              "ALTER",  "ALTER",  "INDEX",  "ALTER"};
    std::string grant = std::string(object_privileges[static_cast<int>(access)]) + " ON " +
                        t->owner + "." + t->name;
    if (s.user().grants.count(grant) ||
        s.user().grants.count("ALL ON " + t->owner + "." + t->name)) {
        return *t;
    }
    if (s.user().has_privilege("SELECT ANY TABLE"))
        throw ora_error(1031).at(name.name.pos);
    throw ora_error(942).at(name.name.pos);
}

namespace {

std::string quoted_name(const std::string& n) {
    return "\"" + n + "\"";
}

struct typed_sql {
    std::string sql;
    column_type type;
    bool nullable = true;
    bool boolean = false;
    bool aggregate = false;
    int param = -1;             // a bare parameter: its index
    bool native_exact = false;  // SQLite compares it exactly (integers)
    const table_info* table = nullptr;
    const column_info* column = nullptr;
    std::string row_sql;  // the owning row's R, for LOB columns of tables
    std::string name;     // column name of a plain column reference
};

struct scope_column {
    std::string name;
    std::string sql;
    column_type type;
    bool nullable = true;
    const column_info* column = nullptr;
};

struct scope_item {
    std::string alias;   // what qualifies its columns: the alias or the table name
    std::string schema;  // the owner, when referred to without an alias
    bool has_alias = false;
    std::string sql_alias;
    std::string row_sql;  // the row number behind ROWID when not sql_alias.R (a ROWNUM window)
    std::vector<scope_column> columns;
    const table_info* table = nullptr;
};

struct scope {
    std::vector<scope_item> items;
    const scope* parent = nullptr;
};

struct output_column {
    std::string name;
    typed_sql value;
    bool hidden = false;
};

struct select_result {
    std::string sql;
    std::vector<output_column> outputs;  // visible first, then hidden row columns
    size_t visible = 0;
    bool grouped = false;  // GROUP BY, HAVING or an aggregate: ORDER BY keys are checked too
};

std::string row_of(const scope_item& si) {
    return si.row_sql.empty() ? si.sql_alias + ".R" : si.row_sql;
}

constexpr int64_t k_all_rows = std::numeric_limits<int64_t>::max();

char letter(const typed_sql& t) {
    return kind_letter(t.type);
}

// Joins conditions with AND or OR as a balanced tree (depth log n).
std::string balanced(const std::vector<std::string>& parts, size_t from, size_t to,
                     const char* op) {
    if (to - from == 1)
        return parts[from];
    size_t mid = from + (to - from) / 2;
    return "(" + balanced(parts, from, mid, op) + op + balanced(parts, mid, to, op) + ")";
}

std::string balanced(const std::vector<std::string>& parts, const char* op) {
    return balanced(parts, 0, parts.size(), op);
}

bool is_numeric(const column_type& t) {
    return t.is_numeric();
}

class compiler {
  public:
    compiler(session& s, const catalog& c, bind_slots& binds) : s_(s), c_(c), binds_(binds) {}

    std::vector<query_param> params;
    bool uses_sequence = false;
    bool stored_form = false;  // SQL kept in the database file: functions by name

    // ---- queries -----------------------------------------------------------------------

    select_result select(const select_stmt& q, const scope* parent, bool top_level) {
        bool compound = q.cores.size() > 1;
        std::vector<select_result> cores;
        std::vector<scope> core_scopes(q.cores.size());
        for (size_t i = 0; i < q.cores.size(); ++i) {
            const select_core& c = q.cores[i];
            bool sequences = top_level && !compound && q.order_by.empty() && !c.distinct &&
                             c.group_by.empty() && !c.having;
            cores.push_back(core(c, parent, core_scopes[i], top_level && !compound, sequences));
        }
        select_result out = std::move(cores[0]);
        if (compound) {
            for (size_t i = 1; i < cores.size(); ++i) {
                if (cores[i].visible != out.visible)
                    throw ora_error(1789);
                for (size_t k = 0; k < out.visible; ++k) {
                    if (q.ops[i - 1] != set_operator::union_all) {
                        refuse_uncomparable(out.outputs[k].value.type, 0);
                        refuse_uncomparable(cores[i].outputs[k].value.type, 0);
                    }
                    check_union_types(out.outputs[k].value, cores[i].outputs[k].value);
                    if (out.outputs[k].value.type.code == type_code::none) {
                        out.outputs[k].value.type = cores[i].outputs[k].value.type;
                    }
                }
                static const char* ops[] = {" UNION ", " UNION ALL ", " INTERSECT ", " EXCEPT "};
                out.sql += ops[static_cast<int>(q.ops[i - 1])] + cores[i].sql;
            }
        }
        if (!q.order_by.empty()) {
            const select_core* enclosing = ordered_core_;
            ordered_core_ = compound ? nullptr : &q.cores[0];
            std::string order;
            for (const order_item& item : q.order_by) {
                if (!order.empty())
                    order += ", ";
                order += order_key(item, out, compound ? nullptr : &core_scopes[0]);
            }
            ordered_core_ = enclosing;
            out.sql += " ORDER BY " + order;
        }
        if (q.for_update.present) {
            const select_core& c = q.cores[0];
            bool aggregate = std::any_of(out.outputs.begin(), out.outputs.end(),
                                         [](const output_column& o) { return o.value.aggregate; });
            if (compound || c.distinct || !c.group_by.empty() || aggregate || c.having) {
                throw ora_error(1786);
            }
        }
        return out;
    }

    void check_union_types(const typed_sql& a, const typed_sql& b) {
        auto cls = [](const column_type& t) {
            if (t.code == type_code::none)
                return 0;
            if (t.is_numeric())
                return 1;
            if (t.is_character())
                return 2;
            if (t.is_datetime())
                return 3;
            if (t.is_binary())
                return 4;
            return 5;
        };
        int x = cls(a.type), y = cls(b.type);
        if (x && y && x != y)
            throw ora_error(1790);
    }

    // ORDER BY item: a select-list position, an output alias or name, or an expression.
    std::string order_key(const order_item& item, const select_result& r, const scope* sc) {
        const expr& e = *item.value;
        int index = -1;
        if (e.kind == expr_kind::number_literal) {
            auto d = decimal::parse(e.text);
            auto i = d ? d->to_int64() : std::nullopt;
            if (!i || *i < 1 || *i > static_cast<int64_t>(r.visible)) {
                throw ora_error(1785).at(e.pos);
            }
            index = static_cast<int>(*i - 1);
        } else if (e.kind == expr_kind::column && e.path.size() == 1) {
            for (size_t k = 0; k < r.visible; ++k) {
                if (r.outputs[k].name == e.path[0].name) {
                    if (index >= 0)
                        throw ora_error(960).at(e.pos);
                    index = static_cast<int>(k);
                }
            }
        }
        typed_sql key;
        if (index >= 0) {
            key = r.outputs[static_cast<size_t>(index)].value;
            if (!sc) {
                key.sql = std::to_string(index + 1);
                key.type = column_type::of(type_code::none);
            }
        } else {
            if (!sc)
                throw ora_error(1785).at(e.pos);
            key = value_expr(e, *const_cast<scope*>(sc), true);
            check_order_expression(e, key, r, *const_cast<scope*>(sc));
        }
        std::string sql = key.sql;
        refuse_uncomparable(key.type, e.pos);
        if (is_numeric(key.type) && !key.type.is_small_integer() && !key.native_exact) {
            sql = "ora_nkey(" + sql + ")";
        }
        bool nulls_first = item.nulls == 1 || (item.nulls == 0 && item.descending);
        return sql + (item.descending ? " DESC" : " ASC") +
               (nulls_first ? " NULLS FIRST" : " NULLS LAST");
    }

    select_result core(const select_core& c, const scope* parent, scope& sc, bool allow_lobs,
                       bool allow_sequences) {
        sequence_block* enclosing_block = sequence_block_;
        sequence_block_ = nullptr;
        sc.parent = parent;
        std::string from = from_clause(c.from, sc);
        // ROWNUM limits come out of WHERE.
        int64_t limit = k_all_rows;
        std::string where = where_without_rownum(c.where.get(), sc, limit);
        if (limit != k_all_rows) {
            from = rownum_window(from, where, limit, sc);
            where.clear();
        }
        select_result r;
        std::string items;
        auto add_output = [&](std::string name, typed_sql value) {
            output_column o;
            o.name = std::move(name);
            o.value = std::move(value);
            r.outputs.push_back(std::move(o));
        };
        sequence_block block;
        if (allow_sequences) {
            std::vector<const expr*> roots;
            for (const select_item& item : c.items) roots.push_back(item.value.get());
            open_sequence_block(block, roots);
        }
        for (const select_item& item : c.items) {
            if (item.star) {
                expand_star(item, sc, add_output);
                continue;
            }
            typed_sql v = expression(*item.value, sc, true);
            if (v.boolean)
                throw ora_error(923).at(item.value->end);
            std::string name;
            if (item.alias) {
                name = item.alias->name;
            } else if (!v.name.empty()) {
                name = v.name;
            } else {
                name = expression_heading(item.source_text);
            }
            add_output(std::move(name), std::move(v));
        }
        r.visible = r.outputs.size();
        sequence_block_ = nullptr;
        if (block.used && !r.outputs.empty())
            r.outputs[0].value.sql = row_start(block, r.outputs[0].value.sql);
        check_grouped_query(c, sc, r);
        if (c.distinct) {
            for (size_t k = 0; k < r.visible; ++k) refuse_uncomparable(r.outputs[k].value.type, 0);
        }
        if (allow_lobs) {
            for (size_t k = 0; k < r.visible; ++k) {
                const typed_sql& v = r.outputs[k].value;
                if (v.type.is_lob() && v.table && !v.row_sql.empty()) {
                    typed_sql row;
                    row.sql = v.row_sql;
                    row.type = column_type::of(type_code::number);
                    output_column o;
                    o.name = "ROW$" + std::to_string(k);
                    o.value = row;
                    o.hidden = true;
                    r.outputs.push_back(std::move(o));
                }
            }
        }
        for (size_t k = 0; k < r.outputs.size(); ++k) {
            if (r.outputs[k].value.boolean)
                throw ora_error(923);
            if (!items.empty())
                items += ", ";
            items += r.outputs[k].value.sql + " AS c" + std::to_string(k + 1);
        }
        std::string sql = std::string("SELECT ") + (c.distinct ? "DISTINCT " : "") + items;
        if (!from.empty())
            sql += " FROM " + from;
        if (!where.empty())
            sql += " WHERE " + where;
        if (!c.group_by.empty()) {
            std::string group;
            for (const expr_ptr& g : c.group_by) {
                typed_sql t = value_expr(*g, sc, false);
                refuse_uncomparable(t.type, g->pos);
                group += (group.empty() ? "" : ", ") + t.sql;
            }
            sql += " GROUP BY " + group;
        }
        if (c.having) {
            sql += " HAVING " + condition(*c.having, sc, true).sql;
        }
        r.sql = sql;
        sequence_block_ = enclosing_block;
        return r;
    }

    template <typename Add>
    void expand_star(const select_item& item, scope& sc, Add add) {
        bool found = false;
        for (scope_item& si : sc.items) {
            if (!item.star_qualifier.empty() && !matches_qualifier(si, item.star_qualifier)) {
                continue;
            }
            found = true;
            for (const scope_column& col : si.columns) {
                add(col.name, column_value(si, col));
            }
        }
        if (!found) {
            throw ora_error(904, {qualifier_text(item.star_qualifier)})
                .at(item.star_qualifier.empty() ? 0 : item.star_qualifier[0].pos);
        }
    }

    static std::string qualifier_text(const std::vector<ident>& q) {
        std::string out;
        for (const ident& i : q) {
            if (!out.empty())
                out += ".";
            out += "\"" + i.name + "\"";
        }
        return out;
    }

    static bool matches_qualifier(const scope_item& si, const std::vector<ident>& q) {
        if (q.size() == 1)
            return si.alias == q[0].name;
        if (q.size() == 2)
            return !si.has_alias && si.schema == q[0].name && si.alias == q[1].name;
        return false;
    }

    typed_sql column_value(const scope_item& si, const scope_column& col) {
        typed_sql t;
        t.sql = col.sql;
        t.type = col.type;
        t.nullable = col.nullable;
        t.native_exact = col.type.is_small_integer();
        t.table = si.table;
        t.column = col.column;
        t.name = col.name;
        if (si.table && col.type.is_lob())
            t.row_sql = row_of(si);
        return t;
    }

    // A ROWNUM comparison with a number: how many rows it lets through (k_all_rows: all), or
    // nothing when the condition is not one. ROWNUM counts the rows that passed the rest of
    // WHERE, so a condition the first row fails (ROWNUM > 1, ROWNUM = 2) lets none through.
    std::optional<int64_t> rownum_limit(const expr& e) {
        bool cmp = e.kind == expr_kind::le || e.kind == expr_kind::lt || e.kind == expr_kind::eq ||
                   e.kind == expr_kind::ge || e.kind == expr_kind::gt || e.kind == expr_kind::ne;
        if (!cmp || e.args.size() != 2)
            return std::nullopt;
        const expr* a = e.args[0].get();
        const expr* b = e.args[1].get();
        expr_kind k = e.kind;
        if (b->kind == expr_kind::rownum && a->kind != expr_kind::rownum) {
            std::swap(a, b);
            k = k == expr_kind::le   ? expr_kind::ge
                : k == expr_kind::lt ? expr_kind::gt
                : k == expr_kind::ge ? expr_kind::le
                : k == expr_kind::gt ? expr_kind::lt
                                     : k;
        }
        if (a->kind != expr_kind::rownum || b->kind != expr_kind::number_literal)
            return std::nullopt;
        auto d = decimal::parse(b->text);
        if (!d)
            return std::nullopt;
        auto count = [](const decimal& x) {
            return std::max<int64_t>(x.to_int64().value_or(k_all_rows - 1), 0);
        };
        decimal one = decimal::from_int(1);
        switch (k) {
            case expr_kind::le:
                return count(d->floor());
            case expr_kind::lt:
                return count(d->ceil() - one);
            case expr_kind::eq:
                return *d == one ? 1 : 0;
            case expr_kind::ge:
                return d->compare(one) <= 0 ? k_all_rows : 0;
            case expr_kind::gt:
                return d->compare(one) < 0 ? k_all_rows : 0;
            default:  // <>: rows pass until ROWNUM reaches the number
                return d->is_integer() && d->compare(one) >= 0 ? count(*d - one) : k_all_rows;
        }
    }

    // The WHERE conditions other than ROWNUM's, which narrow `limit` instead.
    std::string where_without_rownum(const expr* where, scope& sc, int64_t& limit) {
        if (!where)
            return "";
        std::vector<const expr*> conjuncts;
        split_and(*where, conjuncts);
        std::vector<std::string> parts;
        for (const expr* cond : conjuncts) {
            if (auto n = rownum_limit(*cond)) {
                limit = std::min(limit, *n);
                continue;
            }
            parts.push_back(condition(*cond, sc, false).sql);
        }
        return parts.empty() ? "" : balanced(parts, " AND ");
    }

    // ROWNUM numbers the rows that FROM and WHERE give, before GROUP BY, DISTINCT and ORDER BY:
    // the first `limit` of them become a subquery (OFFSET keeps SQLite from flattening it into
    // the sorted query) whose columns the rest of the query reads instead.
    std::string rownum_window(const std::string& from, const std::string& where, int64_t limit,
                              scope& sc) {
        std::string alias = next_alias();
        std::string items;
        int n = 0;
        auto take = [&](std::string& sql) {
            std::string name = "s" + std::to_string(++n);
            items += (items.empty() ? "" : ", ") + sql + " AS " + name;
            sql = alias + "." + name;
        };
        for (scope_item& si : sc.items) {
            for (scope_column& col : si.columns) take(col.sql);
            if (si.table) {
                si.row_sql = row_of(si);
                take(si.row_sql);
            }
        }
        std::string inner = "SELECT " + (items.empty() ? std::string("1") : items);
        if (!from.empty())
            inner += " FROM " + from;
        if (!where.empty())
            inner += " WHERE " + where;
        return "(" + inner + " LIMIT " + std::to_string(limit) + " OFFSET 0) AS " + alias;
    }

    static void split_and(const expr& e, std::vector<const expr*>& out) {
        if (e.kind == expr_kind::logical_and) {
            split_and(*e.args[0], out);
            split_and(*e.args[1], out);
        } else {
            out.push_back(&e);
        }
    }

    // ---- FROM ----------------------------------------------------------------------------

    std::string from_clause(const std::vector<from_entry>& entries, scope& sc) {
        std::string out;
        for (const from_entry& entry : entries) {
            if (!out.empty())
                out += ", ";
            out += table_item(entry.first, sc);
            for (const join_clause& j : entry.joins) {
                static const char* kinds[] = {" JOIN ", " LEFT JOIN ", " RIGHT JOIN ",
                                              " FULL JOIN ", " CROSS JOIN "};
                size_t before = sc.items.size();
                out += kinds[static_cast<int>(j.kind)] + table_item(j.table, sc);
                if (j.kind == join_kind::left || j.kind == join_kind::full) {
                    for (scope_column& col : sc.items[before].columns) col.nullable = true;
                }
                if (j.on)
                    out += " ON " + condition(*j.on, sc, false).sql;
            }
        }
        return out;
    }

    std::string next_alias() { return "q" + std::to_string(++alias_counter_); }

    std::string table_item(const table_ref& ref, scope& sc) {
        scope_item si;
        si.sql_alias = next_alias();
        std::string sql;
        if (ref.subquery) {
            select_result r = select(*ref.subquery, sc.parent, false);
            for (size_t k = 0; k < r.visible; ++k) {
                scope_column col;
                col.name = r.outputs[k].name;
                col.sql = si.sql_alias + ".c" + std::to_string(k + 1);
                col.type = r.outputs[k].value.type;
                col.nullable = r.outputs[k].value.nullable;
                si.columns.push_back(std::move(col));
            }
            sql = "(" + r.sql + ") AS " + si.sql_alias;
            if (ref.alias) {
                si.alias = ref.alias->name;
                si.has_alias = true;
            }
        } else {
            const std::string& name = ref.name.name.name;
            const dictionary_view* view = find_dictionary_view(name);
            if (ref.name.schema) {
                if (ref.name.schema->name == "SYS" && view) {
                    return dictionary_item(*view, ref, si, sc);
                }
            } else if (view && !c_.table(s_.user().id, name)) {
                return dictionary_item(*view, ref, si, sc);
            }
            const table_info* t = &resolve_table(s_, c_, ref.name, table_access::select);
            si.table = t;
            si.schema = t->owner;
            si.alias = ref.alias ? ref.alias->name : t->name;
            si.has_alias = ref.alias.has_value();
            for (const column_info& col : t->columns) {
                scope_column sc_col;
                sc_col.name = col.name;
                sc_col.sql = si.sql_alias + "." + col.internal;
                sc_col.type = col.type;
                sc_col.nullable = col.nullable;
                sc_col.column = &col;
                si.columns.push_back(std::move(sc_col));
            }
            sql = t->internal + " AS " + si.sql_alias;
        }
        sc.items.push_back(std::move(si));
        return sql;
    }

    std::string dictionary_item(const dictionary_view& v, const table_ref& ref, scope_item& si,
                                scope& sc) {
        if (v.dba_only && !s_.user().has_privilege("SELECT ANY DICTIONARY"))
            throw ora_error(942).at(ref.name.name.pos);
        si.alias = ref.alias ? ref.alias->name : v.name;
        si.has_alias = ref.alias.has_value();
        si.schema = "SYS";
        for (const dictionary_column& dc : v.columns) {
            scope_column col;
            col.name = dc.name;
            col.sql = si.sql_alias + ".\"" + dc.name + "\"";
            col.type = dc.type;
            si.columns.push_back(std::move(col));
        }
        std::string sql = quoted_name(v.sqlite_name) + " AS " + si.sql_alias;
        sc.items.push_back(std::move(si));
        return sql;
    }

    // ---- names ---------------------------------------------------------------------------

    typed_sql column_ref(const expr& e, const scope& sc) {
        const std::vector<ident>& p = e.path;
        for (const scope* s = &sc; s; s = s->parent) {
            const scope_item* found_item = nullptr;
            const scope_column* found = nullptr;
            for (const scope_item& si : s->items) {
                if (p.size() == 2 && si.alias != p[0].name)
                    continue;
                if (p.size() == 3 &&
                    (si.has_alias || si.schema != p[0].name || si.alias != p[1].name)) {
                    continue;
                }
                if (p.size() > 3)
                    continue;
                for (const scope_column& col : si.columns) {
                    if (col.name == p.back().name) {
                        if (found)
                            throw ora_error(918).at(e.pos);
                        found = &col;
                        found_item = &si;
                    }
                }
            }
            if (found)
                return column_value(*found_item, *found);
        }
        std::string text;
        for (const ident& i : p) {
            if (!text.empty())
                text += ".";
            text += "\"" + i.name + "\"";
        }
        throw ora_error(904, {text}).at(e.pos);
    }

    const scope_item& rowid_owner(const expr& e, const scope& sc) {
        for (const scope* s = &sc; s; s = s->parent) {
            const scope_item* candidate = nullptr;
            int tables = 0;
            for (const scope_item& si : s->items) {
                if (!e.path.empty() && !matches_qualifier(si, e.path))
                    continue;
                if (si.table) {
                    ++tables;
                    candidate = &si;
                }
            }
            if (tables > 1 && e.path.empty())
                throw ora_error(918).at(e.pos);
            if (candidate)
                return *candidate;
        }
        throw ora_error(904, {e.path.empty() ? "\"ROWID\"" : qualifier_text(e.path) + ".\"ROWID\""})
            .at(e.pos);
    }

    // ---- expressions -------------------------------------------------------------------

    int add_param(query_param p) {
        params.push_back(std::move(p));
        return static_cast<int>(params.size()) - 1;
    }
    static std::string param_sql(int index) { return "?" + std::to_string(index + 1); }

    typed_sql literal(value v, column_type type) {
        typed_sql t;
        t.native_exact = v.kind == value_kind::number && v.number.to_int64().has_value();
        query_param p;
        p.literal_value = std::move(v);
        t.sql = param_sql(add_param(std::move(p)));
        t.type = type;
        t.nullable = false;
        return t;
    }

    // Sets what a bare bind parameter is converted to.
    void expect(typed_sql& t, char kind) {
        if (t.param >= 0 && params[static_cast<size_t>(t.param)].expect == '?') {
            params[static_cast<size_t>(t.param)].expect = kind;
            t.type = type_of_letter(kind);
        }
    }

    // The expression converted to a kind (N T D S R).
    typed_sql converted(typed_sql t, char kind) {
        if (t.param >= 0) {
            expect(t, kind);
            return t;
        }
        char have = letter(t);
        if (have == kind || t.type.code == type_code::none)
            return t;
        if (kind == 'T' && have == 'C')
            return t;
        if (kind == 'R' && have == 'B')
            return t;
        t.sql = "ora_conv('" + std::string(1, kind) + "', '" + std::string(1, have) + "', " +
                t.sql + ")";
        t.type = type_of_letter(kind);
        t.native_exact = false;
        t.table = nullptr;
        t.column = nullptr;
        t.row_sql.clear();
        return t;
    }

    typed_sql value_expr(const expr& e, scope& sc, bool allow_aggregate) {
        typed_sql t = expression(e, sc, allow_aggregate);
        if (t.boolean)
            throw ora_error(907).at(e.pos);
        return t;
    }

    typed_sql condition(const expr& e, scope& sc, bool allow_aggregate) {
        typed_sql t = expression(e, sc, allow_aggregate);
        if (!t.boolean)
            throw ora_error(920).at(e.end);
        return t;
    }

    typed_sql boolean(std::string sql, bool aggregate = false) {
        typed_sql t;
        t.sql = std::move(sql);
        t.boolean = true;
        t.type = column_type::of(type_code::boolean);
        t.aggregate = aggregate;
        return t;
    }

    typed_sql expression(const expr& e, scope& sc, bool agg) {
        switch (e.kind) {
            case expr_kind::null_literal: {
                typed_sql t;
                t.sql = "NULL";
                t.type = column_type::of(type_code::none);
                return t;
            }
            case expr_kind::number_literal: {
                auto d = decimal::parse(e.text);
                if (!d)
                    throw ora_error(1722).at(e.pos);
                return literal(value::of_number(*d), column_type::of(type_code::number));
            }
            case expr_kind::string_literal: {
                column_type ct = column_type::of(type_code::char_);
                ct.length = static_cast<int>(e.text.size());
                return literal(value::of_text(e.text), ct);
            }
            case expr_kind::bind: {
                typed_sql t;
                query_param p;
                p.kind = query_param::bind;
                p.bind_slot = binds_.slot(e.text);
                t.param = add_param(std::move(p));
                t.sql = param_sql(t.param);
                t.type = column_type::varchar(4000);
                return t;
            }
            case expr_kind::column:
                return column_ref(e, sc);
            case expr_kind::rowid: {
                const scope_item& si = rowid_owner(e, sc);
                typed_sql t;
                t.sql = "ora_rowid(" + std::to_string(si.table->id) + ", " + row_of(si) + ")";
                t.type = column_type::of(type_code::rowid);
                t.nullable = false;
                t.name = "ROWID";
                t.table = si.table;
                t.row_sql = row_of(si);
                return t;
            }
            case expr_kind::rownum:
                throw ora_error(3001).at(e.pos);
            case expr_kind::sysdate: {
                typed_sql t;
                t.sql = "ora_sysdate()";
                t.type = column_type::of(type_code::date);
                t.name = "SYSDATE";
                return t;
            }
            case expr_kind::systimestamp: {
                typed_sql t;
                t.sql = "ora_systimestamp()";
                t.type = column_type::of(type_code::timestamp);
                t.name = "SYSTIMESTAMP";
                return t;
            }
            case expr_kind::user: {
                typed_sql t;
                t.sql = "ora_user()";
                t.type = column_type::varchar(30);
                t.name = "USER";
                return t;
            }
            case expr_kind::sequence_value:
                return sequence(e);
            case expr_kind::negate:
                return call(operator_function("NEG"), {value_expr(*e.args[0], sc, agg)});
            case expr_kind::add:
            case expr_kind::subtract:
            case expr_kind::multiply:
            case expr_kind::divide:
            case expr_kind::concat: {
                return call(operator_function(e.kind),
                            {no_long(value_expr(*e.args[0], sc, agg), e.pos),
                             no_long(value_expr(*e.args[1], sc, agg), e.pos)});
            }
            case expr_kind::eq:
            case expr_kind::ne:
            case expr_kind::lt:
            case expr_kind::le:
            case expr_kind::gt:
            case expr_kind::ge:
                return compare(e.kind, value_expr(*e.args[0], sc, agg),
                               value_expr(*e.args[1], sc, agg), e.pos);
            case expr_kind::logical_and:
            case expr_kind::logical_or: {
                // A long chain becomes a balanced tree, which SQLite's depth limit accepts.
                std::vector<const expr*> operands;
                std::vector<const expr*> pending{&e};
                while (!pending.empty()) {
                    const expr* x = pending.back();
                    pending.pop_back();
                    if (x->kind == e.kind) {
                        pending.push_back(x->args[1].get());
                        pending.push_back(x->args[0].get());
                    } else {
                        operands.push_back(x);
                    }
                }
                std::vector<std::string> parts;
                bool aggregate = false;
                for (const expr* x : operands) {
                    typed_sql t = condition(*x, sc, agg);
                    parts.push_back(t.sql);
                    aggregate = aggregate || t.aggregate;
                }
                const char* op = e.kind == expr_kind::logical_and ? " AND " : " OR ";
                return boolean(balanced(parts, op), aggregate);
            }
            case expr_kind::logical_not: {
                typed_sql a = condition(*e.args[0], sc, agg);
                return boolean("(NOT " + a.sql + ")", a.aggregate);
            }
            case expr_kind::is_null:
            case expr_kind::is_not_null: {
                typed_sql a = value_expr(*e.args[0], sc, agg);
                return boolean(
                    "(" + a.sql + (e.kind == expr_kind::is_null ? " IS NULL)" : " IS NOT NULL)"),
                    a.aggregate);
            }
            case expr_kind::like:
            case expr_kind::not_like: {
                typed_sql a = converted(no_long(value_expr(*e.args[0], sc, agg), e.pos), 'T');
                typed_sql b = converted(no_long(value_expr(*e.args[1], sc, agg), e.pos), 'T');
                std::string sql =
                    "(" + a.sql + (e.kind == expr_kind::like ? " LIKE " : " NOT LIKE ") + b.sql;
                if (e.args.size() > 2) {
                    sql += " ESCAPE " + converted(value_expr(*e.args[2], sc, agg), 'T').sql;
                }
                return boolean(sql + ")", a.aggregate || b.aggregate);
            }
            case expr_kind::between:
            case expr_kind::not_between: {
                typed_sql lo = compare(expr_kind::ge, value_expr(*e.args[0], sc, agg),
                                       value_expr(*e.args[1], sc, agg), e.pos);
                typed_sql hi = compare(expr_kind::le, value_expr(*e.args[0], sc, agg),
                                       value_expr(*e.args[2], sc, agg), e.pos);
                std::string sql = "(" + lo.sql + " AND " + hi.sql + ")";
                if (e.kind == expr_kind::not_between)
                    sql = "(NOT " + sql + ")";
                return boolean(sql, lo.aggregate || hi.aggregate);
            }
            case expr_kind::in_list:
            case expr_kind::not_in_list: {
                std::vector<std::string> parts;
                for (size_t i = 1; i < e.args.size(); ++i) {
                    typed_sql c = compare(expr_kind::eq, value_expr(*e.args[0], sc, agg),
                                          value_expr(*e.args[i], sc, agg), e.pos);
                    parts.push_back(c.sql);
                }
                std::string sql = balanced(parts, " OR ");
                if (e.kind == expr_kind::not_in_list)
                    sql = "(NOT " + sql + ")";
                return boolean(sql);
            }
            case expr_kind::in_query:
            case expr_kind::not_in_query: {
                typed_sql a = value_expr(*e.args[0], sc, agg);
                select_result r = select(*e.query, &sc, false);
                if (r.visible != 1)
                    throw ora_error(r.visible > 1 ? 913 : 947).at(e.pos);
                std::string sub = r.sql;
                if (r.outputs.size() > r.visible)
                    sub = "SELECT c1 FROM (" + sub + ")";
                typed_sql inner = r.outputs[0].value;
                if (a.param >= 0)
                    expect(a, letter(inner));
                if (is_numeric(inner.type) && !is_numeric(a.type))
                    a = converted(a, 'N');
                return boolean("(" + a.sql +
                               (e.kind == expr_kind::in_query ? " IN (" : " NOT IN (") + sub +
                               "))");
            }
            case expr_kind::exists: {
                select_result r = select(*e.query, &sc, false);
                return boolean("(EXISTS (" + r.sql + "))");
            }
            case expr_kind::scalar_query: {
                select_result r = select(*e.query, &sc, false);
                if (r.visible != 1)
                    throw ora_error(913).at(e.pos);
                typed_sql t = r.outputs[0].value;
                t.sql = "(SELECT c1 FROM (" + r.sql + "))";
                t.param = -1;
                t.table = nullptr;
                t.column = nullptr;
                t.row_sql.clear();
                t.name.clear();
                t.native_exact = false;
                return t;
            }
            case expr_kind::function:
                return function(e, sc, agg);
            case expr_kind::case_searched:
            case expr_kind::case_simple:
                return case_expr(e, sc, agg);
            case expr_kind::star:
                throw ora_error(936).at(e.pos);
            case expr_kind::trigger_row:
                throw ora_error(1036).at(e.pos);
        }
        throw ora_error(936).at(e.pos);
    }

    const sequence_info& resolve_sequence(const expr& e) {
        std::optional<ident> schema;
        if (e.path.size() == 2)
            schema = e.path[0];
        if (e.path.size() > 2)
            throw ora_error(2289).at(e.pos);
        int64_t owner = resolve_owner(s_, c_, schema);
        const sequence_info* seq = c_.sequence(owner, e.path.back().name);
        if (!seq)
            throw ora_error(2289).at(e.pos);
        if (owner != s_.user().id && !s_.user().is_dba() &&
            !s_.user().has_privilege("SELECT ANY SEQUENCE")) {
            throw ora_error(2289).at(e.pos);
        }
        return *seq;
    }

    typed_sql sequence(const expr& e) {
        const sequence_info& seq = resolve_sequence(e);
        if (!sequence_block_)
            throw ora_error(2287).at(e.pos);
        uses_sequence = true;
        typed_sql t;
        std::string qualified = sql_text(seq.owner + "." + seq.name);
        if (sequence_block_->next.count(seq.id)) {
            sequence_block_->used = true;
            t.sql = "ora_seq_next(" + std::to_string(sequence_block_->id) + ", " +
                    std::to_string(seq.id) + ", " + qualified + ")";
        } else {
            t.sql = "ora_currval(" + std::to_string(seq.id) + ", " + qualified + ")";
        }
        t.type = column_type::of(type_code::number);
        t.nullable = false;
        return t;
    }

    static std::string sql_text(const std::string& text) {
        std::string out = "'";
        for (char ch : text) out += ch == '\'' ? std::string("''") : std::string(1, ch);
        return out + "'";
    }

    typed_sql call(const function_def& f, std::vector<typed_sql> args) {
        std::string kinds;
        std::vector<column_type> types;
        size_t nconv = std::char_traits<char>::length(f.conversions);
        bool aggregate = false;
        for (size_t i = 0; i < args.size(); ++i) {
            char conv = f.conversions[std::min(i, nconv - 1)];
            if (conv != '*')
                expect(args[i], conv);
            kinds.push_back(letter(args[i]));
            types.push_back(args[i].type);
            aggregate = aggregate || args[i].aggregate;
        }
        typed_sql t;
        // What the database file keeps (an index on expressions) names the function, as its
        // number may change between versions.
        std::string which =
            stored_form ? "'" + std::string(f.name) + "'" : std::to_string(function_id(f));
        t.sql = "ora_call(" + which + ", '" + kinds + "'";
        for (const typed_sql& a : args) t.sql += ", " + a.sql;
        t.sql += ")";
        t.type = f.result(types);
        t.aggregate = aggregate;
        return t;
    }

    typed_sql compare(expr_kind kind, typed_sql a, typed_sql b, int pos) {
        static const std::pair<expr_kind, const char*> ops[] = {
            {expr_kind::eq, "="},  {expr_kind::ne, "<>"}, {expr_kind::lt, "<"},
            {expr_kind::le, "<="}, {expr_kind::gt, ">"},  {expr_kind::ge, ">="}};
        const char* op = "=";
        for (const auto& [k, o] : ops) {
            if (k == kind)
                op = o;
        }
        bool aggregate = a.aggregate || b.aggregate;
        for (const typed_sql* t : {&a, &b}) {
            if (t->type.is_lob() || t->type.is_long()) {
                throw ora_error(932, {"-", kind_name(t->type)}).at(pos);
            }
        }
        // ROWID against a value: compare the row numbers.
        if (a.type.code == type_code::rowid || b.type.code == type_code::rowid) {
            typed_sql& rid = a.type.code == type_code::rowid ? a : b;
            typed_sql& other = a.type.code == type_code::rowid ? b : a;
            if (rid.table && other.type.code != type_code::rowid) {
                std::string rhs;
                if (other.param >= 0) {
                    params[static_cast<size_t>(other.param)].expect = 'I';
                    params[static_cast<size_t>(other.param)].rowid_table = rid.table->id;
                    rhs = other.sql;
                } else {
                    rhs = "ora_rowid_num(" + converted(other, 'T').sql + ", " +
                          std::to_string(rid.table->id) + ")";
                }
                bool rowid_first = &rid == &a;
                return boolean("(" +
                                   (rowid_first ? rid.row_sql + " " + op + " " + rhs
                                                : rhs + " " + op + " " + rid.row_sql) +
                                   ")",
                               aggregate);
            }
            return boolean(
                "(" + converted(a, 'T').sql + " " + op + " " + converted(b, 'T').sql + ")",
                aggregate);
        }
        if (is_numeric(a.type) || is_numeric(b.type)) {
            a = converted(a, 'N');
            b = converted(b, 'N');
            bool exact = (a.native_exact || a.type.is_small_integer()) &&
                         (b.native_exact || b.type.is_small_integer());
            if (exact)
                return boolean("(" + a.sql + " " + op + " " + b.sql + ")", aggregate);
            return boolean("(ora_ncmp(" + a.sql + ", " + b.sql + ") " + op + " 0)", aggregate);
        }
        if (a.type.code == type_code::interval_ds || b.type.code == type_code::interval_ds) {
            a = converted(a, 'V');
            b = converted(b, 'V');
            return boolean("(" + a.sql + " " + op + " " + b.sql + ")", aggregate);
        }
        if (a.type.is_datetime() || b.type.is_datetime()) {
            char k = (a.type.code == type_code::timestamp || b.type.code == type_code::timestamp)
                         ? 'S'
                         : 'D';
            a = converted(a, k);
            b = converted(b, k);
            return boolean("(" + a.sql + " " + op + " " + b.sql + ")", aggregate);
        }
        if (a.type.is_binary() || b.type.is_binary()) {
            a = converted(a, 'R');
            b = converted(b, 'R');
            return boolean("(" + a.sql + " " + op + " " + b.sql + ")", aggregate);
        }
        bool padded = blank_padded(a.type) && blank_padded(b.type);
        a = converted(a, 'T');
        b = converted(b, 'T');
        if (padded)
            return boolean("(rtrim(" + a.sql + ", ' ') " + op + " rtrim(" + b.sql + ", ' '))",
                           aggregate);
        return boolean("(" + a.sql + " " + op + " " + b.sql + ")", aggregate);
    }

    // Oracle compares two CHAR or NCHAR values (text literals are CHAR) as if the shorter were
    // padded with blanks; a VARCHAR2 on either side (a bind among them) compares as it is.
    static bool blank_padded(const column_type& t) {
        return t.code == type_code::char_ || t.code == type_code::nchar;
    }

    typed_sql case_expr(const expr& e, scope& sc, bool agg) {
        size_t first = e.kind == expr_kind::case_simple ? 1 : 0;
        size_t end = e.args.size() - (e.has_else ? 1 : 0);
        std::string sql = "CASE";
        std::vector<typed_sql> results;
        std::vector<std::string> whens;
        for (size_t i = first; i + 1 < end; i += 2) {
            typed_sql when = e.kind == expr_kind::case_simple
                                 ? compare(expr_kind::eq, value_expr(*e.args[0], sc, agg),
                                           value_expr(*e.args[i], sc, agg), e.args[i]->pos)
                                 : condition(*e.args[i], sc, agg);
            whens.push_back(when.sql);
            results.push_back(value_expr(*e.args[i + 1], sc, agg));
        }
        if (e.has_else)
            results.push_back(value_expr(*e.args.back(), sc, agg));
        column_type type = column_type::of(type_code::none);
        for (const typed_sql& r : results) {
            if (type.code == type_code::none)
                type = r.type;
        }
        char k = kind_letter(type);
        bool aggregate = false;
        for (size_t i = 0; i < whens.size(); ++i) {
            typed_sql r = k == '?' ? results[i] : converted(results[i], k);
            aggregate = aggregate || r.aggregate;
            sql += " WHEN " + whens[i] + " THEN " + r.sql;
        }
        if (e.has_else) {
            typed_sql r = k == '?' ? results.back() : converted(results.back(), k);
            sql += " ELSE " + r.sql;
        }
        typed_sql t;
        t.sql = sql + " END";
        t.type = type;
        t.aggregate = aggregate;
        return t;
    }

    typed_sql aggregate(const expr& e, const std::string& name, scope& sc, bool agg) {
        if (!agg)
            throw ora_error(934).at(e.pos);
        if (e.args.size() != 1)
            throw ora_error(909).at(e.pos);
        typed_sql t;
        t.aggregate = true;
        if (name == "COUNT" && e.args[0]->kind == expr_kind::star) {
            t.sql = "count(*)";
            t.type = column_type::of(type_code::number);
            t.nullable = false;
            t.native_exact = true;
            return t;
        }
        typed_sql a = value_expr(*e.args[0], sc, false);
        if (a.aggregate)
            throw ora_error(935).at(e.pos);
        std::string distinct = e.distinct ? "DISTINCT " : "";
        if (name == "COUNT") {
            t.sql = "count(" + distinct + a.sql + ")";
            t.type = column_type::of(type_code::number);
            t.nullable = false;
            t.native_exact = true;
            return t;
        }
        if (a.type.is_lob() || a.type.is_long())
            throw ora_error(932, {"-", kind_name(a.type)});
        if (name == "SUM" || name == "AVG") {
            a = converted(a, 'N');
            t.sql = (name == "SUM" ? "ora_sum(" : "ora_avg(") + distinct + a.sql + ")";
            t.type = column_type::of(type_code::number);
            return t;
        }
        // MIN, MAX
        if (a.param >= 0)
            expect(a, 'T');
        if (is_numeric(a.type)) {
            t.sql = (name == "MIN" ? "ora_nmin(" : "ora_nmax(") + distinct + a.sql + ")";
        } else {
            t.sql = (name == "MIN" ? "min(" : "max(") + distinct + a.sql + ")";
        }
        t.type = a.type;
        return t;
    }

    typed_sql function(const expr& e, scope& sc, bool agg) {
        std::string name;
        for (const ident& i : e.path) name += (name.empty() ? "" : ".") + i.name;
        if (e.path.size() == 1 && is_aggregate_name(name))
            return aggregate(e, name, sc, agg);
        if (e.distinct)
            throw ora_error(936).at(e.pos);
        const function_def& f = find_function(name, e.args.size(), e.pos);
        std::vector<typed_sql> args;
        for (const expr_ptr& a : e.args) args.push_back(no_long(value_expr(*a, sc, agg), a->pos));
        unify_arguments(name, args);
        return call(f, std::move(args));
    }

    // Functions whose result is one of their arguments convert those to one kind.
    void unify_arguments(const std::string& name, std::vector<typed_sql>& args) {
        auto unify = [&](std::vector<size_t> positions) {
            char k = '?';
            for (size_t p : positions) {
                if (p < args.size() && args[p].type.code != type_code::none && args[p].param < 0) {
                    k = letter(args[p]);
                    break;
                }
            }
            if (k == '?' || k == 'I')
                return;
            if (k == 'C')
                k = 'T';
            if (k == 'B')
                k = 'R';
            for (size_t p : positions) {
                if (p < args.size() && args[p].type.code != type_code::none) {
                    char have = letter(args[p]);
                    if (have == k || (k == 'T' && have == 'C') || (k == 'R' && have == 'B')) {
                        continue;
                    }
                    args[p] = converted(args[p], k);
                }
            }
        };
        std::vector<size_t> all(args.size());
        for (size_t i = 0; i < all.size(); ++i) all[i] = i;
        if (name == "NVL" || name == "COALESCE" || name == "GREATEST" || name == "LEAST" ||
            name == "NULLIF") {
            unify(all);
        } else if (name == "NVL2") {
            unify({1, 2});
        } else if (name == "DECODE") {
            std::vector<size_t> searches{0};
            std::vector<size_t> results;
            size_t i = 1;
            for (; i + 1 < args.size(); i += 2) {
                searches.push_back(i);
                results.push_back(i + 1);
            }
            if (i < args.size())
                results.push_back(i);
            unify(searches);
            unify(results);
        }
    }

    // ---- Oracle's checks of what may be compared, grouped and ordered -------------------

    // DISTINCT, GROUP BY, ORDER BY and the set operators other than UNION ALL compare values:
    // never LOBs (ORA-00932) nor LONGs (ORA-00997).
    static void refuse_uncomparable(const column_type& t, int pos) {
        if (t.is_lob())
            throw ora_error(932, {"-", kind_name(t)}).at(pos);
        if (t.is_long())
            throw ora_error(997).at(pos);
    }

    // A LONG is read through a define only: SQL functions, operators and LIKE refuse it.
    static typed_sql no_long(typed_sql t, int pos) {
        if (t.type.code == type_code::long_)
            throw ora_error(932, {"CHAR", "LONG"}).at(pos);
        if (t.type.code == type_code::long_raw)
            throw ora_error(932, {"BINARY", "LONG BINARY"}).at(pos);
        return t;
    }

    // In a query with GROUP BY, HAVING or an aggregate every select-list item and the HAVING
    // condition are built of GROUP BY expressions, aggregates and constants: a column of the
    // query otherwise is ORA-00979 with GROUP BY and ORA-00937 without.
    void check_grouped_query(const select_core& c, scope& sc, select_result& r) {
        r.grouped = !c.group_by.empty() || c.having ||
                    std::any_of(r.outputs.begin(), r.outputs.end(),
                                [](const output_column& o) { return o.value.aggregate; });
        if (!r.grouped)
            return;
        int code = c.group_by.empty() ? 937 : 979;
        for (const select_item& item : c.items) {
            if (item.star)
                throw ora_error(code).at(c.pos);
            check_grouped(*item.value, c, sc, code);
        }
        if (c.having)
            check_grouped(*c.having, c, sc, code);
    }

    void check_grouped(const expr& e, const select_core& c, scope& sc, int code) {
        for (const expr_ptr& g : c.group_by) {
            if (same_expression(e, *g, sc))
                return;
        }
        switch (e.kind) {
            case expr_kind::function:
                if (e.path.size() == 1 && is_aggregate_name(e.path[0].name))
                    return;
                break;
            case expr_kind::column:
            case expr_kind::rowid:
                if (of_this_query(e, sc))
                    throw ora_error(code).at(e.pos);
                return;
            default:
                break;
        }
        for (const expr_ptr& a : e.args) check_grouped(*a, c, sc, code);
    }

    // A column named by the query itself rather than by an enclosing one.
    bool of_this_query(const expr& e, const scope& sc) {
        scope local;
        local.items = sc.items;
        try {
            if (e.kind == expr_kind::rowid)
                rowid_owner(e, local);
            else
                column_ref(e, local);
            return true;
        } catch (const ora_error&) {
            return false;
        }
    }

    // Two expressions as Oracle matches a select-list item to a GROUP BY expression: the same
    // form, with column names matched by the column they denote.
    bool same_expression(const expr& a, const expr& b, scope& sc) {
        if (a.kind != b.kind)
            return false;
        if (a.kind == expr_kind::column) {
            try {
                return column_ref(a, sc).sql == column_ref(b, sc).sql;
            } catch (const ora_error&) {
                return false;
            }
        }
        if (a.query || b.query || a.text != b.text || a.distinct != b.distinct ||
            a.has_else != b.has_else || a.args.size() != b.args.size() ||
            a.path.size() != b.path.size()) {
            return false;
        }
        for (size_t i = 0; i < a.path.size(); ++i) {
            if (a.path[i].name != b.path[i].name)
                return false;
        }
        for (size_t i = 0; i < a.args.size(); ++i) {
            if (!same_expression(*a.args[i], *b.args[i], sc))
                return false;
        }
        return true;
    }

    // An ORDER BY expression (not a position or an alias) of a grouped query obeys the grouped
    // rules; with DISTINCT it must be one of the selected expressions (ORA-01791).
    void check_order_expression(const expr& e, const typed_sql& key, const select_result& r,
                                scope& sc) {
        if (!ordered_core_)
            return;
        const select_core& c = *ordered_core_;
        if (r.grouped)
            check_grouped(e, c, sc, c.group_by.empty() ? 937 : 979);
        if (!c.distinct)
            return;
        for (const select_item& item : c.items) {
            if (item.value && same_expression(e, *item.value, sc))
                return;
        }
        for (size_t k = 0; k < r.visible; ++k) {
            if (key.column && r.outputs[k].value.sql == key.sql)
                return;
        }
        throw ora_error(1791).at(e.pos);
    }

    // ---- sequences -----------------------------------------------------------------------

    // NEXTVAL and CURRVAL stand only in the select list of a top-level query without DISTINCT,
    // GROUP BY, ORDER BY or set operators, and in UPDATE ... SET (ORA-02287 elsewhere). A
    // sequence whose NEXTVAL such a list takes gives one new value per row, for NEXTVAL and
    // CURRVAL alike, wherever they stand in the list.
    struct sequence_block {
        int64_t id = 0;
        std::set<int64_t> next;  // sequences whose NEXTVAL the list takes
        bool used = false;
    };

    void open_sequence_block(sequence_block& block, const std::vector<const expr*>& roots) {
        block.id = s_.new_sequence_block();
        std::function<void(const expr*)> visit = [&](const expr* x) {
            if (!x)
                return;
            if (x->kind == expr_kind::sequence_value && x->text == "NEXTVAL")
                block.next.insert(resolve_sequence(*x).id);
            for (const expr_ptr& a : x->args) visit(a.get());
        };
        for (const expr* r : roots) visit(r);
        sequence_block_ = &block;
    }
    void close_sequence_block() { sequence_block_ = nullptr; }

    // The expression evaluated first in each row: it starts the row's sequence values.
    static std::string row_start(const sequence_block& block, const std::string& sql) {
        return "CASE WHEN ora_seq_row(" + std::to_string(block.id) + ") THEN " + sql + " END";
    }

  private:
    session& s_;
    const catalog& c_;
    bind_slots& binds_;
    int alias_counter_ = 0;
    sequence_block* sequence_block_ = nullptr;   // where NEXTVAL and CURRVAL may stand now
    const select_core* ordered_core_ = nullptr;  // the core whose ORDER BY is being compiled

  public:
    // The single-table scope of UPDATE and DELETE.
    // The columns of one row of the table by their bare SQLite names (no alias).
    scope row_scope(const table_info& t) {
        scope sc = table_scope(t, std::nullopt);
        for (scope_column& c : sc.items[0].columns) c.sql = c.column->internal;
        return sc;
    }

    scope table_scope(const table_info& t, const std::optional<ident>& alias) {
        scope sc;
        scope_item si;
        si.table = &t;
        si.schema = t.owner;
        si.alias = alias ? alias->name : t.name;
        si.has_alias = alias.has_value();
        si.sql_alias = next_alias();
        for (const column_info& col : t.columns) {
            scope_column c;
            c.name = col.name;
            c.sql = si.sql_alias + "." + col.internal;
            c.type = col.type;
            c.nullable = col.nullable;
            c.column = &col;
            si.columns.push_back(std::move(c));
        }
        sc.items.push_back(std::move(si));
        return sc;
    }

    // The WHERE of UPDATE and DELETE; with ROWNUM the rows are the first ones the other
    // conditions find.
    std::string where_clause(const expr* where, scope& sc) {
        int64_t limit = k_all_rows;
        std::string conditions = where_without_rownum(where, sc, limit);
        if (limit != k_all_rows) {
            const scope_item& si = sc.items[0];
            return " WHERE " + si.sql_alias + ".R IN (SELECT " + si.sql_alias + ".R FROM " +
                   si.table->internal + " AS " + si.sql_alias +
                   (conditions.empty() ? "" : " WHERE " + conditions) + " LIMIT " +
                   std::to_string(limit) + ")";
        }
        return conditions.empty() ? "" : " WHERE " + conditions;
    }

    typed_sql value_in(const expr& e, scope& sc) { return value_expr(e, sc, false); }
    typed_sql any_in(const expr& e, scope& sc) { return expression(e, sc, false); }
};

void finish_columns(const select_result& r, compiled_query& q) {
    for (size_t k = 0; k < r.visible; ++k) {
        const output_column& o = r.outputs[k];
        result_column col;
        col.name = o.name;
        col.type = o.value.type;
        col.nullable = o.value.nullable;
        if (o.value.type.is_lob() && o.value.table && o.value.column) {
            for (size_t h = r.visible; h < r.outputs.size(); ++h) {
                if (r.outputs[h].name == "ROW$" + std::to_string(k)) {
                    col.row_column = static_cast<int>(h);
                    col.table_id = o.value.table->id;
                    col.table_internal = o.value.table->internal;
                    col.column_internal = o.value.column->internal;
                }
            }
        }
        q.columns.push_back(std::move(col));
    }
}

// ---- placeholders ------------------------------------------------------------------------

void binds_in(const expr* e, bind_slots& b);

void binds_in_query(const select_stmt* q, bind_slots& b) {
    if (!q)
        return;
    for (const select_core& c : q->cores) {
        for (const select_item& i : c.items) binds_in(i.value.get(), b);
        for (const from_entry& f : c.from) {
            binds_in_query(f.first.subquery.get(), b);
            for (const join_clause& j : f.joins) {
                binds_in_query(j.table.subquery.get(), b);
                binds_in(j.on.get(), b);
            }
        }
        binds_in(c.where.get(), b);
        for (const expr_ptr& g : c.group_by) binds_in(g.get(), b);
        binds_in(c.having.get(), b);
    }
    for (const order_item& o : q->order_by) binds_in(o.value.get(), b);
}

void binds_in(const expr* e, bind_slots& b) {
    if (!e)
        return;
    if (e->kind == expr_kind::bind)
        b.slot(e->text);
    for (const expr_ptr& a : e->args) binds_in(a.get(), b);
    binds_in_query(e->query.get(), b);
}

void binds_in_returning(const returning_clause& r, bind_slots& b) {
    for (const expr_ptr& v : r.values) binds_in(v.get(), b);
    for (const std::string& n : r.into) b.slot(n);
}

}  // namespace

void collect_binds(const statement& stmt, bind_slots& binds) {
    switch (stmt.kind) {
        case statement_kind::select:
            binds_in_query(static_cast<const select_statement&>(stmt).query.get(), binds);
            break;
        case statement_kind::insert: {
            const auto& s = static_cast<const insert_statement&>(stmt);
            for (const expr_ptr& v : s.values) binds_in(v.get(), binds);
            binds_in_query(s.query.get(), binds);
            binds_in_returning(s.returning, binds);
            break;
        }
        case statement_kind::update: {
            const auto& s = static_cast<const update_statement&>(stmt);
            for (const auto& set : s.sets) binds_in(set.second.get(), binds);
            binds_in(s.where.get(), binds);
            binds_in_returning(s.returning, binds);
            break;
        }
        case statement_kind::delete_: {
            const auto& s = static_cast<const delete_statement&>(stmt);
            binds_in(s.where.get(), binds);
            binds_in_returning(s.returning, binds);
            break;
        }
        default:
            break;
    }
}

compiled_query compile_select(session& s, const catalog& c, bind_slots& binds,
                              const select_stmt& query) {
    compiler comp(s, c, binds);
    select_result r = comp.select(query, nullptr, true);
    compiled_query q;
    q.sql = r.sql;
    q.params = std::move(comp.params);
    q.for_update = query.for_update.present;
    q.wait_seconds = query.for_update.wait_seconds;
    q.uses_sequence = comp.uses_sequence;
    finish_columns(r, q);
    return q;
}

compiled_query compile_expressions(session& s, const catalog& c, bind_slots& binds,
                                   const std::vector<const expr*>& exprs) {
    compiler comp(s, c, binds);
    scope sc;
    compiled_query q;
    std::string items;
    for (const expr* e : exprs) {
        typed_sql t = comp.any_in(*e, sc);
        if (t.boolean) {
            t.sql = "CASE WHEN " + t.sql + " THEN 1 WHEN NOT " + t.sql + " THEN 0 END";
            t.type = column_type::of(type_code::number);
        }
        items += (items.empty() ? "" : ", ") + t.sql;
        result_column col;
        col.type = t.type;
        q.columns.push_back(col);
    }
    q.sql = "SELECT " + items;
    q.params = std::move(comp.params);
    q.uses_sequence = comp.uses_sequence;
    return q;
}

// Writes the literal parameters (?n) of translated SQL into its text, as SQLite quotes them.
static std::string with_literals(sqlite3* db, const std::string& sql,
                                 const std::vector<query_param>& params) {
    sqlite_stmt quote(db, "SELECT quote(?1)");
    std::string out;
    char in_quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        char ch = sql[i];
        if (in_quote) {
            in_quote = ch == in_quote ? 0 : in_quote;
        } else if (ch == '\'' || ch == '"') {
            in_quote = ch;
        } else if (ch == '?' && i + 1 < sql.size() &&
                   std::isdigit(static_cast<unsigned char>(sql[i + 1]))) {
            size_t end = i + 1;
            while (end < sql.size() && std::isdigit(static_cast<unsigned char>(sql[end]))) ++end;
            const query_param& p = params.at(std::stoul(sql.substr(i + 1, end - i - 1)) - 1);
            if (p.kind == query_param::bind)
                throw ora_error(1027);
            value v = p.literal_value;
            if (!v.is_null() && p.expect != '?')
                v = convert_to(v, type_of_letter(p.expect));
            sqlite3_reset(quote.get());
            bind_storage(quote.get(), 1, v);
            quote.step();
            out += quote.text_at(0);
            i = end - 1;
            continue;
        }
        out += ch;
    }
    return out;
}

index_expression compile_index_expression(session& s, const catalog& c, const table_info& table,
                                          const expr& e) {
    bind_slots binds;
    compiler comp(s, c, binds);
    comp.stored_form = true;
    scope sc = comp.row_scope(table);
    typed_sql t = comp.value_in(e, sc);
    if (t.type.is_lob() || t.type.is_long())
        throw ora_error(2327, {t.type.dictionary_name()}).at(e.pos);
    return {with_literals(s.db(), t.sql, comp.params), t.type};
}

// SQLite computes the new values of a row in the table's column order: the first one starts
// the row's sequence values.
static std::string update_assignments(const table_info& table,
                                      std::vector<std::pair<size_t, std::string>>& assignments,
                                      const compiler::sequence_block& block) {
    if (block.used) {
        auto first = std::min_element(assignments.begin(), assignments.end());
        first->second = compiler::row_start(block, first->second);
    }
    std::string sets;
    for (const auto& [position, sql] : assignments) {
        sets += (sets.empty() ? "" : ", ") + table.columns[position].internal + " = " + sql;
    }
    return sets;
}

compiled_dml compile_update(session& s, const catalog& c, bind_slots& binds,
                            const update_statement& stmt, const table_info& table) {
    compiler comp(s, c, binds);
    scope sc = comp.table_scope(table, stmt.alias);
    compiler::sequence_block block;
    std::vector<const expr*> roots;
    for (const auto& set : stmt.sets) roots.push_back(set.second.get());
    comp.open_sequence_block(block, roots);
    std::vector<std::pair<size_t, std::string>> assignments;  // column position, SQL
    std::vector<std::string> seen;
    for (const auto& [col_name, value_expr] : stmt.sets) {
        const column_info* col = table.find_column(col_name.name);
        if (!col)
            throw ora_error(904, {"\"" + col_name.name + "\""}).at(col_name.pos);
        if (std::find(seen.begin(), seen.end(), col->name) != seen.end()) {
            throw ora_error(957).at(col_name.pos);
        }
        seen.push_back(col->name);
        typed_sql v = comp.value_in(*value_expr, sc);
        if (value_expr->kind == expr_kind::bind && v.param >= 0 &&
            (col->type.is_lob() || col->type.is_long())) {
            comp.params[static_cast<size_t>(v.param)].long_allowed = true;
        }
        int target = s.register_store_target(table.id, col->name);
        // A bind keeps the kind its client gave it (text, or binary for a BLOB or RAW).
        std::string kind(1, value_expr->kind == expr_kind::bind ? '?' : kind_letter(v.type));
        assignments.emplace_back(
            static_cast<size_t>(col - table.columns.data()),
            "ora_store(" + std::to_string(target) + ", '" + kind + "', " + v.sql + ")");
    }
    comp.close_sequence_block();
    std::string sets = update_assignments(table, assignments, block);
    compiled_dml d;
    d.sql = "UPDATE " + table.internal + " AS " + sc.items[0].sql_alias + " SET " + sets +
            comp.where_clause(stmt.where.get(), sc);
    d.params = std::move(comp.params);
    d.uses_sequence = comp.uses_sequence;
    return d;
}

compiled_dml compile_delete(session& s, const catalog& c, bind_slots& binds,
                            const delete_statement& stmt, const table_info& table) {
    compiler comp(s, c, binds);
    scope sc = comp.table_scope(table, stmt.alias);
    compiled_dml d;
    d.sql = "DELETE FROM " + table.internal + " AS " + sc.items[0].sql_alias +
            comp.where_clause(stmt.where.get(), sc);
    d.params = std::move(comp.params);
    d.uses_sequence = comp.uses_sequence;
    return d;
}

}  // namespace oralite
