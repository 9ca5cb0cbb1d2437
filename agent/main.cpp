// DRXAGENT: converts one MySQL database into an Oracle schema from the command line.
//
// Exit status (agent_status): 0 when every selected table and record arrived; 1 when the run
// finished but reported errors; 255 (-1) after the usage text, a validation failure, a run that
// could not start or had to end, an internal error or an exception from outside the toolkit.
#include <cstdio>
#include <exception>

#include "agent/agent_main.h"
#include "agent/agent_run.h"
#include "platform/codepage.h"

int main(int argc, char** argv) {
    platform::init_locale();
    try {
        return agent_main(argc, argv, run_conversion);
    } catch (const std::exception& e) {
        // Only the start-up objects can fail here, before any error handler exists.
        std::fprintf(stderr, "%s\n", e.what());
        return -1;
    }
}
