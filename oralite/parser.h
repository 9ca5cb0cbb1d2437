// The SQL front end: turns one statement text into its parsed form (ast.h).
//
// Syntax errors raise ora_error with Oracle's number (00900, 00904, 00905, 00907, 00911,
// 00917, 00921, 00922, 00923, 00933, 00936, ...) and the byte offset of the fault. Errors in a
// trigger's PL/SQL body do not raise: the body's error is recorded in the statement, because
// Oracle creates such a trigger with compilation errors.
#pragma once

#include <memory>
#include <string_view>

#include "oralite/ast.h"

namespace oralite {

std::unique_ptr<statement> parse_statement(std::string_view sql);

// A lone expression (a stored column default).
expr_ptr parse_expression(std::string_view text);

// The OCI statement type (OCI_STMT_ codes) from the first words of the text, as known right
// after OCIStmtPrepare, before the statement has been parsed.
int statement_type_of(std::string_view sql);

// The column heading Oracle gives an expression: the text with blanks removed and unquoted
// parts in upper case.
std::string expression_heading(std::string_view source_text);

}  // namespace oralite
