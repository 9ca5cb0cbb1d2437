// The converter the agent applies its command line to: the toolkit converter (log file,
// silent), both settings objects and the conversion switches, as one process-wide object.
//
// The conversion driver will be this object: it derives from the same bases and adds the run
// itself; the agent then builds the driver instead (see agent_run.h).
#pragma once

#include <string>

#include "TK/tk_converter.h"
#include "TK/tk_singleton.h"
#include "core/conversion_switches.h"
#include "core/mysql_converter_impl.h"
#include "core/oracle_converter_impl.h"

class agent_converter : public tk_converter,
                        public oracle_converter_impl,
                        public mysql_converter_impl,
                        public conversion_switches,
                        public tk_singleton<agent_converter> {
  public:
    agent_converter();
    ~agent_converter() override;

    // Loads the profile file at path into the converter; true when it was loaded. Profile
    // files are read by the driver's profile operations; until those exist nothing is loaded
    // and the run goes on as without a profile.
    bool load_profile(const std::string& path);
};
