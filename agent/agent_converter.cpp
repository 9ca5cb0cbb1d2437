#include "agent/agent_converter.h"

#include "TK/tk_trace_log.h"

agent_converter::agent_converter() {
    tk_trace(2, "agent_converter::ctor");
}

agent_converter::~agent_converter() {
    tk_trace(2, "agent_converter::dtor");
}

bool agent_converter::load_profile(const std::string& path) {
    tk_trace(2, "agent_converter::load_profile(%s): profile files are not supported yet",
             path.c_str());
    return false;
}
