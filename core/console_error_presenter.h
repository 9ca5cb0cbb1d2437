// The console agent's way of showing errors: on standard output, "Error:" on one line and the
// message on the next (nothing when silent); "Internal error: " and the message even when
// silent. A level-1 error stops the work (tk_final_exception, which the agent's main turns into
// its exit status); a level-0 error lets the caller go on. A progress line on the terminal is
// taken away before a message is written (console_progress).
#pragma once

#include "core/error_handler.h"

class console_error_presenter : public error_presenter {
  public:
    void show_internal_error(const std::string& message) override;
    void show_error(error_handler& handler, const std::string& text, int level,
                    bool after_run) override;
};
