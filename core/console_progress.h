// The agent's progress line: one line on the terminal that rewrites itself while a table is
// copied (the table, the records done of the total, rows per second and the time left).
//
// It is written to standard error, and only when standard error is a terminal: nothing of it
// reaches a pipe, a file or the trace log. Everything else the agent writes to the console
// takes the line away first (clear), so that messages never run into it. The agent has one
// thread; these functions are not for the wizard's.
#pragma once

#include <cstdint>
#include <string>

namespace console_progress {

// Whether the line is shown at all: standard error is a terminal and the agent is not silent.
void enable(bool on);
bool enabled();

// Shows the line for a table (replacing what was shown): records done of the total, at the
// rate given (rows per second, 0 when unknown).
void show(const std::wstring& table, int64_t done, int64_t total, double rows_per_second);
// Takes the line away, when one is shown.
void clear();

// The text of the line, for tests: "orders: 12,345 of 1,000,000 records, 45,000 rows/s, 0:21
// left".
std::wstring line(const std::wstring& table, int64_t done, int64_t total, double rows_per_second);

}  // namespace console_progress
