// Oracle's own spelling of an expression, as its dictionary keeps the expression of a
// function-based index (USER_IND_EXPRESSIONS.COLUMN_EXPRESSION): column names quoted as
// stored, no blanks around operators, a searched CASE as `CASE  WHEN (condition) THEN ...`.
// Pure functions over a parsed expression; they never fail.
#pragma once

#include <string>

#include "oralite/ast.h"

namespace oralite {

std::string oracle_expression_text(const expr& e);

}  // namespace oralite
