// The converter the agent applies its command line to: the conversion driver with the agent's
// defaults (mode overwrite, uppercase and blob2text off), its console output, and every table
// of the source converted when none is selected.
#pragma once

#include "TK/tk_singleton.h"
#include "core/dorvex_convertor.h"

class agent_converter : public dorvex_convertor, public tk_singleton<agent_converter> {
  public:
    using tk_singleton<agent_converter>::instance;
    using tk_singleton<agent_converter>::instance_or_null;

    agent_converter();
    ~agent_converter() override;
};
