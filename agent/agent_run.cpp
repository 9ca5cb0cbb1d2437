#include "agent/agent_run.h"

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"
#include "agent/agent_converter.h"

void run_conversion(agent_converter& /*converter*/) {
    tk_trace(2, "run_conversion");
    // The run, in this order, once the Oracle and MySQL sides and the driver exist:
    //   1. converter.connect_oracle_server();   (Oracle first: a refused log-on stops here)
    //   2. converter.connect_mysql_server();    (checks the port with port_number() first)
    //   3. converter();                         (the whole conversion, with console output)
    // Until then the agent says plainly that nothing was converted, rather than ending with
    // status 0 as if it had.
    throw tk_exception("The conversion is not available in this build: nothing was converted.", 1);
}
