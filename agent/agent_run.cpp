#include "agent/agent_run.h"

#include "TK/tk_trace_log.h"
#include "agent/agent_converter.h"

void run_conversion(agent_converter& converter) {
    tk_trace(2, "run_conversion");
    // Oracle first: a refused log-on stops here, before the MySQL server is contacted.
    converter.connect_oracle_server();
    converter.connect_mysql_server();
    converter();
}
