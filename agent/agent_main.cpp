#include "agent/agent_main.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"
#include "agent/agent_command_line.h"
#include "agent/agent_converter.h"
#include "core/console_error_presenter.h"
#include "core/console_progress.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"

namespace {

// What a finished run says of itself: everything arrived, or errors were reported, or it had to
// end before its end.
int status_of(const run_report& report) {
    if (report.ended_early) {
        return agent_status_failure;
    }
    return report.clean() ? agent_status_success : agent_status_errors;
}

}  // namespace

int agent_main(int argc, const char* const* argv, agent_run_function run) {
    // Switched off until --logfile= names a file; only lines of level 3 reach it.
    tk_trace_log log(std::string(), false, 3, false);
    error_handler handler(oracle_error_count, oracle_error_table,
                          std::make_unique<console_error_presenter>());
    handler.load_err_map(mysql_error_count, mysql_error_table);

    int status = agent_status_failure;
    std::unique_ptr<agent_converter> converter;
    try {
        converter = std::make_unique<agent_converter>();
        if (argc <= 1 || !parse_cmd_line(argc, argv)) {
            exit_with_message(agent_usage_text());
        }
        console_progress::enable(!converter->silent() && isatty(STDERR_FILENO) == 1);
        run(*converter);
        status = status_of(converter->last_report());
    } catch (const agent_exit& e) {
        status = e.status;
    } catch (const tk_final_exception&) {
        // An error that stops the work was shown already.
    } catch (const tk_exception& e) {
        // A run that could not start (a refused log-on, say): nothing was converted, which a
        // script must not read as success.
        try {
            handler.handle(e, false);
        } catch (const tk_final_exception&) {
        }
    } catch (const std::exception& e) {
        try {
            exit_with_message(e.what());
        } catch (const agent_exit&) {
        }
    } catch (...) {
        try {
            exit_with_message("Unknown exception");
        } catch (const agent_exit&) {
        }
    }
    console_progress::enable(false);
    // The converter goes first, then the error handler, then the trace log.
    converter.reset();
    tk_trace(3, "DRXAGENT ended with exit status %d", status);
    std::fflush(stdout);
    return status;
}
