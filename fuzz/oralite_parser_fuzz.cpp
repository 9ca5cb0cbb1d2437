// The SQL front end of the embedded Oracle target must turn any text into a parsed statement
// or an ORA error, never a crash, a hang or a sanitizer report.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oralite/lexer.h"
#include "oralite/ora_error.h"
#include "oralite/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    oralite::statement_type_of(sql);
    oralite::expression_heading(sql);
    try {
        oralite::tokenize(sql);
    } catch (const oralite::ora_error& e) {
        if (e.code() <= 0)
            std::abort();
    }
    try {
        oralite::parse_statement(sql);
    } catch (const oralite::ora_error& e) {
        if (e.code() <= 0 || std::string(e.what()).rfind("ORA-", 0) != 0)
            std::abort();
    }
    try {
        oralite::parse_expression(sql);
    } catch (const oralite::ora_error&) {
    }
    return 0;
}
