#include "oralite/cursor.h"

#include <algorithm>

#include "oralite/ddl.h"
#include "oralite/evaluator.h"
#include "oralite/functions.h"
#include "oralite/parser.h"
#include "oralite/session.h"
#include "oralite/storage.h"
#include "oralite/unicode.h"

namespace oralite {

namespace {

bool is_ddl(statement_kind k) {
    switch (k) {
        case statement_kind::select:
        case statement_kind::insert:
        case statement_kind::update:
        case statement_kind::delete_:
        case statement_kind::commit:
        case statement_kind::rollback:
        case statement_kind::savepoint:
        case statement_kind::plsql_block:
            return false;
        default:
            return true;
    }
}

// Converts a value for an SQLite parameter as the translated statement expects it.
value prepared_value(session& s, const query_param& p, value v) {
    if (v.is_null() || p.expect == '?')
        return v;
    if (p.expect == 'I') {
        return value::of_int(s.rowid_row(as_text(v), p.rowid_table));
    }
    return convert_to(v, type_of_letter(p.expect));
}

const returning_clause* returning_of(const statement* st) {
    if (!st)
        return nullptr;
    switch (st->kind) {
        case statement_kind::insert:
            return &static_cast<const insert_statement*>(st)->returning;
        case statement_kind::update:
            return &static_cast<const update_statement*>(st)->returning;
        case statement_kind::delete_:
            return &static_cast<const delete_statement*>(st)->returning;
        default:
            return nullptr;
    }
}

}  // namespace

parsed_sql::parsed_sql(std::string text) : sql(std::move(text)) {
    statement_type = statement_type_of(sql);
    try {
        ast = parse_statement(sql);
        collect_binds(*ast, binds);
    } catch (const ora_error& e) {
        error = e;
    }
}

cursor::cursor(session& s, std::string sql)
    : s_(s), parsed_(std::make_shared<parsed_sql>(std::move(sql))) {}

cursor::cursor(session& s, std::shared_ptr<const parsed_sql> parsed)
    : s_(s), parsed_(std::move(parsed)) {}

cursor::~cursor() = default;

bool cursor::is_query() const {
    return parsed_->ast ? parsed_->ast->kind == statement_kind::select
                        : parsed_->statement_type == 1;
}

std::vector<size_t> cursor::returning_slots() const {
    std::vector<size_t> out;
    if (const returning_clause* r = returning_of(parsed_->ast.get())) {
        bind_slots copy = parsed_->binds;
        for (const std::string& n : r->into) out.push_back(copy.slot(n));
    }
    return out;
}

void cursor::close() {
    if (stmt_)
        sqlite3_reset(stmt_.get());
    has_row_ = false;
    open_ = false;
}

void cursor::execute(uint32_t iterations, bind_source& binds, mode m, bool batch_errors) {
    use_nls(&s_.nls());
    batch_errors_ = batch_errors;
    row_errors_.clear();
    try {
        run(iterations, binds, m);
    } catch (...) {
        // Rows done before a failing one stay in the transaction.
        if (row_count_ > 0)
            s_.mark_work();
        s_.release_idle_transaction();
        throw;
    }
}

template <typename F>
void cursor::run_row(uint32_t iteration, F&& body) {
    if (!batch_errors_) {
        body();
        return;
    }
    try {
        body();
    } catch (const ora_error& e) {
        row_errors_.push_back({iteration, e});
    }
}

bool cursor::direct_path_insert() const {
    if (!parsed_->ast || parsed_->ast->kind != statement_kind::insert)
        return false;
    // The hint is a comment "/*+ ... */" right after INSERT.
    const std::string& sql = parsed_->sql;
    size_t open = sql.find("/*+");
    if (open == std::string::npos)
        return false;
    size_t close = sql.find("*/", open);
    std::string hint =
        utf8_upper(sql.substr(open, close == std::string::npos ? close : close - open));
    return hint.find("APPEND_VALUES") != std::string::npos;
}

void cursor::run(uint32_t iterations, bind_source& binds, mode m) {
    warning_.reset();
    close();
    row_count_ = 0;
    if (parsed_->error)
        throw *parsed_->error;
    if (s_.closed())
        throw ora_error(3114);
    const statement& st = *parsed_->ast;
    if (m != mode::normal) {
        // Parse-only and describe-only check names without running anything.
        if (st.kind == statement_kind::select) {
            run_query(binds, m);
        } else if (st.kind == statement_kind::update || st.kind == statement_kind::delete_ ||
                   st.kind == statement_kind::insert) {
            const catalog& c = s_.current_catalog();
            const qualified_name& name = st.kind == statement_kind::insert
                                             ? static_cast<const insert_statement&>(st).table
                                         : st.kind == statement_kind::update
                                             ? static_cast<const update_statement&>(st).table
                                             : static_cast<const delete_statement&>(st).table;
            resolve_table(s_, c, name, table_access::select);
        }
        return;
    }
    if (st.kind == statement_kind::select) {
        run_query(binds, m);
        return;
    }
    if (iterations == 0)
        throw ora_error(24333);
    s_.data_changed();
    switch (st.kind) {
        case statement_kind::insert:
            run_insert(static_cast<const insert_statement&>(st), iterations, binds);
            s_.mark_work();
            return;
        case statement_kind::update:
        case statement_kind::delete_:
            run_update_delete(iterations, binds);
            s_.mark_work();
            return;
        case statement_kind::commit:
            s_.commit();
            return;
        case statement_kind::alter_session:
            // Session control: no commit, and no binds.
            if (!parsed_->binds.names().empty())
                throw ora_error(1036);
            s_.alter_session(static_cast<const alter_session_statement&>(st));
            return;
        case statement_kind::rollback:
        case statement_kind::savepoint:
            run_transaction_control(static_cast<const transaction_statement&>(st));
            return;
        default:
            break;
    }
    if (is_ddl(st.kind)) {
        if (!parsed_->binds.names().empty())
            throw ora_error(1027);
        // DDL commits the work before it, whether or not it then succeeds.
        s_.commit();
        execute_ddl(s_, st, parsed_->sql, warning_);
        return;
    }
    throw ora_error(3001);
}

void cursor::run_transaction_control(const transaction_statement& st) {
    if (st.kind == statement_kind::savepoint) {
        s_.savepoint(st.savepoint->name);
    } else if (st.savepoint) {
        s_.rollback_to(st.savepoint->name);
    } else {
        s_.rollback();
    }
}

void cursor::bind_params(sqlite3_stmt* stmt, const std::vector<query_param>& params,
                         bind_source& binds, uint32_t iteration) {
    for (size_t i = 0; i < params.size(); ++i) {
        const query_param& p = params[i];
        value v =
            p.kind == query_param::literal ? p.literal_value : binds.input(p.bind_slot, iteration);
        if (p.kind == query_param::bind && !p.long_allowed)
            check_bind_size(v);
        bind_storage(stmt, static_cast<int>(i + 1), prepared_value(s_, p, std::move(v)));
    }
}

// ---- queries ---------------------------------------------------------------------------

void cursor::run_query(bind_source& binds, mode m) {
    std::shared_ptr<const catalog> cat = s_.catalog_snapshot();
    if (compiled_version_ != cat->version || !stmt_) {
        const auto& q = static_cast<const select_statement&>(*parsed_->ast);
        bind_slots slots = parsed_->binds;
        query_ = compile_select(s_, *cat, slots, *q.query);
        stmt_ = sqlite_stmt(s_.db(), query_.sql);
        compiled_version_ = cat->version;
    }
    if (m != mode::normal)
        return;
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
    bind_params(stmt_.get(), query_.params, binds, 0);
    if (query_.for_update || query_.uses_sequence) {
        s_.begin_write(query_.for_update ? query_.wait_seconds : -1);
        s_.mark_work();
    }
    opened_transaction_ = s_.transaction_serial();
    open_ = true;
}

bool cursor::fetch() {
    use_nls(&s_.nls());
    if (!open_) {
        if (is_query())
            throw ora_error(1002);
        throw ora_error(24374);
    }
    if (query_.for_update && s_.transaction_serial() != opened_transaction_) {
        throw ora_error(1002);
    }
    int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) {
        has_row_ = true;
        ++row_count_;
        return true;
    }
    has_row_ = false;
    open_ = false;
    sqlite3_reset(stmt_.get());
    if (rc == SQLITE_DONE)
        return false;
    s_.throw_step_error(rc);
}

value cursor::column_value(size_t index) {
    use_nls(&s_.nls());
    const result_column& col = query_.columns.at(index);
    value v = read_storage(stmt_.get(), static_cast<int>(index), col.type);
    if (col.row_column >= 0)
        v.source = column_lob(index);
    return v;
}

std::shared_ptr<lob_ref> cursor::column_lob(size_t index) {
    const result_column& col = query_.columns.at(index);
    if (col.row_column < 0 ||
        sqlite3_column_type(stmt_.get(), static_cast<int>(index)) == SQLITE_NULL) {
        return nullptr;
    }
    auto ref = std::make_shared<lob_ref>();
    ref->table_id = col.table_id;
    ref->table_internal = col.table_internal;
    ref->column_internal = col.column_internal;
    ref->row = sqlite3_column_int64(stmt_.get(), col.row_column);
    ref->clob = col.type.code != type_code::blob;
    ref->locked = query_.for_update;
    ref->transaction = s_.transaction_serial();
    return ref;
}

// ---- INSERT ----------------------------------------------------------------------------

namespace {

class row_inserter {
  public:
    row_inserter(session& s, const catalog& c, const table_info& t) : s_(s), c_(c), t_(t) {
        std::string sql = "INSERT INTO " + t.internal + " (";
        std::string marks;
        for (size_t i = 0; i < t.columns.size(); ++i) {
            sql += (i ? ", " : "") + t.columns[i].internal;
            marks += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        sql_ = sql + ") VALUES (" + marks + ")";
        const user_info* owner = c.user_by_id(t.owner_id);
        has_quota_ = owner && owner->has_quota();
        // Decided once per execute, not per row: the names errors give and the statement.
        quoted_columns_.reserve(t.columns.size());
        for (const column_info& col : t.columns) quoted_columns_.push_back(t.quoted_column(col));
        stmt_ = s.shared_statement(sql_);
    }

    // The default of a column that the statement leaves out.
    value default_of(const column_info& col, eval_env& env) {
        if (!col.default_expr)
            return value::null();
        return evaluate(*col.default_expr, env);
    }

    void fire_triggers(std::vector<value>& row) {
        for (const trigger_info& tr : t_.triggers) {
            if (!tr.enabled)
                continue;
            if (!tr.parsed)
                throw invalid(tr);
            const create_trigger_statement& t = *tr.parsed;
            if (!tr.valid) {
                if (!validate_trigger(c_, t_.owner_id, t_, t).empty())
                    throw invalid(tr);
                mark_trigger_valid(s_, tr.id);
            }
            eval_env env(s_, c_);
            env.table = &t_;
            env.row = &row;
            env.new_name = t.new_name;
            env.old_name = t.old_name;
            try {
                if (t.when && evaluate_condition(*t.when, env) != true)
                    continue;
                run_body(t.body, env);
            } catch (const ora_error& e) {
                if (e.code() == 2289 || e.code() == 904)
                    throw invalid(tr);
                throw;
            }
        }
    }

    // Inserts the row (coerced in place); its SQLite row id.
    int64_t insert(std::vector<value>& row) {
        if (!has_quota_)
            throw ora_error(1950, {"USERS"});
        for (size_t i = 0; i < t_.columns.size(); ++i) {
            const column_info& col = t_.columns[i];
            row[i] = coerce_for_column(std::move(row[i]), col.type, quoted_columns_[i]);
            if (row[i].is_null() && !col.nullable) {
                throw ora_error(1400, {quoted_columns_[i]});
            }
        }
        check_constraints(row);
        sqlite3_stmt* stmt = stmt_->get();
        sqlite3_reset(stmt);
        // The row stays as it is until the step is done and the bindings are cleared.
        for (size_t i = 0; i < row.size(); ++i) {
            bind_storage(stmt, static_cast<int>(i + 1), row[i], true);
        }
        int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (rc != SQLITE_DONE) {
            if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
                throw ora_error(1, {violated_constraint(t_, sqlite3_errmsg(s_.db()))});
            }
            s_.throw_step_error(rc);
        }
        return sqlite3_last_insert_rowid(s_.db());
    }

  private:
    ora_error invalid(const trigger_info& tr) {
        return ora_error(4098, {t_.owner + "." + tr.name});
    }

    void check_constraints(std::vector<value>& row) {
        for (const constraint_info& k : t_.constraints) {
            if (k.type != 'C' || k.not_null || !k.check)
                continue;
            eval_env env(s_, c_);
            env.table = &t_;
            env.row = &row;
            env.plain_columns = true;
            if (evaluate_condition(*k.check, env) == false) {
                throw ora_error(2290, {t_.owner + "." + k.name});
            }
        }
    }

    void assign(const expr& target, const value& v, eval_env& env) {
        for (size_t i = 0; i < t_.columns.size(); ++i) {
            if (t_.columns[i].name == target.path[0].name) {
                (*env.row)[i] = v;
                return;
            }
        }
        throw ora_error(904, {"\"" + target.path[0].name + "\""});
    }

    void run_body(const std::vector<plsql_stmt>& body, eval_env& env) {
        for (const plsql_stmt& st : body) {
            // Each statement of the body takes its own NEXTVAL.
            env.nextvals.clear();
            switch (st.kind) {
                case plsql_stmt::null_stmt:
                    break;
                case plsql_stmt::assign:
                    assign(*st.targets[0], evaluate(*st.values[0], env), env);
                    break;
                case plsql_stmt::select_into: {
                    if (st.where && evaluate_condition(*st.where, env) != true) {
                        throw ora_error(1403);
                    }
                    std::vector<value> values;
                    for (const expr_ptr& v : st.values) values.push_back(evaluate(*v, env));
                    for (size_t i = 0; i < st.targets.size() && i < values.size(); ++i) {
                        assign(*st.targets[i], values[i], env);
                    }
                    break;
                }
                case plsql_stmt::if_stmt: {
                    size_t i = 0;
                    for (; i < st.conditions.size(); ++i) {
                        if (evaluate_condition(*st.conditions[i], env) == true) {
                            run_body(st.branches[i], env);
                            break;
                        }
                    }
                    if (i == st.conditions.size() && st.branches.size() > st.conditions.size()) {
                        run_body(st.branches.back(), env);
                    }
                    break;
                }
            }
        }
    }

    session& s_;
    const catalog& c_;
    const table_info& t_;
    std::string sql_;
    bool has_quota_ = false;
    std::vector<std::string> quoted_columns_;
    std::shared_ptr<sqlite_stmt> stmt_;  // shared with the session's statement cache
};

// How each value of an INSERT ... VALUES list is had per row, decided once per execute: a
// bind read from its slot (no look-up by name), TO_DATE or TO_TIMESTAMP of a bind with a
// literal format read without building a call, anything else evaluated as it stands.
// Owned by one run_insert; the expressions and the bind source outlive it.
class values_plan {
  public:
    values_plan(const std::vector<expr_ptr>& values, const std::vector<const column_type*>& into,
                bind_slots& slots) {
        for (size_t k = 0; k < values.size(); ++k)
            items_.push_back(plan(*values[k], *into[k], slots));
    }

    // The value at `k` of row `iteration`; exactly what evaluate() would give, errors included.
    value get(size_t k, const expr& e, eval_env& env) const {
        const item& i = items_[k];
        switch (i.how) {
            case item::whole_bind:
                return env.binds->input(i.slot, env.iteration);
            case item::bind: {
                value v = env.binds->input(i.slot, env.iteration);
                check_bind_size(v);
                return v;
            }
            case item::to_datetime: {
                value v = env.binds->input(i.slot, env.iteration);
                check_bind_size(v);
                if (v.kind == value_kind::text) {
                    datetime d = parse_datetime(v.bytes, e.args[1]->text);
                    return i.timestamp ? value::of_timestamp(d) : value::of_date(d);
                }
                std::vector<value> args;
                args.reserve(2);
                args.push_back(std::move(v));
                args.push_back(value::of_text(e.args[1]->text));
                return call_function(*i.function, args);
            }
            case item::general:
                break;
        }
        return evaluate(e, env);
    }

  private:
    struct item {
        enum how_t { general, bind, whole_bind, to_datetime } how = general;
        size_t slot = 0;
        const function_def* function = nullptr;
        bool timestamp = false;
    };

    static item plan(const expr& e, const column_type& into, bind_slots& slots) {
        item i;
        if (e.kind == expr_kind::bind) {
            // A bind that is the whole value of a LOB or LONG column may be of any size.
            i.how = into.is_lob() || into.is_long() ? item::whole_bind : item::bind;
            i.slot = slots.slot(e.text);
            return i;
        }
        const bool datetime_call =
            e.kind == expr_kind::function && e.path.size() == 1 && e.args.size() == 2 &&
            (e.path[0].name == "TO_DATE" || e.path[0].name == "TO_TIMESTAMP") &&
            e.args[0]->kind == expr_kind::bind && e.args[1]->kind == expr_kind::string_literal &&
            !e.args[1]->text.empty();
        if (datetime_call) {
            i.how = item::to_datetime;
            i.slot = slots.slot(e.args[0]->text);
            i.function = &find_function(e.path[0].name, 2, e.pos);
            i.timestamp = e.path[0].name == "TO_TIMESTAMP";
        }
        return i;
    }

    std::vector<item> items_;
};

}  // namespace

std::optional<std::string> cursor::last_rowid() const {
    if (!last_row_)
        return std::nullopt;
    return s_.rowid_text(last_row_->first, last_row_->second);
}

void cursor::run_insert(const insert_statement& st, uint32_t iterations, bind_source& binds) {
    std::shared_ptr<const catalog> cat = s_.catalog_snapshot();
    const table_info& t = resolve_table(s_, *cat, st.table, table_access::insert);
    std::vector<int> target;  // statement position -> column index
    if (st.columns.empty()) {
        for (size_t i = 0; i < t.columns.size(); ++i) target.push_back(static_cast<int>(i));
    } else {
        for (const ident& name : st.columns) {
            int index = -1;
            for (size_t i = 0; i < t.columns.size(); ++i) {
                if (t.columns[i].name == name.name)
                    index = static_cast<int>(i);
            }
            if (index < 0)
                throw ora_error(904, {"\"" + name.name + "\""}).at(name.pos);
            if (std::find(target.begin(), target.end(), index) != target.end()) {
                throw ora_error(957).at(name.pos);
            }
            target.push_back(index);
        }
    }
    row_inserter inserter(s_, *cat, t);
    s_.begin_write();
    // Every column given in its own place: the values provided are the row as they stand.
    bool in_place = target.size() == t.columns.size();
    for (size_t k = 0; in_place && k < target.size(); ++k)
        in_place = target[k] == static_cast<int>(k);
    // Columns the statement leaves out take their defaults.
    std::vector<bool> given(t.columns.size(), false);
    for (int index : target) given[static_cast<size_t>(index)] = true;
    auto fill_defaults = [&](std::vector<value>& row, eval_env& env) {
        for (size_t i = 0; !in_place && i < t.columns.size(); ++i) {
            if (!given[i])
                row[i] = inserter.default_of(t.columns[i], env);
        }
    };
    // The row as the table has it (defaults filled in); its row id.
    auto insert_one = [&](std::vector<value>& row, eval_env& env) {
        fill_defaults(row, env);
        inserter.fire_triggers(row);
        const int64_t id = inserter.insert(row);
        last_row_.emplace(t.id, id);
        ++row_count_;
        return id;
    };
    // One row buffer for every row of the execute: each row assigns every column of it.
    std::vector<value> row(t.columns.size());

    if (st.query) {
        if (!st.returning.values.empty())
            throw ora_error(3001);
        bind_slots slots = parsed_->binds;
        compiled_query q = compile_select(s_, *cat, slots, *st.query);
        if (q.columns.size() != target.size()) {
            throw ora_error(q.columns.size() < target.size() ? 947 : 913);
        }
        exec_sql(s_.db(), "SAVEPOINT ora_statement");
        try {
            sqlite_stmt select(s_.db(), q.sql);
            bind_params(select.get(), q.params, binds, 0);
            // Rows are read first, so the insert never sees its own rows.
            std::vector<std::vector<value>> rows;
            while (select.step()) {
                std::vector<value> values;
                for (size_t i = 0; i < q.columns.size(); ++i) {
                    values.push_back(
                        read_storage(select.get(), static_cast<int>(i), q.columns[i].type));
                }
                rows.push_back(std::move(values));
            }
            for (std::vector<value>& values : rows) {
                eval_env env(s_, *cat);
                for (size_t k = 0; k < values.size(); ++k) {
                    row[static_cast<size_t>(target[k])] = std::move(values[k]);
                }
                insert_one(row, env);
            }
            exec_sql(s_.db(), "RELEASE ora_statement");
        } catch (...) {
            sqlite3_exec(s_.db(), "ROLLBACK TO ora_statement; RELEASE ora_statement", nullptr,
                         nullptr, nullptr);
            row_count_ = 0;
            throw;
        }
        return;
    }

    if (st.values.size() != target.size()) {
        throw ora_error(st.values.size() < target.size() ? 947 : 913);
    }
    bind_slots slots = parsed_->binds;
    // Decided once per execute, not per row: the values' roots, whether any takes NEXTVAL
    // and how each value is had.
    std::vector<const expr*> roots;
    std::vector<const column_type*> into;
    for (size_t k = 0; k < st.values.size(); ++k) {
        roots.push_back(st.values[k].get());
        into.push_back(&t.columns[static_cast<size_t>(target[k])].type);
    }
    const bool takes_next_values = names_next_value(roots);
    const values_plan plan(st.values, into, slots);
    auto values_row = [&](uint32_t it) {
        eval_env env(s_, *cat);
        env.binds = &binds;
        env.slots = &slots;
        env.iteration = it;
        if (takes_next_values)
            take_next_values(roots, env);
        for (size_t k = 0; k < st.values.size(); ++k) {
            row[static_cast<size_t>(target[k])] = plan.get(k, *st.values[k], env);
        }
        const int64_t id = insert_one(row, env);
        if (st.returning.values.empty())
            return;
        eval_env ret(s_, *cat);
        ret.table = &t;
        ret.row = &row;
        ret.plain_columns = true;
        ret.rowid = s_.rowid_text(t.id, id);
        ret.binds = &binds;
        ret.slots = &slots;
        ret.iteration = it;
        for (size_t k = 0; k < st.returning.values.size(); ++k) {
            const expr& e = *st.returning.values[k];
            value v = evaluate(e, ret);
            column_type type = type_of_value(v);
            if (e.kind == expr_kind::rowid)
                type = column_type::of(type_code::rowid);
            if (e.kind == expr_kind::column) {
                const column_info* col = t.find_column(e.path.back().name);
                if (col) {
                    type = col->type;
                    if (col->type.is_lob() && !v.is_null()) {
                        auto ref = std::make_shared<lob_ref>();
                        ref->table_id = t.id;
                        ref->table_internal = t.internal;
                        ref->column_internal = col->internal;
                        ref->row = s_.rowid_row(ret.rowid, t.id);
                        ref->clob = col->type.code != type_code::blob;
                        ref->locked = true;
                        ref->transaction = s_.transaction_serial();
                        v.source = ref;
                    }
                }
            }
            binds.output(slots.slot(st.returning.into[k]), it, 1, 0, v, type);
        }
    };
    for (uint32_t it = 0; it < iterations; ++it) run_row(it, [&] { values_row(it); });
}

// ---- UPDATE and DELETE -----------------------------------------------------------------

void cursor::run_update_delete(uint32_t iterations, bind_source& binds) {
    std::shared_ptr<const catalog> cat = s_.catalog_snapshot();
    const statement& st = *parsed_->ast;
    bool update = st.kind == statement_kind::update;
    const returning_clause& returning = *returning_of(&st);
    if (!returning.values.empty())
        throw ora_error(3001);
    const qualified_name& name = update ? static_cast<const update_statement&>(st).table
                                        : static_cast<const delete_statement&>(st).table;
    const table_info& t =
        resolve_table(s_, *cat, name, update ? table_access::update : table_access::delete_);
    if (compiled_version_ != cat->version || !stmt_) {
        bind_slots slots = parsed_->binds;
        dml_ = update
                   ? compile_update(s_, *cat, slots, static_cast<const update_statement&>(st), t)
                   : compile_delete(s_, *cat, slots, static_cast<const delete_statement&>(st), t);
        stmt_ = sqlite_stmt(s_.db(), dml_.sql);
        compiled_version_ = cat->version;
    }
    s_.begin_write();
    auto change_row = [&](uint32_t it) {
        sqlite3_reset(stmt_.get());
        sqlite3_clear_bindings(stmt_.get());
        bind_params(stmt_.get(), dml_.params, binds, it);
        int rc = sqlite3_step(stmt_.get());
        sqlite3_reset(stmt_.get());
        if (rc != SQLITE_DONE) {
            if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
                throw ora_error(1, {violated_constraint(t, sqlite3_errmsg(s_.db()))});
            }
            s_.throw_step_error(rc);
        }
        row_count_ += static_cast<uint64_t>(sqlite3_changes(s_.db()));
    };
    for (uint32_t it = 0; it < iterations; ++it) run_row(it, [&] { change_row(it); });
}

}  // namespace oralite
