// The parsed form of one SQL statement (and of a trigger's PL/SQL body).
//
// Names are already folded: an unquoted identifier is upper case, a quoted one exact. Every
// node keeps the byte offsets of its source text, which names expression columns the way
// Oracle does and locates errors.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace oralite {

struct ident {
    std::string name;
    bool quoted = false;
    int pos = 0;
};

// [schema.]name
struct qualified_name {
    std::optional<ident> schema;
    ident name;
};

struct select_stmt;

enum class expr_kind {
    null_literal,
    number_literal,  // text
    string_literal,  // text (never empty: '' parses as null_literal)
    bind,            // text = placeholder name without ':'
    column,          // path = [schema.][table.]column
    star,            // the * of COUNT(*)
    negate,
    add,
    subtract,
    multiply,
    divide,
    concat,
    eq,
    ne,
    lt,
    le,
    gt,
    ge,
    logical_and,
    logical_or,
    logical_not,
    is_null,
    is_not_null,
    like,  // args: value, pattern[, escape]
    not_like,
    between,  // args: value, low, high
    not_between,
    in_list,  // args: value, items...
    not_in_list,
    in_query,  // args: value; query
    not_in_query,
    exists,          // query
    function,        // path = [package.]name, args; distinct; star argument as expr_kind::star
    case_simple,     // args: operand, when1, then1, ..., [else]; has_else
    case_searched,   // args: when1, then1, ..., [else]; has_else
    sequence_value,  // path = [schema.]sequence; text = "NEXTVAL" or "CURRVAL"
    rowid,           // path = optional qualifier (table or alias)
    rownum,
    sysdate,
    systimestamp,
    user,
    scalar_query,  // query
    trigger_row,   // :NEW.col / :OLD.col; text = "NEW"/"OLD", path = {column}
};

struct expr {
    expr_kind kind = expr_kind::null_literal;
    int pos = 0;  // source span
    int end = 0;
    std::string text;
    std::vector<ident> path;
    std::vector<std::unique_ptr<expr>> args;
    std::unique_ptr<select_stmt> query;
    bool distinct = false;
    bool has_else = false;
};
using expr_ptr = std::unique_ptr<expr>;

struct table_ref {
    qualified_name name;  // when no subquery
    std::unique_ptr<select_stmt> subquery;
    std::optional<ident> alias;
    int pos = 0;
};

enum class join_kind { inner, left, right, full, cross };

struct join_clause {
    join_kind kind = join_kind::inner;
    table_ref table;
    expr_ptr on;
};

// One comma-separated entry of FROM with its chain of ANSI joins.
struct from_entry {
    table_ref first;
    std::vector<join_clause> joins;
};

struct select_item {
    expr_ptr value;  // null for * and t.*
    bool star = false;
    std::vector<ident> star_qualifier;  // t.* or s.t.*
    std::optional<ident> alias;
    std::string source_text;  // the expression as written
};

struct order_item {
    expr_ptr value;
    bool descending = false;
    int nulls = 0;  // 0 default, 1 NULLS FIRST, 2 NULLS LAST
};

struct select_core {
    bool distinct = false;
    std::vector<select_item> items;
    std::vector<from_entry> from;
    expr_ptr where;
    std::vector<expr_ptr> group_by;
    expr_ptr having;
    int pos = 0;
};

enum class set_operator { union_distinct, union_all, intersect, minus };

struct for_update_clause {
    bool present = false;
    int wait_seconds = -1;  // -1: wait without limit; 0: NOWAIT
};

struct select_stmt {
    std::vector<select_core> cores;  // joined by ops (cores.size() == ops.size() + 1)
    std::vector<set_operator> ops;
    std::vector<order_item> order_by;
    for_update_clause for_update;
};

// ---- Statements ------------------------------------------------------------------------

enum class statement_kind {
    select,
    insert,
    update,
    delete_,
    create_table,
    create_index,
    create_sequence,
    alter_sequence,
    create_trigger,
    alter_trigger,
    create_user,
    alter_user,
    drop,
    alter_table,
    truncate,
    grant,
    revoke,
    commit,
    rollback,  // ROLLBACK, or ROLLBACK TO SAVEPOINT when the statement names one
    savepoint,
    comment,
    plsql_block,
    alter_session,
    purge,      // PURGE TABLE t | PURGE RECYCLEBIN
    flashback,  // FLASHBACK TABLE t TO BEFORE DROP [RENAME TO n]
};

struct statement {
    explicit statement(statement_kind k) : kind(k) {}
    virtual ~statement() = default;
    statement_kind kind;
};

struct returning_clause {
    std::vector<expr_ptr> values;
    std::vector<std::string> into;  // placeholder names
};

struct select_statement : statement {
    select_statement() : statement(statement_kind::select) {}
    std::unique_ptr<select_stmt> query;
};

struct insert_statement : statement {
    insert_statement() : statement(statement_kind::insert) {}
    qualified_name table;
    std::optional<ident> alias;
    std::vector<ident> columns;
    std::vector<expr_ptr> values;
    std::unique_ptr<select_stmt> query;
    returning_clause returning;
};

struct update_statement : statement {
    update_statement() : statement(statement_kind::update) {}
    qualified_name table;
    std::optional<ident> alias;
    std::vector<std::pair<ident, expr_ptr>> sets;
    expr_ptr where;
    returning_clause returning;
};

struct delete_statement : statement {
    delete_statement() : statement(statement_kind::delete_) {}
    qualified_name table;
    std::optional<ident> alias;
    expr_ptr where;
    returning_clause returning;
};

struct type_declaration {
    std::string name;    // canonical: NUMBER, FLOAT, VARCHAR2, CHAR, NCHAR, NVARCHAR2, RAW, ...
    int length = -1;     // -1: not given
    int semantics = 0;   // 0 default, 1 BYTE, 2 CHAR
    int precision = -1;  // -1 not given, -2 '*'
    int scale = -1;      // -1 not given; may be negative otherwise (see has_scale)
    bool has_scale = false;
    bool integer_alias = false;  // INTEGER, INT, SMALLINT
    int pos = 0;
};

struct constraint_def {
    std::optional<ident> name;
    char type = 'P';  // P primary key, U unique, C check, R references, N not null
    std::vector<ident> columns;
    expr_ptr check;
    std::string check_text;
    int pos = 0;
};

struct column_def {
    ident name;
    std::optional<type_declaration> type;  // optional only in ALTER TABLE ... MODIFY
    expr_ptr default_value;
    bool has_default = false;
    std::string default_text;  // as written, for USER_TAB_COLUMNS.DATA_DEFAULT
    int nullability = -1;      // -1 not given, 0 NULL, 1 NOT NULL
    std::optional<ident> not_null_name;
    std::vector<constraint_def> constraints;  // inline PRIMARY KEY / UNIQUE / CHECK
};

struct create_table_statement : statement {
    create_table_statement() : statement(statement_kind::create_table) {}
    qualified_name table;
    std::vector<column_def> columns;
    std::vector<constraint_def> constraints;
    bool temporary = false;
    std::unique_ptr<select_stmt> as_query;
};

struct index_column {
    ident name;           // a column
    expr_ptr expression;  // or else an expression over the table's columns
    bool descending = false;
};

struct create_index_statement : statement {
    create_index_statement() : statement(statement_kind::create_index) {}
    qualified_name index;
    bool unique = false;
    qualified_name table;
    std::vector<index_column> columns;
};

struct sequence_options {
    std::optional<std::string> start, increment, minvalue, maxvalue, cache;
    bool nominvalue = false, nomaxvalue = false, nocache = false;
    std::optional<bool> cycle, order;
};

struct sequence_statement : statement {
    explicit sequence_statement(statement_kind k) : statement(k) {}
    qualified_name sequence;
    sequence_options options;
};

// The PL/SQL of a trigger body.
struct plsql_stmt {
    enum kind_t { assign, select_into, null_stmt, if_stmt } kind = null_stmt;
    std::vector<expr_ptr> values;   // assign: one; select_into: the select list
    std::vector<expr_ptr> targets;  // trigger_row expressions
    std::vector<table_ref> from;    // select_into: FROM (DUAL)
    expr_ptr where;                 // select_into
    // if_stmt: conditions[i] guards branches[i]; a trailing branch without condition is ELSE
    std::vector<expr_ptr> conditions;
    std::vector<std::vector<plsql_stmt>> branches;
};

struct create_trigger_statement : statement {
    create_trigger_statement() : statement(statement_kind::create_trigger) {}
    bool or_replace = false;
    qualified_name trigger;
    std::string timing;               // BEFORE, AFTER, INSTEAD OF
    std::vector<std::string> events;  // INSERT, UPDATE, DELETE
    qualified_name table;
    std::string new_name = "NEW";
    std::string old_name = "OLD";
    bool for_each_row = false;
    expr_ptr when;
    std::string when_text;
    std::string body_text;         // from DECLARE/BEGIN to the end
    int body_offset = 0;           // where body_text starts in the statement
    std::string description;       // header text after TRIGGER
    std::vector<plsql_stmt> body;  // valid when body_error is empty
    std::string body_error;        // PL/SQL syntax error (the trigger compiles with errors)
    int body_error_line = 0;
    int body_error_column = 0;
};

struct alter_trigger_statement : statement {
    alter_trigger_statement() : statement(statement_kind::alter_trigger) {}
    qualified_name trigger;
    std::string action;  // ENABLE, DISABLE, COMPILE
};

struct user_statement : statement {
    explicit user_statement(statement_kind k) : statement(k) {}
    ident user;
    std::optional<std::string> password;
    std::optional<bool> lock;
    std::optional<long long> quota;  // bytes; -1 unlimited
    std::optional<std::string> default_tablespace;
};

enum class object_kind { table, sequence, index, trigger, user, view, synonym };

struct drop_statement : statement {
    drop_statement() : statement(statement_kind::drop) {}
    object_kind object = object_kind::table;
    qualified_name name;
    bool cascade = false;  // CASCADE CONSTRAINTS (table) or CASCADE (user)
    bool purge = false;
};

// PURGE and FLASHBACK TABLE: what they take out of the recycle bin.
struct recycle_statement : statement {
    explicit recycle_statement(statement_kind k) : statement(k) {}
    qualified_name table;  // by original or recycle-bin name; none for PURGE RECYCLEBIN
    bool whole_bin = false;
    std::optional<ident> rename_to;
};

struct alter_action {
    enum kind_t {
        add_constraint,
        add_columns,
        modify_columns,
        drop_constraint,
        drop_primary_key,
        drop_unique,
        drop_columns,
        rename_column,
        rename_to,
        rename_constraint,
        enable_constraint,
        disable_constraint,
    } kind = add_constraint;
    constraint_def constraint;
    std::vector<column_def> columns;
    std::vector<ident> names;  // drop/rename targets
    bool cascade = false;
    int pos = 0;
};

struct alter_table_statement : statement {
    alter_table_statement() : statement(statement_kind::alter_table) {}
    qualified_name table;
    std::vector<alter_action> actions;
};

struct truncate_statement : statement {
    truncate_statement() : statement(statement_kind::truncate) {}
    qualified_name table;
};

struct grant_statement : statement {
    explicit grant_statement(statement_kind k) : statement(k) {}
    std::vector<std::string> privileges;   // upper case, words joined by one blank
    std::optional<qualified_name> object;  // ON object (object privileges)
    std::vector<ident> grantees;
};

struct transaction_statement : statement {
    explicit transaction_statement(statement_kind k) : statement(k) {}
    std::optional<ident> savepoint;  // SAVEPOINT name; ROLLBACK TO [SAVEPOINT] name
};

// ALTER SESSION SET name = value [name = value ...]
struct session_setting {
    std::string name;   // upper case
    std::string value;  // the text of a string literal, or the word or number as written
    int pos = 0;
};
struct alter_session_statement : statement {
    alter_session_statement() : statement(statement_kind::alter_session) {}
    std::vector<session_setting> settings;
};

struct comment_statement : statement {
    comment_statement() : statement(statement_kind::comment) {}
};

struct plsql_block_statement : statement {
    plsql_block_statement() : statement(statement_kind::plsql_block) {}
};

}  // namespace oralite
