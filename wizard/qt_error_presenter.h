// The wizard's way of showing errors, plugged into the error handler so that the core stays
// free of Qt.
//
// Level 0: the Continue/Abort dialog (unless silent); Abort during a run raises
// tk_final_exception, which ends the run quietly; otherwise the dialog's check box becomes the
// handler's silent flag. Level 1: the wizard's error box (unless silent); during a run
// tk_final_exception follows. Internal errors: the internal-error dialog, then the process
// ends with status -1. While the wizard is initialised every composed message also joins the
// list the finish page shows (at most 20).
//
// Called on whichever thread met the error; the dialogs always open on the window thread,
// modal to the whole program, while the caller waits.
#pragma once

#include "core/error_handler.h"

class qt_error_presenter : public error_presenter {
  public:
    void show_internal_error(const std::string& message) override;
    void show_error(error_handler& handler, const std::string& text, int level,
                    bool after_run) override;
};
