#include "agent/agent_converter.h"

#include "TK/tk_trace_log.h"

agent_converter::agent_converter() : dorvex_convertor(program::agent) {
    tk_trace(2, "agent_converter::ctor");
}

agent_converter::~agent_converter() {
    tk_trace(2, "agent_converter::dtor");
}
