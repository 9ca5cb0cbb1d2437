#include "oralite/lexer.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "oralite/ora_error.h"
#include "oralite/unicode.h"

namespace oralite {

namespace {

constexpr std::array<std::string_view, 109> k_reserved = {
    "ACCESS",    "ADD",      "ALL",        "ALTER",      "AND",      "ANY",        "AS",
    "ASC",       "AUDIT",    "BETWEEN",    "BY",         "CHAR",     "CHECK",      "CLUSTER",
    "COLUMN",    "COMMENT",  "COMPRESS",   "CONNECT",    "CREATE",   "CURRENT",    "DATE",
    "DECIMAL",   "DEFAULT",  "DELETE",     "DESC",       "DISTINCT", "DROP",       "ELSE",
    "EXCLUSIVE", "EXISTS",   "FILE",       "FLOAT",      "FOR",      "FROM",       "GRANT",
    "GROUP",     "HAVING",   "IDENTIFIED", "IMMEDIATE",  "IN",       "INCREMENT",  "INDEX",
    "INITIAL",   "INSERT",   "INTEGER",    "INTERSECT",  "INTO",     "IS",         "LEVEL",
    "LIKE",      "LOCK",     "LONG",       "MAXEXTENTS", "MINUS",    "MLSLABEL",   "MODE",
    "MODIFY",    "NOAUDIT",  "NOCOMPRESS", "NOT",        "NOWAIT",   "NULL",       "NUMBER",
    "OF",        "OFFLINE",  "ON",         "ONLINE",     "OPTION",   "OR",         "ORDER",
    "PCTFREE",   "PRIOR",    "PRIVILEGES", "PUBLIC",     "RAW",      "RENAME",     "RESOURCE",
    "REVOKE",    "ROW",      "ROWID",      "ROWNUM",     "ROWS",     "SELECT",     "SESSION",
    "SET",       "SHARE",    "SIZE",       "SMALLINT",   "START",    "SUCCESSFUL", "SYNONYM",
    "SYSDATE",   "TABLE",    "THEN",       "TO",         "TRIGGER",  "UID",        "UNION",
    "UNIQUE",    "UPDATE",   "USER",       "VALIDATE",   "VALUES",   "VARCHAR",    "VARCHAR2",
    "VIEW",      "WHENEVER", "WHERE",      "WITH"};

bool is_ident_char(char32_t cp) {
    return is_letter(cp) || (cp >= '0' && cp <= '9') || cp == '_' || cp == '$' || cp == '#';
}

class lexer {
  public:
    explicit lexer(std::string_view sql) : sql_(sql) {}

    std::vector<token> run() {
        std::vector<token> out;
        while (true) {
            skip_space_and_comments();
            if (pos_ >= sql_.size()) {
                token t;
                t.pos = t.end = static_cast<int>(pos_);
                out.push_back(t);
                return out;
            }
            out.push_back(next());
        }
    }

  private:
    [[noreturn]] void fail(int code, size_t at) { throw ora_error(code).at(static_cast<int>(at)); }

    void skip_space_and_comments() {
        while (pos_ < sql_.size()) {
            char c = sql_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '-' && pos_ + 1 < sql_.size() && sql_[pos_ + 1] == '-') {
                size_t nl = sql_.find('\n', pos_);
                pos_ = nl == std::string_view::npos ? sql_.size() : nl + 1;
            } else if (c == '/' && pos_ + 1 < sql_.size() && sql_[pos_ + 1] == '*') {
                size_t close = sql_.find("*/", pos_ + 2);
                if (close == std::string_view::npos) {
                    fail(1742, pos_);
                }
                pos_ = close + 2;
            } else {
                return;
            }
        }
    }

    token next() {
        size_t start = pos_;
        char c = sql_[pos_];
        unsigned char uc = static_cast<unsigned char>(c);
        if ((c == 'N' || c == 'n') && pos_ + 1 < sql_.size() && sql_[pos_ + 1] == '\'') {
            ++pos_;
            token t = string_literal(start);
            t.national = true;
            return t;
        }
        if ((c == 'Q' || c == 'q') && pos_ + 2 < sql_.size() && sql_[pos_ + 1] == '\'') {
            return q_literal(start);
        }
        if (c == '\'') {
            return string_literal(start);
        }
        if (c == '"') {
            return quoted_identifier(start);
        }
        if (std::isdigit(uc) || (c == '.' && pos_ + 1 < sql_.size() &&
                                 std::isdigit(static_cast<unsigned char>(sql_[pos_ + 1])))) {
            return number(start);
        }
        if (c == ':' && pos_ + 1 < sql_.size() && sql_[pos_ + 1] != '=') {
            ++pos_;
            if (pos_ < sql_.size() && sql_[pos_] == '"') {
                token t = quoted_identifier(pos_);
                t.kind = token_kind::bind;
                t.pos = static_cast<int>(start);
                return t;
            }
            size_t name_start = pos_;
            skip_identifier_chars();
            if (pos_ == name_start) {
                fail(911, start);
            }
            return make_token(token_kind::bind,
                              utf8_upper(sql_.substr(name_start, pos_ - name_start)), start);
        }
        if (uc >= 0x80 || std::isalpha(uc)) {
            size_t p = pos_;
            char32_t cp = next_code_point(sql_, p);
            if (is_letter(cp)) {
                return identifier(start);
            }
            fail(911, start);
        }
        static const std::string_view two_char_ops[] = {
            "||", "<=", ">=", "<>", "!=", "^=", "~=", ":=", "=>", "**"};
        for (std::string_view op : two_char_ops) {
            if (sql_.substr(pos_, 2) == op) {
                pos_ += 2;
                return make_token(token_kind::op, std::string(op), start);
            }
        }
        static const std::string_view one_char_ops = "(),.;+-*/=<>@%";
        if (one_char_ops.find(c) != std::string_view::npos) {
            ++pos_;
            return make_token(token_kind::op, std::string(1, c), start);
        }
        fail(911, start);
    }

    // A token from `start` up to the current position.
    token make_token(token_kind kind, std::string text, size_t start) const {
        token t;
        t.kind = kind;
        t.text = std::move(text);
        t.pos = static_cast<int>(start);
        t.end = static_cast<int>(pos_);
        return t;
    }

    void skip_identifier_chars() {
        while (pos_ < sql_.size()) {
            size_t p = pos_;
            char32_t cp = next_code_point(sql_, p);
            if (!is_ident_char(cp))
                break;
            pos_ = p;
        }
    }

    token identifier(size_t start) {
        skip_identifier_chars();
        token t =
            make_token(token_kind::identifier, utf8_upper(sql_.substr(start, pos_ - start)), start);
        if (t.text.size() > k_max_identifier_bytes) {
            fail(972, start);
        }
        return t;
    }

    token quoted_identifier(size_t start) {
        size_t close = sql_.find('"', start + 1);
        if (close == std::string_view::npos) {
            fail(1740, start);
        }
        std::string_view name = sql_.substr(start + 1, close - start - 1);
        if (name.empty()) {
            fail(1741, start);
        }
        if (name.find('\0') != std::string_view::npos) {
            fail(911, start);
        }
        if (name.size() > k_max_identifier_bytes) {
            fail(972, start);
        }
        pos_ = close + 1;
        token t = make_token(token_kind::identifier, std::string(name), start);
        t.quoted = true;
        return t;
    }

    token string_literal(size_t start) {
        std::string value;
        ++pos_;  // opening quote
        while (true) {
            if (pos_ >= sql_.size()) {
                fail(1756, start);
            }
            char c = sql_[pos_++];
            if (c == '\'') {
                if (pos_ < sql_.size() && sql_[pos_] == '\'') {
                    value.push_back('\'');
                    ++pos_;
                    continue;
                }
                break;
            }
            value.push_back(c);
        }
        return finish_string(std::move(value), start);
    }

    token q_literal(size_t start) {
        pos_ += 2;  // q'
        char open = sql_[pos_];
        char close = open;
        switch (open) {
            case '[':
                close = ']';
                break;
            case '{':
                close = '}';
                break;
            case '(':
                close = ')';
                break;
            case '<':
                close = '>';
                break;
            case ' ':
            case '\t':
            case '\n':
                fail(911, start);
            default:
                break;
        }
        ++pos_;
        std::string terminator{close, '\''};
        size_t end = sql_.find(terminator, pos_);
        if (end == std::string_view::npos) {
            fail(1756, start);
        }
        std::string value(sql_.substr(pos_, end - pos_));
        pos_ = end + 2;
        return finish_string(std::move(value), start);
    }

    token finish_string(std::string value, size_t start) {
        if (value.size() > 4000) {
            fail(1704, start);
        }
        return make_token(token_kind::string, std::move(value), start);
    }

    token number(size_t start) {
        auto digits = [&] {
            while (pos_ < sql_.size() && std::isdigit(static_cast<unsigned char>(sql_[pos_]))) {
                ++pos_;
            }
        };
        digits();
        if (pos_ < sql_.size() && sql_[pos_] == '.' &&
            !(pos_ + 1 < sql_.size() && sql_[pos_ + 1] == '.')) {
            ++pos_;
            digits();
        }
        if (pos_ < sql_.size() && (sql_[pos_] == 'e' || sql_[pos_] == 'E')) {
            size_t save = pos_;
            ++pos_;
            if (pos_ < sql_.size() && (sql_[pos_] == '+' || sql_[pos_] == '-')) {
                ++pos_;
            }
            if (pos_ < sql_.size() && std::isdigit(static_cast<unsigned char>(sql_[pos_]))) {
                digits();
            } else {
                pos_ = save;
            }
        }
        return make_token(token_kind::number, std::string(sql_.substr(start, pos_ - start)), start);
    }

    std::string_view sql_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<token> tokenize(std::string_view sql) {
    return lexer(sql).run();
}

bool is_reserved_word(std::string_view upper_word) {
    return std::find(k_reserved.begin(), k_reserved.end(), upper_word) != k_reserved.end();
}

}  // namespace oralite
