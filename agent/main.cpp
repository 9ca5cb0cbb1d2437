// DRXAGENT: converts one MySQL database into an Oracle schema from the command line.
//
// Exit status: 0 when the run ended (errors of level 0 on the way were reported and skipped);
// -1 (255 to a shell) after the usage text, a validation failure, an error of level 1 or 2,
// or an exception from outside the toolkit.
#include <cstdio>
#include <memory>

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"
#include "agent/agent_command_line.h"
#include "agent/agent_converter.h"
#include "agent/agent_run.h"
#include "core/console_error_presenter.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"
#include "platform/codepage.h"

namespace {

int run(int argc, char** argv) {
    // Switched off until --logfile= names a file; only lines of level 3 reach it.
    tk_trace_log log(std::string(), false, 3, false);
    error_handler handler(oracle_error_count, oracle_error_table,
                          std::make_unique<console_error_presenter>());
    handler.load_err_map(mysql_error_count, mysql_error_table);

    std::unique_ptr<agent_converter> converter;
    try {
        converter = std::make_unique<agent_converter>();
        if (argc <= 1 || !parse_cmd_line(argc, argv)) {
            exit_with_message(agent_usage_text());
        }
        run_conversion(*converter);
    } catch (const tk_exception& e) {
        handler.handle(e, false);
    } catch (const std::exception& e) {
        exit_with_message(e.what());
    } catch (...) {
        exit_with_message("Unknown exception");
    }
    // The converter goes first, then the error handler, then the trace log.
    converter.reset();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::init_locale();
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        // Only the start-up objects can fail here, before any error handler exists.
        std::fprintf(stderr, "%s\n", e.what());
        return -1;
    }
}
