// DRXAGENT: converts one MySQL database into an Oracle schema from the command line.
//
// Exit status: 0 when the run ended (errors that only skip a table or a record were reported
// on the way); -1 (255 to a shell) after the usage text, a validation failure, an error that
// ended the run, or an exception from outside the toolkit.
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
