#include "oralite/parser.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <initializer_list>
#include <limits>

#include "oralite/lexer.h"
#include "oralite/ora_error.h"
#include "oralite/unicode.h"

namespace oralite {

namespace {

// Words that end an expression or a table reference, so they are never taken as an alias.
bool is_clause_word(const token& t) {
    static const std::string_view words[] = {
        "JOIN",   "INNER",  "LEFT",   "RIGHT",     "FULL",      "CROSS",  "NATURAL",
        "OUTER",  "USING",  "FETCH",  "OFFSET",    "RETURNING", "RETURN", "LOG",
        "EXCEPT", "WINDOW", "SAMPLE", "PARTITION", "MODEL",     "PIVOT",  "UNPIVOT"};
    if (t.kind != token_kind::identifier || t.quoted) {
        return false;
    }
    for (std::string_view w : words) {
        if (t.text == w)
            return true;
    }
    return false;
}

class parser {
  public:
    explicit parser(std::string_view sql) : sql_(sql), tokens_(tokenize(sql)) {}

    std::unique_ptr<statement> statement_text() {
        std::unique_ptr<statement> s = parse_statement_body();
        expect_end();
        return s;
    }

    expr_ptr lone_expression() {
        expr_ptr e = parse_expr();
        expect_end();
        return e;
    }

  private:
    // ---- token access ----------------------------------------------------------------

    const token& peek(size_t ahead = 0) const {
        size_t i = index_ + ahead;
        return i < tokens_.size() ? tokens_[i] : tokens_.back();
    }
    const token& advance() {
        const token& t = tokens_[index_];
        if (index_ + 1 < tokens_.size())
            ++index_;
        return t;
    }
    bool at_end() const { return peek().kind == token_kind::end; }

    [[noreturn]] void fail(int code, const token& at) { throw ora_error(code).at(at.pos); }
    [[noreturn]] void fail(int code) { fail(code, peek()); }
    // Oracle names the missing part even at the end of the text.
    [[noreturn]] void fail_or_end(int code) { fail(code); }

    bool accept_op(std::string_view op) {
        if (peek().is_op(op)) {
            advance();
            return true;
        }
        return false;
    }
    void expect_op(std::string_view op, int code) {
        if (!accept_op(op))
            fail(code);
    }
    bool accept_word(std::string_view w) {
        if (peek().is_word(w)) {
            advance();
            return true;
        }
        return false;
    }
    void expect_word(std::string_view w, int code) {
        if (!accept_word(w))
            fail_or_end(code);
    }
    bool accept_words(std::initializer_list<std::string_view> words) {
        size_t k = 0;
        for (std::string_view w : words) {
            if (!peek(k).is_word(w))
                return false;
            ++k;
        }
        for (size_t i = 0; i < k; ++i) advance();
        return true;
    }

    void expect_end() {
        if (at_end())
            return;
        if (peek().is_op(";"))
            fail(911);
        fail(933);
    }

    // ---- names -----------------------------------------------------------------------

    bool is_identifier(const token& t) const {
        return t.kind == token_kind::identifier && (t.quoted || !is_reserved_word(t.text));
    }

    ident identifier(int code = 904) {
        const token& t = peek();
        if (t.kind != token_kind::identifier)
            fail_or_end(code);
        if (!t.quoted && is_reserved_word(t.text))
            fail(code);
        advance();
        return ident{t.text, t.quoted, t.pos};
    }

    // The name of a column being made: the upper-case word ROWID is refused even quoted
    // ("Rowid" is an ordinary name), as Oracle reserves it for the pseudo-column.
    ident new_column_name() {
        const token& t = peek();
        if (t.kind == token_kind::identifier && t.quoted && t.text == "ROWID")
            fail(904);
        return identifier(904);
    }

    qualified_name qualified(int code) {
        qualified_name q;
        q.name = identifier(code);
        if (peek().is_op(".") && peek(1).kind == token_kind::identifier) {
            advance();
            q.schema = q.name;
            q.name = identifier(code);
        }
        return q;
    }

    // An alias after a table or a select-list item: a plain identifier that does not start
    // the next clause.
    std::optional<ident> optional_alias(bool allow_as) {
        if (allow_as && accept_word("AS")) {
            return identifier(923);
        }
        const token& t = peek();
        if (is_identifier(t) && !is_clause_word(t)) {
            advance();
            return ident{t.text, t.quoted, t.pos};
        }
        return std::nullopt;
    }

    std::string source(int from, int to) const {
        return std::string(sql_.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
    }
    int previous_end() const { return index_ > 0 ? tokens_[index_ - 1].end : 0; }

    // ---- statements ------------------------------------------------------------------

    std::unique_ptr<statement> parse_statement_body() {
        const token& t = peek();
        if (t.is_op("(") || t.is_word("SELECT")) {
            auto s = std::make_unique<select_statement>();
            s->query = parse_select();
            return s;
        }
        if (t.kind != token_kind::identifier || t.quoted) {
            if (at_end())
                fail(900);
            fail(900);
        }
        const std::string& w = t.text;
        if (w == "INSERT")
            return parse_insert();
        if (w == "UPDATE")
            return parse_update();
        if (w == "DELETE")
            return parse_delete();
        if (w == "CREATE")
            return parse_create();
        if (w == "DROP")
            return parse_drop();
        if (w == "ALTER")
            return parse_alter();
        if (w == "TRUNCATE")
            return parse_truncate();
        if (w == "GRANT" || w == "REVOKE")
            return parse_grant();
        if (w == "COMMIT" || w == "ROLLBACK")
            return parse_transaction();
        if (w == "SAVEPOINT")
            return parse_savepoint();
        if (w == "COMMENT")
            return parse_comment();
        if (w == "PURGE" || w == "FLASHBACK")
            return parse_recycle();
        if (w == "WITH" || w == "MERGE" || w == "BEGIN" || w == "DECLARE" || w == "CALL" ||
            w == "EXPLAIN" || w == "LOCK" || w == "RENAME" || w == "SET") {
            fail(3001);
        }
        fail(900);
    }

    std::unique_ptr<statement> parse_transaction() {
        bool commit = peek().is_word("COMMIT");
        advance();
        accept_word("WORK");
        auto s = std::make_unique<transaction_statement>(commit ? statement_kind::commit
                                                                : statement_kind::rollback);
        if (!commit && accept_word("TO")) {
            accept_word("SAVEPOINT");
            s->savepoint = identifier(905);
        }
        if (commit && accept_word("COMMENT")) {
            if (peek().kind != token_kind::string)
                fail(1780);
            advance();
        }
        return s;
    }

    std::unique_ptr<statement> parse_recycle() {
        bool purge = peek().is_word("PURGE");
        advance();
        auto s = std::make_unique<recycle_statement>(purge ? statement_kind::purge
                                                           : statement_kind::flashback);
        if (purge && accept_word("RECYCLEBIN")) {
            s->whole_bin = true;
            return s;
        }
        if (!accept_word("TABLE"))
            fail(purge ? 3001 : 905);
        s->table = qualified(903);
        if (!purge) {
            expect_word("TO", 905);
            expect_word("BEFORE", 905);
            expect_word("DROP", 905);
            if (accept_word("RENAME")) {
                expect_word("TO", 905);
                s->rename_to = identifier(903);
            }
        }
        return s;
    }

    std::unique_ptr<statement> parse_savepoint() {
        advance();
        auto s = std::make_unique<transaction_statement>(statement_kind::savepoint);
        s->savepoint = identifier(905);
        return s;
    }

    std::unique_ptr<statement> parse_comment() {
        advance();
        expect_word("ON", 969);
        if (!accept_word("TABLE") && !accept_word("COLUMN"))
            fail(905);
        identifier(903);
        while (accept_op(".")) identifier(904);
        expect_word("IS", 905);
        if (peek().kind != token_kind::string)
            fail(1780);
        advance();
        return std::make_unique<comment_statement>();
    }

    // ---- SELECT ----------------------------------------------------------------------

    std::unique_ptr<select_stmt> parse_select() {
        depth_guard guard(*this);
        auto s = std::make_unique<select_stmt>();
        s->cores.push_back(parse_query_term());
        while (true) {
            if (accept_word("UNION")) {
                s->ops.push_back(accept_word("ALL") ? set_operator::union_all
                                                    : set_operator::union_distinct);
            } else if (accept_word("INTERSECT")) {
                s->ops.push_back(set_operator::intersect);
            } else if (accept_word("MINUS")) {
                s->ops.push_back(set_operator::minus);
            } else {
                break;
            }
            s->cores.push_back(parse_query_term());
        }
        if (accept_word("ORDER")) {
            expect_word("BY", 924);
            do {
                order_item item;
                item.value = parse_expr();
                if (accept_word("DESC")) {
                    item.descending = true;
                } else {
                    accept_word("ASC");
                }
                if (accept_word("NULLS")) {
                    if (accept_word("FIRST")) {
                        item.nulls = 1;
                    } else if (accept_word("LAST")) {
                        item.nulls = 2;
                    } else {
                        fail(905);
                    }
                }
                s->order_by.push_back(std::move(item));
            } while (accept_op(","));
        }
        if (accept_word("FOR")) {
            expect_word("UPDATE", 905);
            s->for_update.present = true;
            if (accept_word("OF")) {
                do {
                    identifier(904);
                    while (accept_op(".")) identifier(904);
                } while (accept_op(","));
            }
            if (accept_word("NOWAIT")) {
                s->for_update.wait_seconds = 0;
            } else if (accept_word("WAIT")) {
                s->for_update.wait_seconds = wait_interval();
            } else if (accept_word("SKIP")) {
                fail(3001);
            }
        }
        return s;
    }

    select_core parse_query_term() {
        if (peek().is_op("(")) {
            const token& open = advance();
            std::unique_ptr<select_stmt> inner = parse_select();
            expect_op(")", 907);
            if (inner->cores.size() != 1 || !inner->order_by.empty() || inner->for_update.present) {
                fail(3001, open);
            }
            return std::move(inner->cores.front());
        }
        select_core core;
        core.pos = peek().pos;
        if (!accept_word("SELECT"))
            fail_or_end(928);
        if (accept_word("DISTINCT") || accept_word("UNIQUE")) {
            core.distinct = true;
        } else {
            accept_word("ALL");
        }
        do {
            core.items.push_back(parse_select_item());
        } while (accept_op(","));
        if (peek().is_word("INTO"))
            fail(905);
        if (!accept_word("FROM"))
            fail_or_end(923);
        do {
            core.from.push_back(parse_from_entry());
        } while (accept_op(","));
        if (accept_word("WHERE")) {
            core.where = parse_expr();
        }
        if (peek().is_word("CONNECT") || peek().is_word("START"))
            fail(3001);
        if (accept_word("GROUP")) {
            expect_word("BY", 924);
            do {
                core.group_by.push_back(parse_expr());
            } while (accept_op(","));
        }
        if (accept_word("HAVING")) {
            core.having = parse_expr();
        }
        return core;
    }

    select_item parse_select_item() {
        select_item item;
        int start = peek().pos;
        if (accept_op("*")) {
            item.star = true;
            return item;
        }
        // t.* and s.t.*
        size_t k = 0;
        while (peek(k).kind == token_kind::identifier && peek(k + 1).is_op(".")) {
            k += 2;
        }
        if (k > 0 && peek(k).is_op("*")) {
            for (size_t i = 0; i < k; i += 2) {
                const token& t = advance();
                item.star_qualifier.push_back(ident{t.text, t.quoted, t.pos});
                advance();  // '.'
            }
            advance();  // '*'
            item.star = true;
            return item;
        }
        item.value = parse_expr();
        item.source_text = source(start, previous_end());
        item.alias = optional_alias(true);
        return item;
    }

    from_entry parse_from_entry() {
        from_entry entry;
        entry.first = parse_table_ref();
        while (true) {
            join_clause j;
            if (accept_word("JOIN") || accept_words({"INNER", "JOIN"})) {
                j.kind = join_kind::inner;
            } else if (accept_words({"LEFT", "JOIN"}) || accept_words({"LEFT", "OUTER", "JOIN"})) {
                j.kind = join_kind::left;
            } else if (accept_words({"RIGHT", "JOIN"}) ||
                       accept_words({"RIGHT", "OUTER", "JOIN"})) {
                j.kind = join_kind::right;
            } else if (accept_words({"FULL", "JOIN"}) || accept_words({"FULL", "OUTER", "JOIN"})) {
                j.kind = join_kind::full;
            } else if (accept_words({"CROSS", "JOIN"})) {
                j.kind = join_kind::cross;
            } else if (peek().is_word("NATURAL")) {
                fail(3001);
            } else {
                break;
            }
            j.table = parse_table_ref();
            if (j.kind != join_kind::cross) {
                if (peek().is_word("USING"))
                    fail(3001);
                expect_word("ON", 905);
                j.on = parse_expr();
            }
            entry.joins.push_back(std::move(j));
        }
        return entry;
    }

    table_ref parse_table_ref() {
        table_ref ref;
        ref.pos = peek().pos;
        if (accept_op("(")) {
            ref.subquery = parse_select();
            expect_op(")", 907);
        } else {
            if (peek().kind != token_kind::identifier)
                fail_or_end(903);
            ref.name = qualified(903);
            if (peek().is_op("@"))
                fail(3001);
        }
        ref.alias = optional_alias(false);
        return ref;
    }

    // ---- expressions -----------------------------------------------------------------

    expr_ptr make(expr_kind kind, int pos) {
        auto e = std::make_unique<expr>();
        e->kind = kind;
        e->pos = pos;
        return e;
    }
    expr_ptr binary(expr_kind kind, expr_ptr left, expr_ptr right) {
        auto e = make(kind, left->pos);
        e->end = right->end;
        e->args.push_back(std::move(left));
        e->args.push_back(std::move(right));
        return e;
    }

  public:
    expr_ptr parse_expr() {
        depth_guard guard(*this);
        return parse_or();
    }

  private:
    expr_ptr parse_or() {
        expr_ptr left = parse_and();
        int chain = 0;
        while (accept_word("OR")) {
            count_link(chain);
            left = binary(expr_kind::logical_or, std::move(left), parse_and());
        }
        return left;
    }

    expr_ptr parse_and() {
        expr_ptr left = parse_not();
        int chain = 0;
        while (accept_word("AND")) {
            count_link(chain);
            left = binary(expr_kind::logical_and, std::move(left), parse_not());
        }
        return left;
    }

    expr_ptr parse_not() {
        depth_guard guard(*this);
        if (peek().is_word("NOT")) {
            int pos = advance().pos;
            auto e = make(expr_kind::logical_not, pos);
            e->args.push_back(parse_not());
            e->end = e->args.back()->end;
            return e;
        }
        return parse_predicate();
    }

    expr_ptr parse_predicate() {
        if (peek().is_word("EXISTS")) {
            int pos = advance().pos;
            expect_op("(", 906);
            auto e = make(expr_kind::exists, pos);
            e->query = parse_select();
            expect_op(")", 907);
            e->end = previous_end();
            return e;
        }
        expr_ptr left = parse_additive();
        const token& t = peek();
        static const std::pair<std::string_view, expr_kind> comparisons[] = {
            {"=", expr_kind::eq},  {"<>", expr_kind::ne}, {"!=", expr_kind::ne},
            {"^=", expr_kind::ne}, {"~=", expr_kind::ne}, {"<", expr_kind::lt},
            {"<=", expr_kind::le}, {">", expr_kind::gt},  {">=", expr_kind::ge}};
        for (const auto& [op, kind] : comparisons) {
            if (t.is_op(op)) {
                advance();
                if (peek().is_word("ANY") || peek().is_word("ALL") || peek().is_word("SOME")) {
                    fail(3001);
                }
                return binary(kind, std::move(left), parse_additive());
            }
        }
        if (t.is_word("IS")) {
            advance();
            bool negated = accept_word("NOT");
            expect_word("NULL", 908);
            auto e = make(negated ? expr_kind::is_not_null : expr_kind::is_null, left->pos);
            e->end = previous_end();
            e->args.push_back(std::move(left));
            return e;
        }
        bool negated = false;
        if (t.is_word("NOT") &&
            (peek(1).is_word("LIKE") || peek(1).is_word("BETWEEN") || peek(1).is_word("IN"))) {
            advance();
            negated = true;
        }
        if (accept_word("LIKE")) {
            auto e = make(negated ? expr_kind::not_like : expr_kind::like, left->pos);
            e->args.push_back(std::move(left));
            e->args.push_back(parse_additive());
            if (accept_word("ESCAPE")) {
                e->args.push_back(parse_additive());
            }
            e->end = previous_end();
            return e;
        }
        if (accept_word("BETWEEN")) {
            auto e = make(negated ? expr_kind::not_between : expr_kind::between, left->pos);
            e->args.push_back(std::move(left));
            e->args.push_back(parse_additive());
            expect_word("AND", 905);
            e->args.push_back(parse_additive());
            e->end = previous_end();
            return e;
        }
        if (accept_word("IN")) {
            expect_op("(", 906);
            if (peek().is_word("SELECT")) {
                auto e = make(negated ? expr_kind::not_in_query : expr_kind::in_query, left->pos);
                e->args.push_back(std::move(left));
                e->query = parse_select();
                expect_op(")", 907);
                e->end = previous_end();
                return e;
            }
            auto e = make(negated ? expr_kind::not_in_list : expr_kind::in_list, left->pos);
            e->args.push_back(std::move(left));
            do {
                e->args.push_back(parse_additive());
            } while (accept_op(","));
            expect_op(")", 907);
            e->end = previous_end();
            return e;
        }
        if (negated)
            fail(905);
        return left;
    }

    expr_ptr parse_additive() {
        expr_ptr left = parse_multiplicative();
        int chain = 0;
        while (true) {
            expr_kind kind;
            if (peek().is_op("+")) {
                kind = expr_kind::add;
            } else if (peek().is_op("-")) {
                kind = expr_kind::subtract;
            } else if (peek().is_op("||")) {
                kind = expr_kind::concat;
            } else {
                return left;
            }
            count_link(chain);
            advance();
            left = binary(kind, std::move(left), parse_multiplicative());
        }
    }

    expr_ptr parse_multiplicative() {
        expr_ptr left = parse_unary();
        int chain = 0;
        while (true) {
            expr_kind kind;
            if (peek().is_op("*")) {
                kind = expr_kind::multiply;
            } else if (peek().is_op("/")) {
                kind = expr_kind::divide;
            } else {
                return left;
            }
            count_link(chain);
            advance();
            left = binary(kind, std::move(left), parse_unary());
        }
    }

    expr_ptr parse_unary() {
        depth_guard guard(*this);
        if (peek().is_op("-") || peek().is_op("+")) {
            const token& t = advance();
            expr_ptr operand = parse_unary();
            if (t.text == "+")
                return operand;
            if (operand->kind == expr_kind::number_literal && operand->text[0] != '-') {
                operand->text = "-" + operand->text;
                operand->pos = t.pos;
                return operand;
            }
            auto e = make(expr_kind::negate, t.pos);
            e->end = operand->end;
            e->args.push_back(std::move(operand));
            return e;
        }
        return parse_primary();
    }

    expr_ptr parse_primary() {
        const token& t = peek();
        switch (t.kind) {
            case token_kind::number: {
                advance();
                auto e = make(expr_kind::number_literal, t.pos);
                e->text = t.text;
                e->end = t.end;
                return e;
            }
            case token_kind::string: {
                advance();
                auto e = make(t.text.empty() ? expr_kind::null_literal : expr_kind::string_literal,
                              t.pos);
                e->text = t.text;
                e->end = t.end;
                return e;
            }
            case token_kind::bind: {
                advance();
                if (peek().is_op(".") && peek(1).kind == token_kind::identifier) {
                    advance();
                    const token& col = advance();
                    auto e = make(expr_kind::trigger_row, t.pos);
                    e->text = t.text;
                    e->path.push_back(ident{col.text, col.quoted, col.pos});
                    e->end = col.end;
                    return e;
                }
                auto e = make(expr_kind::bind, t.pos);
                e->text = t.text;
                e->end = t.end;
                return e;
            }
            case token_kind::op:
                if (t.is_op("(")) {
                    advance();
                    if (peek().is_word("SELECT")) {
                        auto e = make(expr_kind::scalar_query, t.pos);
                        e->query = parse_select();
                        expect_op(")", 907);
                        e->end = previous_end();
                        return e;
                    }
                    expr_ptr inner = parse_expr();
                    if (peek().is_op(","))
                        fail(3001);
                    expect_op(")", 907);
                    inner->pos = t.pos;
                    inner->end = previous_end();
                    return inner;
                }
                fail_or_end(936);
            case token_kind::identifier:
                return parse_name_expression();
            case token_kind::end:
                fail(936);
        }
        fail(936);
    }

    expr_ptr parse_name_expression() {
        const token& t = peek();
        if (!t.quoted) {
            const std::string& w = t.text;
            if (w == "NULL") {
                advance();
                auto e = make(expr_kind::null_literal, t.pos);
                e->end = t.end;
                return e;
            }
            if (w == "CASE")
                return parse_case();
            if ((w == "DATE" || w == "TIMESTAMP") && peek(1).kind == token_kind::string) {
                advance();
                const token& lit = advance();
                auto e = make(expr_kind::function, t.pos);
                e->path.push_back(ident{w == "DATE" ? "TO_DATE" : "TO_TIMESTAMP", false, t.pos});
                auto a = make(expr_kind::string_literal, lit.pos);
                a->text = lit.text;
                a->end = lit.end;
                auto f = make(expr_kind::string_literal, lit.pos);
                // A timestamp literal may leave out the fraction.
                f->text = w == "DATE"                               ? "YYYY-MM-DD"
                          : lit.text.find('.') == std::string::npos ? "YYYY-MM-DD HH24:MI:SS"
                                                                    : "YYYY-MM-DD HH24:MI:SS.FF";
                f->end = lit.end;
                e->args.push_back(std::move(a));
                e->args.push_back(std::move(f));
                e->end = lit.end;
                return e;
            }
            if (w == "INTERVAL" && peek(1).kind == token_kind::string) {
                advance();
                const token& lit = advance();
                auto e = make(expr_kind::function, t.pos);
                // Not a name a statement can call: the literal's own conversion.
                e->path.push_back(ident{"INTERVAL LITERAL", true, t.pos});
                auto a = make(expr_kind::string_literal, lit.pos);
                a->text = lit.text;
                a->end = lit.end;
                auto q = make(expr_kind::string_literal, lit.pos);
                q->text = parse_interval_qualifier();
                q->end = previous_end();
                e->args.push_back(std::move(a));
                e->args.push_back(std::move(q));
                e->end = previous_end();
                return e;
            }
            static const std::pair<std::string_view, expr_kind> pseudo[] = {
                {"ROWNUM", expr_kind::rownum},
                {"SYSDATE", expr_kind::sysdate},
                {"SYSTIMESTAMP", expr_kind::systimestamp},
                {"USER", expr_kind::user},
                {"ROWID", expr_kind::rowid}};
            for (const auto& [word, kind] : pseudo) {
                if (w == word) {
                    advance();
                    auto e = make(kind, t.pos);
                    e->end = t.end;
                    return e;
                }
            }
            if (w == "LEVEL" || w == "PRIOR" || w == "INTERVAL" || w == "CURSOR")
                fail(3001);
            if (is_reserved_word(w))
                fail(936);
        }
        std::vector<ident> path;
        path.push_back(ident{t.text, t.quoted, t.pos});
        int end = advance().end;
        while (peek().is_op(".") && peek(1).kind == token_kind::identifier) {
            advance();
            const token& part = advance();
            path.push_back(ident{part.text, part.quoted, part.pos});
            end = part.end;
        }
        const ident& last = path.back();
        if (path.size() >= 2 && !last.quoted &&
            (last.name == "NEXTVAL" || last.name == "CURRVAL")) {
            auto e = make(expr_kind::sequence_value, t.pos);
            e->text = last.name;
            path.pop_back();
            e->path = std::move(path);
            e->end = end;
            return e;
        }
        if (path.size() >= 2 && !last.quoted && last.name == "ROWID") {
            auto e = make(expr_kind::rowid, t.pos);
            path.pop_back();
            e->path = std::move(path);
            e->end = end;
            return e;
        }
        for (const ident& part : path) {
            if (!part.quoted && is_reserved_word(part.name))
                fail(904);
        }
        if (peek().is_op("(")) {
            return parse_function(std::move(path), t.pos);
        }
        auto e = make(expr_kind::column, t.pos);
        e->path = std::move(path);
        e->end = end;
        return e;
    }

    expr_ptr parse_function(std::vector<ident> path, int pos) {
        advance();  // '('
        auto e = make(expr_kind::function, pos);
        const std::string& name = path.back().name;
        e->path = std::move(path);
        if (e->path.size() == 1 && name == "TRIM" && !peek().is_op(")")) {
            return parse_trim(std::move(e));
        }
        if (e->path.size() == 1 && name == "EXTRACT") {
            const token& field = peek();
            if (field.kind != token_kind::identifier)
                fail(936);
            advance();
            auto f = make(expr_kind::string_literal, field.pos);
            f->text = field.text;
            f->end = field.end;
            e->args.push_back(std::move(f));
            expect_word("FROM", 923);
            e->args.push_back(parse_expr());
            expect_op(")", 907);
            e->end = previous_end();
            return e;
        }
        if (e->path.size() == 1 && name == "CAST")
            fail(3001);
        if (peek().is_op("*")) {
            const token& star = advance();
            auto s = make(expr_kind::star, star.pos);
            s->end = star.end;
            e->args.push_back(std::move(s));
        } else if (!peek().is_op(")")) {
            if (accept_word("DISTINCT") || accept_word("UNIQUE")) {
                e->distinct = true;
            } else {
                accept_word("ALL");
            }
            do {
                e->args.push_back(parse_expr());
            } while (accept_op(","));
        }
        expect_op(")", 907);
        if (peek().is_word("OVER") || peek().is_word("KEEP") || peek().is_word("WITHIN")) {
            fail(3001);
        }
        e->end = previous_end();
        return e;
    }

    // TRIM([LEADING|TRAILING|BOTH] [set] FROM source) becomes LTRIM/RTRIM/TRIM(source, set).
    expr_ptr parse_trim(expr_ptr e) {
        std::string mode;
        if (accept_word("LEADING")) {
            mode = "LTRIM";
        } else if (accept_word("TRAILING")) {
            mode = "RTRIM";
        } else if (accept_word("BOTH")) {
            mode = "TRIM";
        }
        expr_ptr set;
        if (!peek().is_word("FROM")) {
            set = parse_expr();
        }
        if (accept_word("FROM")) {
            e->args.push_back(parse_expr());
            if (set)
                e->args.push_back(std::move(set));
            if (!mode.empty())
                e->path.back().name = mode;
        } else {
            if (!mode.empty() || !set)
                fail(923);
            e->args.push_back(std::move(set));
        }
        expect_op(")", 907);
        e->end = previous_end();
        return e;
    }

    expr_ptr parse_case() {
        int pos = advance().pos;
        expr_ptr e;
        if (peek().is_word("WHEN")) {
            e = make(expr_kind::case_searched, pos);
        } else {
            e = make(expr_kind::case_simple, pos);
            e->args.push_back(parse_expr());
        }
        if (!peek().is_word("WHEN"))
            fail(905);
        while (accept_word("WHEN")) {
            e->args.push_back(parse_expr());
            expect_word("THEN", 905);
            e->args.push_back(parse_expr());
        }
        if (accept_word("ELSE")) {
            e->args.push_back(parse_expr());
            e->has_else = true;
        }
        expect_word("END", 905);
        e->end = previous_end();
        return e;
    }

    // ---- DML -------------------------------------------------------------------------

    void parse_returning(returning_clause& r) {
        if (!accept_word("RETURNING") && !accept_word("RETURN"))
            return;
        do {
            r.values.push_back(parse_expr());
        } while (accept_op(","));
        expect_word("INTO", 925);
        do {
            if (peek().kind != token_kind::bind)
                fail(1036);
            r.into.push_back(advance().text);
        } while (accept_op(","));
        if (r.into.size() != r.values.size())
            fail(r.into.size() < r.values.size() ? 947 : 913);
    }

    std::unique_ptr<statement> parse_insert() {
        advance();
        auto s = std::make_unique<insert_statement>();
        expect_word("INTO", 925);
        if (peek().is_op("("))
            fail(3001);
        if (peek().kind != token_kind::identifier)
            fail_or_end(903);
        s->table = qualified(903);
        if (!peek().is_op("(") && !peek().is_word("VALUES") && !peek().is_word("SELECT")) {
            s->alias = optional_alias(false);
        }
        if (peek().is_op("(") && !peek(1).is_word("SELECT")) {
            advance();
            do {
                ident col = identifier(904);
                if (accept_op("."))
                    col = identifier(904);
                s->columns.push_back(col);
            } while (accept_op(","));
            expect_op(")", 907);
        }
        if (accept_word("VALUES")) {
            expect_op("(", 906);
            do {
                if (peek().is_word("DEFAULT"))
                    fail(3001);
                s->values.push_back(parse_expr());
            } while (accept_op(","));
            expect_op(")", 917);
            parse_returning(s->returning);
            return s;
        }
        if (peek().is_word("SELECT") || peek().is_op("(")) {
            s->query = parse_select();
            return s;
        }
        fail_or_end(926);
    }

    std::unique_ptr<statement> parse_update() {
        advance();
        auto s = std::make_unique<update_statement>();
        if (peek().kind != token_kind::identifier)
            fail_or_end(903);
        s->table = qualified(903);
        if (!peek().is_word("SET"))
            s->alias = optional_alias(false);
        expect_word("SET", 971);
        do {
            if (peek().is_op("("))
                fail(3001);
            ident col = identifier(904);
            if (accept_op("."))
                col = identifier(904);
            expect_op("=", 927);
            s->sets.emplace_back(col, parse_expr());
        } while (accept_op(","));
        if (accept_word("WHERE"))
            s->where = parse_expr();
        parse_returning(s->returning);
        return s;
    }

    std::unique_ptr<statement> parse_delete() {
        advance();
        auto s = std::make_unique<delete_statement>();
        accept_word("FROM");
        if (peek().kind != token_kind::identifier)
            fail_or_end(903);
        s->table = qualified(903);
        if (!peek().is_word("WHERE") && !peek().is_word("RETURNING") && !peek().is_word("RETURN")) {
            s->alias = optional_alias(false);
        }
        if (accept_word("WHERE"))
            s->where = parse_expr();
        parse_returning(s->returning);
        return s;
    }

    // ---- CREATE ----------------------------------------------------------------------

    std::unique_ptr<statement> parse_create() {
        advance();
        bool or_replace = false;
        if (accept_word("OR")) {
            expect_word("REPLACE", 922);
            or_replace = true;
        }
        if (peek().is_word("TRIGGER"))
            return parse_create_trigger(or_replace);
        if (or_replace) {
            if (peek().is_word("VIEW") || peek().is_word("FORCE") || peek().is_word("PROCEDURE") ||
                peek().is_word("FUNCTION") || peek().is_word("PACKAGE") ||
                peek().is_word("SYNONYM")) {
                fail(3001);
            }
            fail(922);
        }
        if (peek().is_word("TABLE"))
            return parse_create_table(false);
        if (accept_words({"GLOBAL", "TEMPORARY"})) {
            if (!peek().is_word("TABLE"))
                fail(905);
            return parse_create_table(true);
        }
        if (peek().is_word("UNIQUE") || peek().is_word("INDEX") || peek().is_word("BITMAP")) {
            return parse_create_index();
        }
        if (accept_word("SEQUENCE")) {
            auto s = std::make_unique<sequence_statement>(statement_kind::create_sequence);
            s->sequence = qualified(903);
            parse_sequence_options(s->options, true);
            return s;
        }
        if (accept_word("USER"))
            return parse_user(statement_kind::create_user);
        if (peek().is_word("VIEW") || peek().is_word("SYNONYM") || peek().is_word("PROCEDURE") ||
            peek().is_word("FUNCTION") || peek().is_word("PACKAGE") || peek().is_word("ROLE") ||
            peek().is_word("TABLESPACE") || peek().is_word("PUBLIC") || peek().is_word("TYPE") ||
            peek().is_word("MATERIALIZED") || peek().is_word("DATABASE")) {
            fail(3001);
        }
        fail(901);
    }

    std::unique_ptr<statement> parse_create_table(bool temporary) {
        advance();  // TABLE
        auto s = std::make_unique<create_table_statement>();
        s->temporary = temporary;
        if (peek().kind != token_kind::identifier)
            fail_or_end(903);
        s->table = qualified(903);
        if (accept_word("AS")) {
            s->as_query = parse_select();
            return s;
        }
        expect_op("(", 906);
        do {
            if (starts_constraint()) {
                s->constraints.push_back(parse_out_of_line_constraint());
            } else {
                s->columns.push_back(parse_column_def(false));
            }
        } while (accept_op(","));
        expect_op(")", 907);
        parse_physical_properties(temporary);
        if (accept_word("AS")) {
            s->as_query = parse_select();
        }
        if (!at_end() && !peek().is_op(";"))
            fail(922);
        return s;
    }

    bool starts_constraint() const {
        const token& t = peek();
        return t.is_word("CONSTRAINT") || t.is_word("PRIMARY") || t.is_word("UNIQUE") ||
               t.is_word("CHECK") || t.is_word("FOREIGN");
    }

    std::vector<ident> column_list() {
        expect_op("(", 906);
        std::vector<ident> cols;
        do {
            cols.push_back(identifier(904));
        } while (accept_op(","));
        expect_op(")", 907);
        return cols;
    }

    void skip_constraint_state() {
        while (true) {
            if (accept_word("ENABLE") || accept_word("DISABLE") || accept_word("VALIDATE") ||
                accept_word("NOVALIDATE") || accept_word("RELY") || accept_word("NORELY")) {
                continue;
            }
            if (accept_word("DEFERRABLE") || accept_words({"NOT", "DEFERRABLE"}))
                continue;
            if (accept_word("INITIALLY")) {
                if (!accept_word("IMMEDIATE") && !accept_word("DEFERRED"))
                    fail(905);
                continue;
            }
            if (accept_word("USING")) {
                expect_word("INDEX", 905);
                if (peek().is_op("("))
                    fail(3001);
                parse_index_properties();
                continue;
            }
            return;
        }
    }

    constraint_def parse_out_of_line_constraint() {
        constraint_def c;
        c.pos = peek().pos;
        if (accept_word("CONSTRAINT"))
            c.name = identifier(904);
        if (accept_word("PRIMARY")) {
            expect_word("KEY", 905);
            c.type = 'P';
            c.columns = column_list();
        } else if (accept_word("UNIQUE")) {
            c.type = 'U';
            c.columns = column_list();
        } else if (accept_word("CHECK")) {
            c.type = 'C';
            expect_op("(", 906);
            int start = peek().pos;
            c.check = parse_expr();
            c.check_text = source(start, previous_end());
            expect_op(")", 907);
        } else if (accept_word("FOREIGN")) {
            fail(3001);
        } else {
            fail(902);
        }
        skip_constraint_state();
        return c;
    }

    column_def parse_column_def(bool modify) {
        column_def col;
        col.name = modify ? identifier(904) : new_column_name();
        const token& t = peek();
        bool has_type = !(t.is_word("DEFAULT") || t.is_word("NOT") || t.is_word("NULL") ||
                          t.is_word("CONSTRAINT") || t.is_word("PRIMARY") || t.is_word("UNIQUE") ||
                          t.is_word("CHECK") || t.is_op(",") || t.is_op(")") || at_end());
        if (has_type) {
            col.type = parse_type();
        } else if (!modify) {
            fail(902);
        }
        if (accept_word("DEFAULT")) {
            int start = peek().pos;
            col.default_value = parse_expr();
            col.has_default = true;
            int stop = peek().pos;  // Oracle keeps the text up to the next clause, blanks too
            col.default_text = source(start, stop);
        }
        while (true) {
            std::optional<ident> name;
            int pos = peek().pos;
            if (accept_word("CONSTRAINT"))
                name = identifier(904);
            if (accept_word("NOT")) {
                expect_word("NULL", 908);
                if (col.nullability == 0)
                    fail(2253);
                col.nullability = 1;
                col.not_null_name = name;
            } else if (accept_word("NULL")) {
                col.nullability = 0;
            } else if (accept_word("PRIMARY")) {
                expect_word("KEY", 905);
                constraint_def c;
                c.name = name;
                c.type = 'P';
                c.pos = pos;
                c.columns.push_back(col.name);
                col.constraints.push_back(std::move(c));
            } else if (accept_word("UNIQUE")) {
                constraint_def c;
                c.name = name;
                c.type = 'U';
                c.pos = pos;
                c.columns.push_back(col.name);
                col.constraints.push_back(std::move(c));
            } else if (accept_word("CHECK")) {
                constraint_def c;
                c.name = name;
                c.type = 'C';
                c.pos = pos;
                expect_op("(", 906);
                int start = peek().pos;
                c.check = parse_expr();
                c.check_text = source(start, previous_end());
                expect_op(")", 907);
                col.constraints.push_back(std::move(c));
            } else if (peek().is_word("REFERENCES")) {
                fail(3001);
            } else {
                if (name)
                    fail(902);
                break;
            }
            skip_constraint_state();
        }
        return col;
    }

    // WAIT n: whole seconds; a longer wait than an int holds is as good as waiting forever.
    int wait_interval() {
        const token& t = peek();
        if (t.kind == token_kind::number && t.text.size() > 9 &&
            t.text.find_first_not_of("0123456789") == std::string::npos) {
            advance();
            return std::numeric_limits<int>::max();
        }
        return small_number(30005);
    }

    int small_number(int code) {
        if (peek().kind != token_kind::number)
            fail(code);
        const token& t = advance();
        if (t.text.find_first_not_of("0123456789") != std::string::npos || t.text.size() > 9) {
            fail(code, t);
        }
        return std::atoi(t.text.c_str());
    }

    int signed_small_number(int code) {
        bool negative = accept_op("-");
        if (!negative)
            accept_op("+");
        int v = small_number(code);
        return negative ? -v : v;
    }

    type_declaration parse_type() {
        type_declaration ts;
        ts.pos = peek().pos;
        const token& t = peek();
        if (t.kind != token_kind::identifier || t.quoted)
            fail(902);
        std::string w = t.text;
        advance();
        auto length_clause = [&](bool mandatory, bool semantics) {
            if (!peek().is_op("(")) {
                if (mandatory)
                    fail(906);
                return;
            }
            advance();
            ts.length = small_number(910);
            if (semantics) {
                if (accept_word("BYTE")) {
                    ts.semantics = 1;
                } else if (accept_word("CHAR")) {
                    ts.semantics = 2;
                }
            }
            expect_op(")", 907);
        };
        if (w == "NUMBER" || w == "NUMERIC" || w == "DECIMAL" || w == "DEC") {
            ts.name = "NUMBER";
            if (accept_op("(")) {
                if (accept_op("*")) {
                    ts.precision = -2;
                } else {
                    ts.precision = signed_small_number(1727);
                }
                if (accept_op(",")) {
                    ts.scale = signed_small_number(1728);
                    ts.has_scale = true;
                }
                expect_op(")", 907);
            } else if (w != "NUMBER") {
                ts.scale = 0;
                ts.has_scale = true;
            }
        } else if (w == "INTEGER" || w == "INT" || w == "SMALLINT") {
            ts.name = "NUMBER";
            ts.integer_alias = true;
            ts.scale = 0;
            ts.has_scale = true;
        } else if (w == "FLOAT") {
            ts.name = "FLOAT";
            ts.precision = 126;
            if (accept_op("(")) {
                ts.precision = signed_small_number(1724);
                expect_op(")", 907);
            }
        } else if (w == "REAL") {
            ts.name = "FLOAT";
            ts.precision = 63;
        } else if (w == "DOUBLE") {
            expect_word("PRECISION", 905);
            ts.name = "FLOAT";
            ts.precision = 126;
        } else if (w == "BINARY_FLOAT" || w == "BINARY_DOUBLE" || w == "DATE" || w == "CLOB" ||
                   w == "NCLOB" || w == "BLOB") {
            ts.name = w;
        } else if (w == "VARCHAR2" || w == "VARCHAR") {
            ts.name = "VARCHAR2";
            length_clause(true, true);
        } else if (w == "NVARCHAR2") {
            ts.name = w;
            length_clause(true, false);
        } else if (w == "CHAR" || w == "CHARACTER") {
            if (accept_word("VARYING")) {
                ts.name = "VARCHAR2";
                length_clause(true, true);
            } else {
                ts.name = "CHAR";
                length_clause(false, true);
            }
        } else if (w == "NCHAR") {
            ts.name = w;
            if (accept_word("VARYING")) {
                ts.name = "NVARCHAR2";
                length_clause(true, false);
            } else {
                length_clause(false, false);
            }
        } else if (w == "RAW") {
            ts.name = w;
            length_clause(true, false);
        } else if (w == "LONG") {
            ts.name = accept_word("RAW") ? "LONG RAW" : "LONG";
        } else if (w == "TIMESTAMP") {
            ts.name = w;
            ts.scale = 6;
            if (accept_op("(")) {
                ts.scale = small_number(30088);
                expect_op(")", 907);
            }
            if (peek().is_word("WITH"))
                fail(3001);
        } else if (w == "INTERVAL" && peek().is_word("DAY")) {
            parse_interval_type(ts);
        } else if (w == "ROWID" || w == "UROWID" || w == "INTERVAL" || w == "XMLTYPE" ||
                   w == "BFILE" || w == "MLSLABEL") {
            fail(3001, t);
        } else {
            fail(902, t);
        }
        return ts;
    }

    // INTERVAL DAY [(p)] TO SECOND [(f)], after the word INTERVAL.
    void parse_interval_type(type_declaration& ts) {
        advance();  // DAY
        ts.name = "INTERVAL DAY TO SECOND";
        ts.precision = optional_precision(2);
        expect_word("TO", 905);
        expect_word("SECOND", 905);
        ts.scale = optional_precision(6);
        ts.has_scale = true;
    }

    // "(n)" with a datetime or interval precision, or the default.
    int optional_precision(int default_value) {
        if (!accept_op("("))
            return default_value;
        int n = small_number(30088);
        expect_op(")", 907);
        return n;
    }

    // The qualifier of an interval literal: DAY, HOUR, MINUTE or SECOND with an optional
    // precision, optionally TO a later field. Written as "LEADING TRAILING LEAD FRACTION".
    std::string parse_interval_qualifier() {
        static const std::string_view fields[] = {"DAY", "HOUR", "MINUTE", "SECOND"};
        auto field = [&]() {
            for (size_t i = 0; i < 4; ++i) {
                if (accept_word(fields[i]))
                    return static_cast<int>(i);
            }
            if (peek().is_word("YEAR") || peek().is_word("MONTH"))
                fail(3001);
            fail(905);
        };
        int leading = field();
        int lead = 2, fraction = 6;
        if (accept_op("(")) {
            lead = small_number(30088);
            if (leading == 3 && accept_op(","))
                fraction = small_number(30088);
            expect_op(")", 907);
        }
        int trailing = leading;
        if (accept_word("TO")) {
            trailing = field();
            if (trailing <= leading)
                fail(3001);
            if (trailing == 3)
                fraction = optional_precision(6);
        }
        if (lead > 9 || fraction > 9)
            fail(30088);
        return std::to_string(leading) + " " + std::to_string(trailing) + " " +
               std::to_string(lead) + " " + std::to_string(fraction);
    }

    void skip_parenthesised() {
        expect_op("(", 906);
        int depth = 1;
        while (depth > 0) {
            if (at_end())
                fail(907);
            const token& t = advance();
            if (t.is_op("("))
                ++depth;
            if (t.is_op(")"))
                --depth;
        }
    }

    // Storage clauses carry nothing for the embedded target; they are checked and skipped.
    bool parse_common_storage_clause() {
        if (accept_word("TABLESPACE")) {
            identifier(922);
            return true;
        }
        static const std::string_view numbered[] = {"PCTFREE", "PCTUSED", "INITRANS", "MAXTRANS"};
        for (std::string_view w : numbered) {
            if (accept_word(w)) {
                small_number(922);
                return true;
            }
        }
        if (peek().is_word("STORAGE")) {
            advance();
            skip_parenthesised();
            return true;
        }
        static const std::string_view flags[] = {"LOGGING",      "NOLOGGING",  "COMPRESS",
                                                 "NOCOMPRESS",   "NOPARALLEL", "MONITORING",
                                                 "NOMONITORING", "CACHE",      "NOCACHE"};
        for (std::string_view w : flags) {
            if (accept_word(w))
                return true;
        }
        if (accept_word("PARALLEL")) {
            if (peek().kind == token_kind::number)
                advance();
            return true;
        }
        return false;
    }

    void parse_physical_properties(bool temporary) {
        while (true) {
            if (parse_common_storage_clause())
                continue;
            if (accept_word("ORGANIZATION")) {
                if (!accept_word("HEAP"))
                    fail(3001);
                continue;
            }
            if (accept_word("SEGMENT")) {
                expect_word("CREATION", 905);
                if (!accept_word("IMMEDIATE") && !accept_word("DEFERRED"))
                    fail(922);
                continue;
            }
            if (temporary && accept_word("ON")) {
                expect_word("COMMIT", 905);
                if (!accept_word("DELETE") && !accept_word("PRESERVE"))
                    fail(922);
                expect_word("ROWS", 905);
                continue;
            }
            if (accept_word("LOB")) {
                skip_parenthesised();
                expect_word("STORE", 905);
                expect_word("AS", 905);
                if (peek().kind == token_kind::identifier && !peek().is_word("SECUREFILE") &&
                    !peek().is_word("BASICFILE")) {
                    advance();
                }
                accept_word("SECUREFILE") || accept_word("BASICFILE");
                if (peek().is_op("("))
                    skip_parenthesised();
                continue;
            }
            return;
        }
    }

    void parse_index_properties() {
        while (true) {
            if (parse_common_storage_clause())
                continue;
            if (accept_word("ONLINE") || accept_word("REVERSE") || accept_word("NOSORT"))
                continue;
            if (accept_words({"COMPUTE", "STATISTICS"}))
                continue;
            return;
        }
    }

    // A column of an index, or an expression (a function-based index).
    index_column index_key() {
        index_column c;
        bool plain = peek().kind == token_kind::identifier &&
                     (peek(1).is_op(",") || peek(1).is_op(")") || peek(1).is_word("ASC") ||
                      peek(1).is_word("DESC"));
        if (plain) {
            c.name = identifier(904);
            return c;
        }
        int start = peek().pos;
        c.expression = parse_expr();
        if (c.expression->kind == expr_kind::column && c.expression->path.size() == 1) {
            c.name = c.expression->path[0];
            c.expression.reset();
        } else {
            c.name.name = source(start, previous_end());
            c.name.pos = start;
        }
        return c;
    }

    std::unique_ptr<statement> parse_create_index() {
        auto s = std::make_unique<create_index_statement>();
        if (accept_word("UNIQUE")) {
            s->unique = true;
        } else if (peek().is_word("BITMAP")) {
            fail(3001);
        }
        expect_word("INDEX", 901);
        s->index = qualified(904);
        expect_word("ON", 969);
        s->table = qualified(903);
        expect_op("(", 906);
        do {
            index_column c = index_key();
            if (accept_word("DESC")) {
                c.descending = true;
            } else {
                accept_word("ASC");
            }
            s->columns.push_back(std::move(c));
        } while (accept_op(","));
        expect_op(")", 907);
        parse_index_properties();
        return s;
    }

    std::string signed_number_text() {
        bool negative = accept_op("-");
        if (!negative)
            accept_op("+");
        if (peek().kind != token_kind::number)
            fail(1722);
        return (negative ? "-" : "") + advance().text;
    }

    void parse_sequence_options(sequence_options& o, bool create) {
        while (!at_end()) {
            if (accept_word("START")) {
                if (!create)
                    fail(2283);
                expect_word("WITH", 905);
                o.start = signed_number_text();
            } else if (accept_word("INCREMENT")) {
                expect_word("BY", 905);
                o.increment = signed_number_text();
            } else if (accept_word("MINVALUE")) {
                o.minvalue = signed_number_text();
            } else if (accept_word("NOMINVALUE")) {
                o.nominvalue = true;
            } else if (accept_word("MAXVALUE")) {
                o.maxvalue = signed_number_text();
            } else if (accept_word("NOMAXVALUE")) {
                o.nomaxvalue = true;
            } else if (accept_word("CYCLE")) {
                o.cycle = true;
            } else if (accept_word("NOCYCLE")) {
                o.cycle = false;
            } else if (accept_word("CACHE")) {
                o.cache = signed_number_text();
            } else if (accept_word("NOCACHE")) {
                o.nocache = true;
            } else if (accept_word("ORDER")) {
                o.order = true;
            } else if (accept_word("NOORDER")) {
                o.order = false;
            } else {
                fail(933);
            }
        }
    }

    // ---- triggers --------------------------------------------------------------------

    std::unique_ptr<statement> parse_create_trigger(bool or_replace) {
        advance();  // TRIGGER
        auto s = std::make_unique<create_trigger_statement>();
        s->or_replace = or_replace;
        int header_start = peek().pos;
        s->trigger = qualified(904);
        if (accept_word("BEFORE")) {
            s->timing = "BEFORE";
        } else if (accept_word("AFTER")) {
            s->timing = "AFTER";
        } else if (accept_words({"INSTEAD", "OF"})) {
            s->timing = "INSTEAD OF";
        } else {
            fail(4071);
        }
        do {
            if (accept_word("INSERT")) {
                s->events.push_back("INSERT");
            } else if (accept_word("DELETE")) {
                s->events.push_back("DELETE");
            } else if (accept_word("UPDATE")) {
                s->events.push_back("UPDATE");
                if (accept_word("OF")) {
                    do {
                        identifier(904);
                    } while (accept_op(","));
                }
            } else {
                fail(4079);
            }
        } while (accept_word("OR"));
        expect_word("ON", 969);
        s->table = qualified(903);
        if (accept_word("REFERENCING")) {
            while (peek().is_word("NEW") || peek().is_word("OLD") || peek().is_word("PARENT")) {
                std::string which = advance().text;
                accept_word("AS");
                ident name = identifier(904);
                if (which == "NEW")
                    s->new_name = name.name;
                if (which == "OLD")
                    s->old_name = name.name;
            }
        }
        if (accept_word("FOR")) {
            expect_word("EACH", 905);
            expect_word("ROW", 905);
            s->for_each_row = true;
        }
        accept_word("ENABLE") || accept_word("DISABLE");
        int header_end = previous_end();
        if (accept_word("WHEN")) {
            if (!s->for_each_row)
                fail(4077);
            expect_op("(", 906);
            int start = peek().pos;
            s->when = parse_expr();
            s->when_text = source(start, previous_end());
            expect_op(")", 907);
            refuse_binds_in_when(*s->when);
        }
        s->description = source(header_start, header_end) + "\n";
        if (at_end())
            fail(4079);
        s->body_offset = peek().pos;
        s->body_text = std::string(sql_.substr(static_cast<size_t>(peek().pos)));
        parse_trigger_body(*s);
        index_ = tokens_.size() - 1;  // the body has been consumed
        return s;
    }

    // A WHEN condition names the rows as new.col and old.col; :new.col is a bind there.
    static void refuse_binds_in_when(const expr& e) {
        if (e.kind == expr_kind::bind || e.kind == expr_kind::trigger_row)
            throw ora_error(25000).at(e.pos);
        for (const expr_ptr& a : e.args) refuse_binds_in_when(*a);
    }

    void parse_trigger_body(create_trigger_statement& s) {
        try {
            if (accept_word("DECLARE")) {
                body_error("PLS-00103: Encountered the symbol \"DECLARE\"");
            }
            expect_plsql_word("BEGIN");
            s.body = parse_plsql_list({"END"});
            expect_plsql_word("END");
            if (peek().kind == token_kind::identifier && !peek().quoted)
                advance();
            if (!accept_op(";"))
                body_error(plsql_unexpected());
            if (!at_end())
                body_error(plsql_unexpected());
        } catch (const plsql_error& e) {
            s.body.clear();
            s.body_error = e.text;
            compute_line_column(s, e.pos);
        }
    }

    struct plsql_error {
        std::string text;
        int pos;
    };

    [[noreturn]] void body_error(std::string text) {
        throw plsql_error{std::move(text), peek().pos};
    }

    std::string plsql_unexpected() {
        if (at_end())
            return "PLS-00103: Encountered the symbol \"end-of-file\"";
        return "PLS-00103: Encountered the symbol \"" +
               std::string(sql_.substr(static_cast<size_t>(peek().pos),
                                       static_cast<size_t>(peek().end - peek().pos))) +
               "\"";
    }

    void expect_plsql_word(std::string_view w) {
        if (!accept_word(w))
            body_error(plsql_unexpected());
    }
    void expect_plsql_op(std::string_view op) {
        if (!accept_op(op))
            body_error(plsql_unexpected());
    }

    void compute_line_column(create_trigger_statement& s, int pos) {
        size_t body_start = sql_.size() - s.body_text.size();
        int line = 1;
        int column = 1;
        for (size_t i = body_start; i < static_cast<size_t>(pos) && i < sql_.size(); ++i) {
            if (sql_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        s.body_error_line = line;
        s.body_error_column = column;
    }

    std::vector<plsql_stmt> parse_plsql_list(std::initializer_list<std::string_view> stops) {
        std::vector<plsql_stmt> out;
        while (true) {
            for (std::string_view stop : stops) {
                if (peek().is_word(stop)) {
                    if (out.empty())
                        body_error(plsql_unexpected());
                    return out;
                }
            }
            if (at_end())
                body_error(plsql_unexpected());
            out.push_back(parse_plsql_statement());
        }
    }

    expr_ptr plsql_expression() {
        try {
            return parse_expr();
        } catch (const ora_error&) {
            body_error(plsql_unexpected());
        }
    }

    plsql_stmt parse_plsql_statement() {
        plsql_stmt st;
        if (accept_word("NULL")) {
            st.kind = plsql_stmt::null_stmt;
            expect_plsql_op(";");
            return st;
        }
        if (accept_word("IF")) {
            st.kind = plsql_stmt::if_stmt;
            st.conditions.push_back(plsql_expression());
            expect_plsql_word("THEN");
            st.branches.push_back(parse_plsql_list({"ELSIF", "ELSE", "END"}));
            while (accept_word("ELSIF")) {
                st.conditions.push_back(plsql_expression());
                expect_plsql_word("THEN");
                st.branches.push_back(parse_plsql_list({"ELSIF", "ELSE", "END"}));
            }
            if (accept_word("ELSE")) {
                st.branches.push_back(parse_plsql_list({"END"}));
            }
            expect_plsql_word("END");
            expect_plsql_word("IF");
            expect_plsql_op(";");
            return st;
        }
        if (accept_word("SELECT")) {
            st.kind = plsql_stmt::select_into;
            do {
                st.values.push_back(plsql_expression());
            } while (accept_op(","));
            expect_plsql_word("INTO");
            do {
                st.targets.push_back(plsql_target());
            } while (accept_op(","));
            expect_plsql_word("FROM");
            try {
                st.from.push_back(parse_table_ref());
            } catch (const ora_error&) {
                body_error(plsql_unexpected());
            }
            if (accept_word("WHERE"))
                st.where = plsql_expression();
            expect_plsql_op(";");
            return st;
        }
        st.kind = plsql_stmt::assign;
        st.targets.push_back(plsql_target());
        expect_plsql_op(":=");
        st.values.push_back(plsql_expression());
        expect_plsql_op(";");
        return st;
    }

    expr_ptr plsql_target() {
        const token& t = peek();
        if (t.kind == token_kind::bind && peek(1).is_op(".") &&
            peek(2).kind == token_kind::identifier) {
            return plsql_expression();
        }
        if (t.kind == token_kind::identifier) {
            // A local variable: declarations are not supported, so it cannot resolve.
            throw plsql_error{"PLS-00201: identifier '" + t.text + "' must be declared", t.pos};
        }
        body_error(plsql_unexpected());
    }

    // ---- ALTER, DROP, users, grants --------------------------------------------------

    std::unique_ptr<statement> parse_alter() {
        advance();
        if (accept_word("TABLE"))
            return parse_alter_table();
        if (accept_word("SEQUENCE")) {
            auto s = std::make_unique<sequence_statement>(statement_kind::alter_sequence);
            s->sequence = qualified(903);
            parse_sequence_options(s->options, false);
            return s;
        }
        if (accept_word("USER"))
            return parse_user(statement_kind::alter_user);
        if (accept_word("TRIGGER")) {
            auto s = std::make_unique<alter_trigger_statement>();
            s->trigger = qualified(904);
            if (accept_word("ENABLE")) {
                s->action = "ENABLE";
            } else if (accept_word("DISABLE")) {
                s->action = "DISABLE";
            } else if (accept_word("COMPILE")) {
                s->action = "COMPILE";
            } else {
                fail(922);
            }
            return s;
        }
        if (peek().is_word("SESSION") && peek(1).is_word("SET"))
            return parse_alter_session();
        if (peek().is_word("SESSION") || peek().is_word("SYSTEM") || peek().is_word("INDEX") ||
            peek().is_word("VIEW") || peek().is_word("DATABASE")) {
            fail(3001);
        }
        fail(940);
    }

    std::unique_ptr<statement> parse_alter_session() {
        advance();  // SESSION
        advance();  // SET
        auto s = std::make_unique<alter_session_statement>();
        do {
            const token& name = peek();
            if (name.kind != token_kind::identifier)
                fail(922);
            advance();
            expect_op("=", 922);
            const token& v = peek();
            if (v.kind == token_kind::end)
                fail(922);
            advance();
            s->settings.push_back({name.text, v.text, name.pos});
        } while (!at_end());
        return s;
    }

    std::unique_ptr<statement> parse_alter_table() {
        auto s = std::make_unique<alter_table_statement>();
        s->table = qualified(903);
        do {
            s->actions.push_back(parse_alter_action());
        } while (!at_end() &&
                 (peek().is_word("ADD") || peek().is_word("MODIFY") || peek().is_word("DROP")));
        return s;
    }

    alter_action parse_alter_action() {
        alter_action a;
        a.pos = peek().pos;
        if (accept_word("ADD")) {
            if (starts_constraint()) {
                a.kind = alter_action::add_constraint;
                a.constraint = parse_out_of_line_constraint();
                return a;
            }
            a.kind = alter_action::add_columns;
            if (accept_op("(")) {
                do {
                    if (starts_constraint())
                        fail(3001);
                    a.columns.push_back(parse_column_def(false));
                } while (accept_op(","));
                expect_op(")", 907);
            } else {
                a.columns.push_back(parse_column_def(false));
            }
            return a;
        }
        if (accept_word("MODIFY")) {
            if (peek().is_word("CONSTRAINT") || peek().is_word("PRIMARY"))
                fail(3001);
            a.kind = alter_action::modify_columns;
            if (accept_op("(")) {
                do {
                    a.columns.push_back(parse_column_def(true));
                } while (accept_op(","));
                expect_op(")", 907);
            } else {
                a.columns.push_back(parse_column_def(true));
            }
            return a;
        }
        if (accept_word("DROP")) {
            if (accept_word("CONSTRAINT")) {
                a.kind = alter_action::drop_constraint;
                a.names.push_back(identifier(904));
            } else if (accept_word("PRIMARY")) {
                expect_word("KEY", 905);
                a.kind = alter_action::drop_primary_key;
            } else if (accept_word("UNIQUE")) {
                a.kind = alter_action::drop_unique;
                a.names = column_list();
            } else if (accept_word("COLUMN")) {
                a.kind = alter_action::drop_columns;
                a.names.push_back(identifier(904));
            } else if (peek().is_op("(")) {
                a.kind = alter_action::drop_columns;
                a.names = column_list();
            } else {
                fail(905);
            }
            if (accept_word("CASCADE")) {
                a.cascade = true;
                accept_word("CONSTRAINTS");
            }
            accept_word("KEEP") || accept_word("DROP");
            if (peek().is_word("INDEX"))
                advance();
            return a;
        }
        if (accept_word("RENAME")) {
            if (accept_word("COLUMN")) {
                a.kind = alter_action::rename_column;
                a.names.push_back(identifier(904));
                expect_word("TO", 905);
                a.names.push_back(new_column_name());
            } else if (accept_word("CONSTRAINT")) {
                a.kind = alter_action::rename_constraint;
                a.names.push_back(identifier(904));
                expect_word("TO", 905);
                a.names.push_back(identifier(904));
            } else if (accept_word("TO")) {
                a.kind = alter_action::rename_to;
                a.names.push_back(identifier(903));
            } else {
                fail(905);
            }
            return a;
        }
        if (peek().is_word("ENABLE") || peek().is_word("DISABLE"))
            fail(3001);
        fail_or_end(1735);
    }

    std::unique_ptr<statement> parse_drop() {
        advance();
        auto s = std::make_unique<drop_statement>();
        if (accept_word("TABLE")) {
            s->object = object_kind::table;
            s->name = qualified(903);
            if (accept_word("CASCADE")) {
                expect_word("CONSTRAINTS", 905);
                s->cascade = true;
            }
            if (accept_word("PURGE"))
                s->purge = true;
            return s;
        }
        if (accept_word("SEQUENCE")) {
            s->object = object_kind::sequence;
        } else if (accept_word("INDEX")) {
            s->object = object_kind::index;
        } else if (accept_word("TRIGGER")) {
            s->object = object_kind::trigger;
        } else if (accept_word("USER")) {
            s->object = object_kind::user;
            s->name.name = identifier(904);
            if (accept_word("CASCADE"))
                s->cascade = true;
            return s;
        } else if (peek().is_word("VIEW") || peek().is_word("SYNONYM") ||
                   peek().is_word("PROCEDURE") || peek().is_word("FUNCTION") ||
                   peek().is_word("PACKAGE") || peek().is_word("TABLESPACE") ||
                   peek().is_word("ROLE") || peek().is_word("PUBLIC")) {
            fail(3001);
        } else {
            fail(950);
        }
        s->name = qualified(904);
        accept_word("FORCE");
        return s;
    }

    std::unique_ptr<statement> parse_truncate() {
        advance();
        expect_word("TABLE", 3290);
        auto s = std::make_unique<truncate_statement>();
        s->table = qualified(903);
        if (accept_word("DROP") || accept_word("REUSE"))
            expect_word("STORAGE", 905);
        return s;
    }

    std::string password_text() {
        const token& t = peek();
        if (t.kind != token_kind::identifier && t.kind != token_kind::number)
            fail(988);
        advance();
        if (t.quoted || t.kind == token_kind::number)
            return t.text;
        // An unquoted password keeps the case it was typed in.
        return source(t.pos, t.end);
    }

    long long quota_value() {
        if (accept_word("UNLIMITED"))
            return -1;
        if (peek().kind != token_kind::number)
            fail(2187);
        const token& amount = advance();
        long long n = 0;
        const char* first = amount.text.data();
        const char* last = first + amount.text.size();
        auto [end, ec] = std::from_chars(first, last, n);
        // A fraction or exponent is no byte count, and one that does not fit is no quota.
        if (ec != std::errc() || end != last)
            fail(2187, amount);
        if (peek().kind == token_kind::identifier && !peek().quoted) {
            const std::string& unit = peek().text;
            long long factor = unit == "K"   ? 1024LL
                               : unit == "M" ? 1048576LL
                               : unit == "G" ? 1073741824LL
                               : unit == "T" ? 1099511627776LL
                                             : 0;
            if (factor) {
                if (n > std::numeric_limits<long long>::max() / factor)
                    fail(2187, peek());
                advance();
                n *= factor;
            }
        }
        return n;
    }

    std::unique_ptr<statement> parse_user(statement_kind kind) {
        auto s = std::make_unique<user_statement>(kind);
        s->user = identifier(904);
        bool any = false;
        while (!at_end()) {
            any = true;
            if (accept_word("IDENTIFIED")) {
                if (peek().is_word("EXTERNALLY") || peek().is_word("GLOBALLY"))
                    fail(3001);
                expect_word("BY", 924);
                s->password = password_text();
            } else if (accept_word("DEFAULT")) {
                if (accept_word("ROLE"))
                    fail(3001);
                expect_word("TABLESPACE", 905);
                s->default_tablespace = identifier(904).name;
            } else if (accept_word("TEMPORARY")) {
                expect_word("TABLESPACE", 905);
                identifier(904);
            } else if (accept_word("QUOTA")) {
                s->quota = quota_value();
                expect_word("ON", 969);
                identifier(904);
            } else if (accept_word("ACCOUNT")) {
                if (accept_word("LOCK")) {
                    s->lock = true;
                } else if (accept_word("UNLOCK")) {
                    s->lock = false;
                } else {
                    fail(922);
                }
            } else if (accept_word("PASSWORD")) {
                expect_word("EXPIRE", 922);
            } else if (accept_word("PROFILE")) {
                identifier(904);
            } else {
                fail(922);
            }
        }
        if (kind == statement_kind::create_user && !s->password)
            fail_or_end(924);
        if (!any)
            fail(922);
        return s;
    }

    std::unique_ptr<statement> parse_grant() {
        bool grant = advance().text == "GRANT";
        auto s = std::make_unique<grant_statement>(grant ? statement_kind::grant
                                                         : statement_kind::revoke);
        do {
            std::string privilege;
            while (peek().kind == token_kind::identifier && !peek().quoted &&
                   !peek().is_word("TO") && !peek().is_word("ON") && !peek().is_word("FROM")) {
                if (!privilege.empty())
                    privilege += ' ';
                privilege += advance().text;
            }
            if (privilege.empty())
                fail(990);
            if (peek().is_op("("))
                fail(3001);
            s->privileges.push_back(privilege);
        } while (accept_op(","));
        if (accept_word("ON")) {
            s->object = qualified(903);
        }
        if (!accept_word(grant ? "TO" : "FROM"))
            fail_or_end(905);
        do {
            if (accept_word("PUBLIC")) {
                s->grantees.push_back(ident{"PUBLIC", false, 0});
            } else {
                s->grantees.push_back(identifier(987));
            }
        } while (accept_op(","));
        if (grant && accept_word("WITH")) {
            if (!accept_word("ADMIN") && !accept_word("GRANT"))
                fail(905);
            expect_word("OPTION", 905);
        }
        return s;
    }

    // Nesting is bounded so that no text can exhaust the stack of the parser, the translator
    // or the evaluator, which all recurse along the parsed tree.
    struct depth_guard {
        explicit depth_guard(parser& p) : p_(p) {
            if (++p_.depth_ > k_max_depth)
                p_.fail(3001);
        }
        ~depth_guard() { --p_.depth_; }
        parser& p_;
    };
    static constexpr int k_max_depth = 256;

    // A chain of one operator (a AND b AND ...) builds a tree as deep as it is long.
    void count_link(int& chain) {
        if (++chain > k_max_chain)
            fail(3001);
    }
    static constexpr int k_max_chain = 1000;

    std::string_view sql_;
    std::vector<token> tokens_;
    size_t index_ = 0;
    int depth_ = 0;
};

}  // namespace

std::unique_ptr<statement> parse_statement(std::string_view sql) {
    return parser(sql).statement_text();
}

expr_ptr parse_expression(std::string_view text) {
    return parser(text).lone_expression();
}

int statement_type_of(std::string_view sql) {
    // The first word, after blanks, comments and opening parentheses; the rest may not even
    // be valid SQL yet.
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '(') {
            ++i;
        } else if (sql.substr(i, 2) == "--") {
            size_t nl = sql.find('\n', i);
            i = nl == std::string_view::npos ? sql.size() : nl + 1;
        } else if (sql.substr(i, 2) == "/*") {
            size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else {
            break;
        }
    }
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) {
        word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++]))));
    }
    static const std::pair<std::string_view, int> types[] = {
        {"SELECT", 1}, {"WITH", 1},      {"UPDATE", 2}, {"DELETE", 3}, {"INSERT", 4},
        {"CREATE", 5}, {"DROP", 6},      {"ALTER", 7},  {"BEGIN", 8},  {"DECLARE", 9},
        {"MERGE", 16}, {"ROLLBACK", 17}, {"COMMIT", 21}};
    for (const auto& [w, t] : types) {
        if (word == w)
            return t;
    }
    return 0;
}

std::string expression_heading(std::string_view source_text) {
    std::string out;
    bool in_string = false;
    bool in_quoted = false;
    size_t pos = 0;
    while (pos < source_text.size()) {
        char c = source_text[pos];
        if (!in_quoted && c == '\'') {
            in_string = !in_string;
            out.push_back(c);
            ++pos;
            continue;
        }
        if (!in_string && c == '"') {
            in_quoted = !in_quoted;
            out.push_back(c);
            ++pos;
            continue;
        }
        if (!in_string && !in_quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            ++pos;
            continue;
        }
        if (in_quoted) {
            out.push_back(c);
            ++pos;
            continue;
        }
        append_utf8(out, to_upper(next_code_point(source_text, pos)));
    }
    return out;
}

}  // namespace oralite
