// The agent's run sequence, apart from main() so that tests can drive it with their own run.
#pragma once

class agent_converter;

using agent_run_function = void (*)(agent_converter&);

// Creates the trace log (off), the error handler and the converter, applies the command line
// and calls run; destroys them in reverse order. Returns 0 when the run ended, and -1 when an
// error reached this guard and was reported (the process has already ended for usage,
// validation failures and errors of level 1 and 2).
int agent_main(int argc, const char* const* argv, agent_run_function run);
