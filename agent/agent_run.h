// The agent's run once its options are applied: connect to Oracle, then to MySQL, then run
// the conversion driver once, with its console output.
#pragma once

class agent_converter;

// Raises the toolkit exceptions of the connections and the run; main's guard reports them.
void run_conversion(agent_converter& converter);
