#include "oralite/expression_text.h"

namespace oralite {

namespace {

// Binding strength: a part binding less than its place needs parentheses.
int strength(expr_kind k) {
    switch (k) {
        case expr_kind::logical_or:
            return 1;
        case expr_kind::logical_and:
            return 2;
        case expr_kind::logical_not:
            return 3;
        case expr_kind::eq:
        case expr_kind::ne:
        case expr_kind::lt:
        case expr_kind::le:
        case expr_kind::gt:
        case expr_kind::ge:
        case expr_kind::is_null:
        case expr_kind::is_not_null:
        case expr_kind::like:
        case expr_kind::not_like:
        case expr_kind::between:
        case expr_kind::not_between:
        case expr_kind::in_list:
        case expr_kind::not_in_list:
            return 4;
        case expr_kind::add:
        case expr_kind::subtract:
        case expr_kind::concat:
            return 5;
        case expr_kind::multiply:
        case expr_kind::divide:
            return 6;
        case expr_kind::negate:
            return 7;
        default:
            return 8;
    }
}

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string string_literal(const std::string& text) {
    std::string out = "'";
    for (char ch : text) out += ch == '\'' ? std::string("''") : std::string(1, ch);
    return out + "'";
}

std::string text_of(const expr& e);

// A part of `e`: in parentheses when it binds less than `e` (or as little, on the right of a
// left-associative operator).
std::string part(const expr& e, const expr& whole, bool right = false) {
    int need = strength(whole.kind);
    int have = strength(e.kind);
    std::string t = text_of(e);
    return have < need || (right && have == need && need >= 5) ? "(" + t + ")" : t;
}

std::string binary(const expr& e, const char* op) {
    return part(*e.args[0], e) + op + part(*e.args[1], e, true);
}

std::string list(const expr& e, size_t from) {
    std::string out;
    for (size_t i = from; i < e.args.size(); ++i) {
        out += (i > from ? "," : "") + text_of(*e.args[i]);
    }
    return out;
}

std::string case_text(const expr& e, bool simple) {
    std::string out = "CASE ";
    size_t i = 0;
    if (simple)
        out += text_of(*e.args[i++]);
    size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
    for (; i + 1 < pairs_end; i += 2) {
        std::string when = text_of(*e.args[i]);
        out += " WHEN " + (simple ? when : "(" + when + ")") + " THEN " + text_of(*e.args[i + 1]);
    }
    if (e.has_else)
        out += " ELSE " + text_of(*e.args.back());
    return out + " END";
}

std::string function_text(const expr& e) {
    std::string name;
    for (const ident& p : e.path) name += (name.empty() ? "" : ".") + p.name;
    if (e.args.size() == 1 && e.args[0]->kind == expr_kind::star)
        return name + "(*)";
    return name + "(" + std::string(e.distinct ? "DISTINCT " : "") + list(e, 0) + ")";
}

std::string text_of(const expr& e) {
    switch (e.kind) {
        case expr_kind::null_literal:
            return "NULL";
        case expr_kind::number_literal:
            return e.text;
        case expr_kind::string_literal:
            return string_literal(e.text);
        case expr_kind::bind:
            return ":" + e.text;
        case expr_kind::column: {
            std::string out;
            for (const ident& p : e.path) out += (out.empty() ? "" : ".") + quoted(p.name);
            return out;
        }
        case expr_kind::star:
            return "*";
        case expr_kind::negate:
            return "-" + part(*e.args[0], e);
        case expr_kind::add:
            return binary(e, "+");
        case expr_kind::subtract:
            return binary(e, "-");
        case expr_kind::multiply:
            return binary(e, "*");
        case expr_kind::divide:
            return binary(e, "/");
        case expr_kind::concat:
            return binary(e, "||");
        case expr_kind::eq:
            return binary(e, "=");
        case expr_kind::ne:
            return binary(e, "<>");
        case expr_kind::lt:
            return binary(e, "<");
        case expr_kind::le:
            return binary(e, "<=");
        case expr_kind::gt:
            return binary(e, ">");
        case expr_kind::ge:
            return binary(e, ">=");
        case expr_kind::logical_and:
            return binary(e, " AND ");
        case expr_kind::logical_or:
            return binary(e, " OR ");
        case expr_kind::logical_not:
            return "NOT " + part(*e.args[0], e);
        case expr_kind::is_null:
            return part(*e.args[0], e) + " IS NULL";
        case expr_kind::is_not_null:
            return part(*e.args[0], e) + " IS NOT NULL";
        case expr_kind::like:
        case expr_kind::not_like: {
            std::string out = part(*e.args[0], e) +
                              (e.kind == expr_kind::like ? " LIKE " : " NOT LIKE ") +
                              part(*e.args[1], e, true);
            if (e.args.size() > 2)
                out += " ESCAPE " + text_of(*e.args[2]);
            return out;
        }
        case expr_kind::between:
        case expr_kind::not_between:
            return part(*e.args[0], e) +
                   (e.kind == expr_kind::between ? " BETWEEN " : " NOT BETWEEN ") +
                   part(*e.args[1], e, true) + " AND " + part(*e.args[2], e, true);
        case expr_kind::in_list:
        case expr_kind::not_in_list:
            return part(*e.args[0], e) + (e.kind == expr_kind::in_list ? " IN (" : " NOT IN (") +
                   list(e, 1) + ")";
        case expr_kind::function:
            return function_text(e);
        case expr_kind::case_simple:
            return case_text(e, true);
        case expr_kind::case_searched:
            return case_text(e, false);
        case expr_kind::rowid:
            return "ROWID";
        case expr_kind::rownum:
            return "ROWNUM";
        case expr_kind::sysdate:
            return "SYSDATE";
        case expr_kind::systimestamp:
            return "SYSTIMESTAMP";
        case expr_kind::user:
            return "USER";
        default:
            return e.text;
    }
}

}  // namespace

std::string oracle_expression_text(const expr& e) {
    return text_of(e);
}

}  // namespace oralite
