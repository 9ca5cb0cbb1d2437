// The SQL functions and operators of the engine, evaluated on values.
//
// Each function has one definition here, used both when the engine evaluates an expression
// itself (INSERT values, column defaults, trigger bodies) and when SQLite evaluates a query:
// the translated query calls the registered SQLite function ora_call(id, kinds, args...).
// Arguments are converted to the kinds a function expects before it runs (Oracle's implicit
// conversions); most functions return NULL when an argument is NULL.
#pragma once

#include <string_view>
#include <vector>

#include "oralite/value.h"

namespace oralite {

struct function_def {
    const char* name;
    int min_args;
    int max_args;
    // Per argument: 'N' number, 'T' text, 'D' date, 'R' raw, '*' as is; the last letter
    // repeats for further arguments.
    const char* conversions;
    bool null_propagates;  // any NULL argument gives NULL without calling eval
    column_type (*result)(const std::vector<column_type>& args);
    value (*eval)(std::vector<value>& args);
};

// The function of that name (upper case; "DBMS_LOB.GETLENGTH" for packaged ones). Raises
// ORA-00904 for an unknown name and ORA-00909 for a wrong argument count.
const function_def& find_function(std::string_view name, size_t arg_count, int error_pos);
const function_def& function_by_id(int id);
int function_id(const function_def& f);

// Operators as functions: "+", "-", "*", "/", "NEG", "||".
const function_def& operator_function(std::string_view op);
// The function of an arithmetic or concatenation node.
const function_def& operator_function(expr_kind kind);

// Applies a function: converts the arguments, handles NULLs, evaluates.
value call_function(const function_def& f, std::vector<value>& args);

// The aggregate functions understood by the query translator.
bool is_aggregate_name(std::string_view name);

}  // namespace oralite
