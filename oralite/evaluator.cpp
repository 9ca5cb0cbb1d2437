#include "oralite/evaluator.h"

#include "oralite/functions.h"
#include "oralite/ora_error.h"
#include "oralite/session.h"
#include "oralite/storage.h"
#include "oralite/unicode.h"

namespace oralite {

namespace {

std::vector<char32_t> code_points(std::string_view s) {
    std::vector<char32_t> out;
    size_t pos = 0;
    while (pos < s.size()) out.push_back(next_code_point(s, pos));
    return out;
}

// LIKE with '%', '_' and an optional escape character. A '%' only ever needs to be retried
// from the latest one seen, so a failed match moves that '%' one character further on: time
// grows with text times pattern, never exponentially ('%a%a%a%a%b' against a long run of 'a').
bool like_at(const std::vector<char32_t>& t, const std::vector<char32_t>& p,
             std::optional<char32_t> esc) {
    constexpr size_t none = static_cast<size_t>(-1);
    size_t ti = 0;
    size_t pi = 0;
    size_t retry_pi = none;  // pattern position just after the latest '%'
    size_t retry_ti = 0;     // text position that '%' was last tried up to
    while (ti < t.size()) {
        if (pi < p.size()) {
            char32_t c = p[pi];
            if (esc && c == *esc && pi + 1 < p.size()) {
                if (t[ti] == p[pi + 1]) {
                    ++ti;
                    pi += 2;
                    continue;
                }
            } else if (c == '%') {
                while (pi < p.size() && p[pi] == '%') ++pi;
                retry_pi = pi;
                retry_ti = ti;
                continue;
            } else if (c == '_' || c == t[ti]) {
                ++ti;
                ++pi;
                continue;
            }
        }
        if (retry_pi == none)
            return false;
        pi = retry_pi;
        ti = ++retry_ti;
    }
    while (pi < p.size() && p[pi] == '%') ++pi;
    return pi == p.size();
}

value column_of_row(const eval_env& env, const std::string& column, int pos) {
    if (!env.table || !env.row)
        throw ora_error(984).at(pos);
    for (size_t i = 0; i < env.table->columns.size(); ++i) {
        if (env.table->columns[i].name == column)
            return (*env.row)[i];
    }
    throw ora_error(904, {"\"" + column + "\""}).at(pos);
}

// Subqueries (and whatever needs a table) are evaluated by SQLite.
value through_sqlite(const expr& e, eval_env& env) {
    bind_slots local;
    bind_slots& slots = env.slots ? *env.slots : local;
    compiled_query q = compile_expressions(env.s, env.cat, slots, {&e});
    if (q.uses_sequence)
        env.s.begin_write();
    sqlite_stmt stmt(env.s.db(), q.sql);
    for (size_t i = 0; i < q.params.size(); ++i) {
        const query_param& p = q.params[i];
        value v = p.kind == query_param::literal
                      ? p.literal_value
                      : (env.binds ? env.binds->input(p.bind_slot, env.iteration) : value());
        if (p.kind == query_param::bind && !env.binds)
            throw ora_error(1008);
        if (p.expect != '?' && p.expect != 'I')
            v = convert_to(v, type_of_letter(p.expect));
        bind_storage(stmt.get(), static_cast<int>(i + 1), v);
    }
    int rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW)
        env.s.throw_step_error(rc);
    value v = read_storage(stmt.get(), 0, q.columns[0].type);
    if (e.kind == expr_kind::scalar_query && sqlite3_step(stmt.get()) == SQLITE_ROW) {
        // The translated scalar subquery takes the first row; Oracle refuses more.
    }
    return v;
}

std::optional<bool> compare(expr_kind k, const value& a, const value& b) {
    if (a.is_null() || b.is_null())
        return std::nullopt;
    value left = a;
    value right = b;
    // A number against a text compares as numbers, a date against a text as dates.
    if (right.kind == value_kind::number && left.kind == value_kind::text)
        std::swap(left, right);
    if ((right.kind == value_kind::date || right.kind == value_kind::timestamp ||
         right.kind == value_kind::interval) &&
        left.kind == value_kind::text) {
        std::swap(left, right);
    }
    int c = compare_values(left, right);
    if (left.kind != a.kind)
        c = -c;
    switch (k) {
        case expr_kind::eq:
            return c == 0;
        case expr_kind::ne:
            return c != 0;
        case expr_kind::lt:
            return c < 0;
        case expr_kind::le:
            return c <= 0;
        case expr_kind::gt:
            return c > 0;
        case expr_kind::ge:
            return c >= 0;
        default:
            return std::nullopt;
    }
}

value boolean_value(std::optional<bool>) {
    throw ora_error(907);
}

}  // namespace

bool like_match(std::string_view text, std::string_view pattern, std::optional<char32_t> escape) {
    return like_at(code_points(text), code_points(pattern), escape);
}

bool names_next_value(const std::vector<const expr*>& roots) {
    for (const expr* e : roots) {
        if (!e)
            continue;
        if (e->kind == expr_kind::sequence_value && e->text == "NEXTVAL")
            return true;
        for (const expr_ptr& a : e->args) {
            if (names_next_value({a.get()}))
                return true;
        }
    }
    return false;
}

void take_next_values(const std::vector<const expr*>& roots, eval_env& env) {
    for (const expr* e : roots) {
        if (!e)
            continue;
        if (e->kind == expr_kind::sequence_value && e->text == "NEXTVAL")
            evaluate(*e, env);
        std::vector<const expr*> args;
        for (const expr_ptr& a : e->args) args.push_back(a.get());
        take_next_values(args, env);
    }
}

std::optional<bool> evaluate_condition(const expr& e, eval_env& env) {
    switch (e.kind) {
        case expr_kind::logical_and: {
            std::optional<bool> a = evaluate_condition(*e.args[0], env);
            if (a == false)
                return false;
            std::optional<bool> b = evaluate_condition(*e.args[1], env);
            if (b == false)
                return false;
            if (a && b)
                return true;
            return std::nullopt;
        }
        case expr_kind::logical_or: {
            std::optional<bool> a = evaluate_condition(*e.args[0], env);
            if (a == true)
                return true;
            std::optional<bool> b = evaluate_condition(*e.args[1], env);
            if (b == true)
                return true;
            if (a && b)
                return false;
            return std::nullopt;
        }
        case expr_kind::logical_not: {
            std::optional<bool> a = evaluate_condition(*e.args[0], env);
            if (!a)
                return std::nullopt;
            return !*a;
        }
        case expr_kind::is_null:
        case expr_kind::is_not_null: {
            bool null = evaluate(*e.args[0], env).is_null();
            return e.kind == expr_kind::is_null ? null : !null;
        }
        case expr_kind::eq:
        case expr_kind::ne:
        case expr_kind::lt:
        case expr_kind::le:
        case expr_kind::gt:
        case expr_kind::ge:
            return compare(e.kind, evaluate(*e.args[0], env), evaluate(*e.args[1], env));
        case expr_kind::like:
        case expr_kind::not_like: {
            value t = evaluate(*e.args[0], env);
            value p = evaluate(*e.args[1], env);
            if (t.is_null() || p.is_null())
                return std::nullopt;
            std::optional<char32_t> esc;
            if (e.args.size() > 2) {
                value x = evaluate(*e.args[2], env);
                if (x.is_null())
                    return std::nullopt;
                std::string s = as_text(x);
                if (utf8_length(s) != 1)
                    throw ora_error(1425);
                size_t pos = 0;
                esc = next_code_point(s, pos);
            }
            bool m = like_match(as_text(t), as_text(p), esc);
            return e.kind == expr_kind::like ? m : !m;
        }
        case expr_kind::between:
        case expr_kind::not_between: {
            value v = evaluate(*e.args[0], env);
            std::optional<bool> lo = compare(expr_kind::ge, v, evaluate(*e.args[1], env));
            std::optional<bool> hi = compare(expr_kind::le, v, evaluate(*e.args[2], env));
            std::optional<bool> r;
            if (lo == false || hi == false) {
                r = false;
            } else if (lo && hi) {
                r = true;
            }
            if (e.kind == expr_kind::not_between && r)
                r = !*r;
            return r;
        }
        case expr_kind::in_list:
        case expr_kind::not_in_list: {
            value v = evaluate(*e.args[0], env);
            bool unknown = false;
            for (size_t i = 1; i < e.args.size(); ++i) {
                std::optional<bool> c = compare(expr_kind::eq, v, evaluate(*e.args[i], env));
                if (c == true)
                    return e.kind == expr_kind::in_list;
                if (!c)
                    unknown = true;
            }
            if (unknown)
                return std::nullopt;
            return e.kind != expr_kind::in_list;
        }
        case expr_kind::in_query:
        case expr_kind::not_in_query:
        case expr_kind::exists: {
            value v = through_sqlite(e, env);
            if (v.is_null())
                return std::nullopt;
            return !as_number(v).is_zero();
        }
        default:
            throw ora_error(920).at(e.pos);
    }
}

value evaluate(const expr& e, eval_env& env) {
    switch (e.kind) {
        case expr_kind::null_literal:
            return value::null();
        case expr_kind::number_literal: {
            auto d = decimal::parse(e.text);
            if (!d)
                throw ora_error(1722).at(e.pos);
            return value::of_number(*d);
        }
        case expr_kind::string_literal:
            return value::of_text(e.text);
        case expr_kind::bind:
            if (!env.binds || !env.slots)
                throw ora_error(1008).at(e.pos);
            {
                value v = env.binds->input(env.slots->slot(e.text), env.iteration);
                check_bind_size(v);
                return v;
            }
        case expr_kind::column: {
            const std::vector<ident>& p = e.path;
            if (p.size() == 2 && env.row &&
                (p[0].name == env.new_name || p[0].name == env.old_name)) {
                if (p[0].name == env.old_name)
                    return value::null();
                return column_of_row(env, p[1].name, e.pos);
            }
            if (env.plain_columns && env.table) {
                if (p.size() == 1)
                    return column_of_row(env, p[0].name, e.pos);
                if (p.size() == 2 && p[0].name == env.table->name) {
                    return column_of_row(env, p[1].name, e.pos);
                }
            }
            throw ora_error(984).at(e.pos);
        }
        case expr_kind::trigger_row:
            if (e.text == env.old_name)
                return value::null();
            if (e.text != env.new_name)
                throw ora_error(1036).at(e.pos);
            return column_of_row(env, e.path[0].name, e.pos);
        case expr_kind::rowid:
            if (!env.rowid.empty())
                return value::of_text(env.rowid);
            throw ora_error(976).at(e.pos);
        case expr_kind::rownum:
            throw ora_error(976).at(e.pos);
        case expr_kind::sysdate:
            return value::of_date(datetime::now());
        case expr_kind::systimestamp:
            return value::of_timestamp(datetime::now(true));
        case expr_kind::user:
            return value::of_text(env.s.user().name);
        case expr_kind::sequence_value: {
            std::optional<ident> schema;
            if (e.path.size() == 2)
                schema = e.path[0];
            if (e.path.size() > 2)
                throw ora_error(2289).at(e.pos);
            int64_t owner = resolve_owner(env.s, env.cat, schema);
            const sequence_info* seq = env.cat.sequence(owner, e.path.back().name);
            if (!seq)
                throw ora_error(2289).at(e.pos);
            sequence_info named = *seq;
            named.name = seq->owner + "." + seq->name;
            if (e.text == "CURRVAL") {
                auto it = env.nextvals.find(seq->id);
                if (it != env.nextvals.end())
                    return it->second;
                return env.s.current_value(named);
            }
            auto it = env.nextvals.find(seq->id);
            if (it != env.nextvals.end())
                return it->second;
            value v = env.s.next_value(named);
            env.nextvals[seq->id] = v;
            return v;
        }
        case expr_kind::negate: {
            std::vector<value> args{evaluate(*e.args[0], env)};
            return call_function(operator_function("NEG"), args);
        }
        case expr_kind::add:
        case expr_kind::subtract:
        case expr_kind::multiply:
        case expr_kind::divide:
        case expr_kind::concat: {
            std::vector<value> args{evaluate(*e.args[0], env), evaluate(*e.args[1], env)};
            return call_function(operator_function(e.kind), args);
        }
        case expr_kind::function: {
            // A plain name (the usual case) is looked up as it stands, without a copy.
            std::string qualified;
            if (e.path.size() != 1) {
                for (const ident& i : e.path) qualified += (qualified.empty() ? "" : ".") + i.name;
            }
            const std::string_view name = e.path.size() == 1 ? e.path[0].name : qualified;
            if (e.path.size() == 1 && is_aggregate_name(name))
                throw ora_error(934).at(e.pos);
            const function_def& f = find_function(name, e.args.size(), e.pos);
            std::vector<value> args;
            args.reserve(e.args.size());
            for (const expr_ptr& a : e.args) args.push_back(evaluate(*a, env));
            return call_function(f, args);
        }
        case expr_kind::case_searched:
        case expr_kind::case_simple: {
            size_t first = e.kind == expr_kind::case_simple ? 1 : 0;
            size_t end = e.args.size() - (e.has_else ? 1 : 0);
            value operand;
            if (e.kind == expr_kind::case_simple)
                operand = evaluate(*e.args[0], env);
            for (size_t i = first; i + 1 < end; i += 2) {
                bool hit = e.kind == expr_kind::case_simple
                               ? compare(expr_kind::eq, operand, evaluate(*e.args[i], env)) == true
                               : evaluate_condition(*e.args[i], env) == true;
                if (hit)
                    return evaluate(*e.args[i + 1], env);
            }
            return e.has_else ? evaluate(*e.args.back(), env) : value::null();
        }
        case expr_kind::scalar_query:
            return through_sqlite(e, env);
        case expr_kind::star:
            throw ora_error(936).at(e.pos);
        default:
            return boolean_value(evaluate_condition(e, env));
    }
}

}  // namespace oralite
