// Tokens of Oracle SQL and of the small PL/SQL subset used in trigger bodies.
//
// Unquoted identifiers are folded to upper case; quoted ones keep their exact text. Both are
// checked against Oracle's 30-byte limit (ORA-00972). Comments and optimizer hints are
// skipped. Every token remembers its byte offset in the statement text, which the parser
// reports as the parse error offset.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace oralite {

enum class token_kind {
    end,
    identifier,  // text = folded or quoted name
    string,      // text = value without quotes; national = N'...'
    number,      // text = the literal as written
    bind,        // text = the name after ':' (folded like an identifier), e.g. "1", "NEW"
    op,  // text = the operator or punctuation: ( ) , . ; + - * / || = <> != ^= < > <= >= := =>
};

struct token {
    token_kind kind = token_kind::end;
    std::string text;
    int pos = 0;  // byte offset of the first character
    int end = 0;  // byte offset after the last character
    bool quoted = false;
    bool national = false;

    bool is_op(std::string_view o) const { return kind == token_kind::op && text == o; }
    // An unquoted identifier equal to the (upper-case) keyword.
    bool is_word(std::string_view w) const {
        return kind == token_kind::identifier && !quoted && text == w;
    }
};

// Splits a statement into tokens; throws ora_error (00911, 00972, 01740, 01741, 01756, 01704)
// with the offset of the fault.
std::vector<token> tokenize(std::string_view sql);

// Words that may not be used as unquoted identifiers.
bool is_reserved_word(std::string_view upper_word);

inline constexpr size_t k_max_identifier_bytes = 30;

}  // namespace oralite
