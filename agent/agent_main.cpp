#include "agent/agent_main.h"

#include <memory>

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"
#include "agent/agent_command_line.h"
#include "agent/agent_converter.h"
#include "core/console_error_presenter.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"

int agent_main(int argc, const char* const* argv, agent_run_function run) {
    // Switched off until --logfile= names a file; only lines of level 3 reach it.
    tk_trace_log log(std::string(), false, 3, false);
    error_handler handler(oracle_error_count, oracle_error_table,
                          std::make_unique<console_error_presenter>());
    handler.load_err_map(mysql_error_count, mysql_error_table);

    int status = 0;
    std::unique_ptr<agent_converter> converter;
    try {
        converter = std::make_unique<agent_converter>();
        if (argc <= 1 || !parse_cmd_line(argc, argv)) {
            exit_with_message(agent_usage_text());
        }
        run(*converter);
    } catch (const tk_exception& e) {
        handler.handle(e, false);
        // Only an error that lets the work go on returns here. It ended the whole run (a
        // refused log-on, for instance), so nothing was converted: a script must not read
        // that as success.
        status = -1;
    } catch (const std::exception& e) {
        exit_with_message(e.what());
    } catch (...) {
        exit_with_message("Unknown exception");
    }
    // The converter goes first, then the error handler, then the trace log.
    converter.reset();
    return status;
}
