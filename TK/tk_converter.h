// The toolkit base of the converters: the state every converter shares whatever it converts.
//
// The conversion driver derives from it (through the generic converter with the profile
// operations) and runs one conversion in operator(), inherited as a tk_runnable so that the
// wizard can run it on its worker thread. Used from one thread at a time.
#pragma once

#include <string>

#include "TK/tk_thread.h"

class tk_converter : public tk_runnable {
  public:
    tk_converter();
    ~tk_converter() override;

    // Switches the trace log on, writing to path. An empty path changes nothing. Raises
    // tk_exception (level 1) with "Logfile name specifies an existing read-only file." when
    // the file exists and opens only for reading, and with "Logfile path does not
    // exist.\nPlease verify the correct path was given." when its folder does not exist, and
    // with "Logfile name specifies a folder, not a file." when it names a folder; the trace
    // log then stays as it was. A file that does not exist yet is created by the first
    // log line. The trace log must exist (tk_mail_assertion otherwise).
    void set_logfile(const std::string& path);
    // The log file name last accepted by set_logfile; empty by default.
    const std::string& log_file() const { return log_file_; }

    // When silent, the agent writes nothing to the console (internal errors excepted).
    virtual void set_silent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }

    // Set when a conversion run has ended; the wizard's progress page polls it.
    bool finished = false;

  private:
    bool silent_ = false;
    std::string log_file_;
};
