// The agent's run sequence, apart from main() so that tests can drive it with their own run.
#pragma once

class agent_converter;

using agent_run_function = void (*)(agent_converter&);

// Creates the trace log (off), the error handler and the converter, applies the command line
// and calls run; destroys them in reverse order and ends the log with the exit status. The one
// place that decides the status (agent_status): 0 when every selected table and record arrived,
// 1 when the run finished with errors reported, 255 for usage and validation failures, a run
// that could not start or had to end, internal errors and exceptions from outside the toolkit.
int agent_main(int argc, const char* const* argv, agent_run_function run);
