#include "SQL/sql_fk_parser.h"

#include <cwctype>
#include <string_view>

#include "TK/tk_string.h"
#include "TK/tk_trace_log.h"

namespace {

// A small scanner over one line of the creation text: it knows quoted strings ('...' and
// "..." with doubled quotes and backslash escapes), quoted names (`...` with doubled
// backquotes) and parenthesised groups, so that words inside them (a COMMENT 'DEFAULT x', an
// ENUM('DEFAULT')) are never taken for keywords.
class line_scanner {
  public:
    explicit line_scanner(std::wstring_view line) : line_(line) {}

    bool at_end() {
        skip_blanks();
        return pos_ >= line_.size();
    }
    wchar_t peek() const { return pos_ < line_.size() ? line_[pos_] : L'\0'; }
    wchar_t peek(size_t ahead) const {
        return pos_ + ahead < line_.size() ? line_[pos_ + ahead] : L'\0';
    }

    // A backquoted name; empty when the line does not start with one.
    std::optional<std::wstring> quoted_name() {
        skip_blanks();
        if (peek() != L'`') {
            return std::nullopt;
        }
        std::wstring name;
        for (++pos_; pos_ < line_.size(); ++pos_) {
            if (line_[pos_] == L'`') {
                if (peek(1) != L'`') {
                    ++pos_;
                    return name;
                }
                ++pos_;
            }
            name.push_back(line_[pos_]);
        }
        return std::nullopt;
    }

    // Skips one token and returns it when it is a word (letters, digits, '_').
    std::wstring next_token() {
        skip_blanks();
        const wchar_t c = peek();
        if (c == L'\'' || c == L'"' || c == L'`') {
            skip_quoted(c);
            return {};
        }
        if (c == L'(') {
            skip_group();
            return {};
        }
        const size_t start = pos_;
        while (pos_ < line_.size() && is_word_char(line_[pos_])) {
            ++pos_;
        }
        if (pos_ == start) {
            ++pos_;
        }
        return std::wstring(line_.substr(start, pos_ - start));
    }

    // The text from here to the end of the line, without leading blanks.
    std::wstring_view rest() {
        skip_blanks();
        return line_.substr(pos_);
    }

  private:
    static bool is_word_char(wchar_t c) { return std::iswalnum(c) || c == L'_'; }

    void skip_blanks() {
        while (pos_ < line_.size() && std::iswspace(line_[pos_])) {
            ++pos_;
        }
    }

    void skip_quoted(wchar_t quote) {
        for (++pos_; pos_ < line_.size(); ++pos_) {
            const wchar_t c = line_[pos_];
            if (c == L'\\' && quote != L'`') {
                ++pos_;
            } else if (c == quote) {
                if (peek(1) != quote) {
                    ++pos_;
                    return;
                }
                ++pos_;
            }
        }
    }

    void skip_group() {
        int depth = 0;
        while (pos_ < line_.size()) {
            const wchar_t c = line_[pos_];
            if (c == L'\'' || c == L'"' || c == L'`') {
                skip_quoted(c);
                continue;
            }
            ++pos_;
            if (c == L'(') {
                ++depth;
            } else if (c == L')' && --depth == 0) {
                return;
            }
        }
    }

    std::wstring_view line_;
    size_t pos_ = 0;
};

bool equals_word(const std::wstring& word, const wchar_t* keyword) {
    return tk_wcsicmp(word, keyword) == 0;
}

// Literals as servers write them after DEFAULT: a quoted text, a number, a bit or hex string
// (b'101', x'0F', 0x0F), a text with a character-set introducer (_utf8mb4'x').
sql_default_kind classify_default(std::wstring_view value) {
    if (value.empty()) {
        return sql_default_kind::none;
    }
    const wchar_t first = value.front();
    const wchar_t second = value.size() > 1 ? value[1] : L'\0';
    if (first == L'\'' || first == L'"' || first == L'_') {
        return sql_default_kind::literal;
    }
    if ((first == L'b' || first == L'B' || first == L'x' || first == L'X') && second == L'\'') {
        return sql_default_kind::literal;
    }
    if (std::iswdigit(first) || first == L'-' || first == L'+' || first == L'.') {
        return sql_default_kind::literal;
    }
    line_scanner scanner(value);
    const std::wstring word = scanner.next_token();
    if (equals_word(word, L"NULL")) {
        return sql_default_kind::none;
    }
    for (const wchar_t* now :
         {L"CURRENT_TIMESTAMP", L"NOW", L"LOCALTIME", L"LOCALTIMESTAMP", L"SYSDATE"}) {
        if (equals_word(word, now)) {
            // Only the expression itself: current_timestamp() + INTERVAL 1 DAY is another.
            if (scanner.peek() == L'(') {
                scanner.next_token();
            }
            const std::wstring_view rest = scanner.rest();
            const bool alone = rest.empty() || rest.front() == L',' ||
                               equals_word(line_scanner(rest).next_token(), L"ON") ||
                               equals_word(line_scanner(rest).next_token(), L"NOT") ||
                               equals_word(line_scanner(rest).next_token(), L"NULL") ||
                               equals_word(line_scanner(rest).next_token(), L"COMMENT");
            return alone ? sql_default_kind::current_time : sql_default_kind::expression;
        }
    }
    return sql_default_kind::expression;
}

// The scanner after the word DEFAULT of the column's line; nothing when there is none.
std::optional<std::wstring_view> default_clause(const std::vector<std::wstring>& lines,
                                                const std::wstring& column, bool& found) {
    found = false;
    for (const std::wstring& line : lines) {
        line_scanner scanner(line);
        const std::optional<std::wstring> name = scanner.quoted_name();
        if (!name || tk_wcsicmp(*name, column) != 0) {
            continue;
        }
        found = true;
        while (!scanner.at_end()) {
            if (equals_word(scanner.next_token(), L"DEFAULT")) {
                return scanner.rest();
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

sql_fk_parser::sql_fk_parser(const std::wstring& table, const std::wstring& text)
    : table_(table), lines_(tk_split(text, L'\n')) {
    tk_trace_w(2, L"sql_fk_parser::ctor(%ls)", text.c_str());
}

std::optional<sql_default_kind> sql_fk_parser::column_default(const std::wstring& column) const {
    bool found = false;
    const std::optional<std::wstring_view> clause = default_clause(lines_, column, found);
    if (!found) {
        return std::nullopt;
    }
    return clause ? classify_default(*clause) : sql_default_kind::none;
}

std::wstring sql_fk_parser::column_default_text(const std::wstring& column) const {
    bool found = false;
    const std::optional<std::wstring_view> clause = default_clause(lines_, column, found);
    std::wstring text = clause ? std::wstring(*clause) : std::wstring();
    while (!text.empty() && (text.back() == L',' || std::iswspace(text.back()))) {
        text.pop_back();
    }
    return text;
}

std::optional<uint64_t> sql_fk_parser::auto_increment_next() const {
    static constexpr std::wstring_view option = L" AUTO_INCREMENT=";
    // Only the closing line holds table options; a column COMMENT may contain the same words.
    for (auto line = lines_.rbegin(); line != lines_.rend(); ++line) {
        if (line->empty() || (*line)[0] != L')') {
            continue;
        }
        const size_t at = line->find(option);
        if (at == std::wstring::npos) {
            return std::nullopt;
        }
        uint64_t value = 0;
        size_t pos = at + option.size();
        const size_t first_digit = pos;
        for (; pos < line->size() && iswdigit((*line)[pos]); ++pos) {
            const auto digit = static_cast<uint64_t>((*line)[pos] - L'0');
            if (value > (UINT64_MAX - digit) / 10) {
                return std::nullopt;
            }
            value = value * 10 + digit;
        }
        if (pos == first_digit || value < 1) {
            return std::nullopt;
        }
        return value;
    }
    return std::nullopt;
}
