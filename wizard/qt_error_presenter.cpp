#include "wizard/qt_error_presenter.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "TK/tk_trace_log.h"
#include "platform/codepage.h"
#include "wizard/dlg_error_continue.h"
#include "wizard/dlg_error_ex.h"
#include "wizard/window_thread.h"
#include "wizard/wizard_shell.h"

namespace {

QString from_ansi(const std::string& text) {
    return QString::fromStdWString(platform::ansi_to_wide(text));
}

// Error dialogs belong to the wizard when it is up, and block the whole program either way:
// the worker that asked waits for the answer.
template <class Dialog>
void prepare(Dialog& dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
}

QWidget* owner() {
    if (wizard_shell::is_initialized()) {
        return &wizard_shell::instance();
    }
    return QApplication::activeWindow();
}

}  // namespace

void qt_error_presenter::show_internal_error(const std::string& message) {
    on_window_thread(qApp, [&] {
        dlg_error_ex dialog(from_ansi(message), owner());
        prepare(dialog);
        dialog.exec();
    });
    // The handler would end the process with exit(), which runs the program's static
    // destructors while the window thread may still be painting; an internal error ends the
    // process at once instead, with the same status.
    std::fflush(nullptr);
    std::_Exit(-1);
}

void qt_error_presenter::show_error(error_handler& handler, const std::string& text, int level,
                                    bool after_run) {
    if (wizard_shell::is_initialized()) {
        wizard_shell::instance().add_error(text);
    }
    if (level == 0) {
        if (handler.silent()) {
            return;
        }
        int result = 0;
        bool do_not_show_again = false;
        on_window_thread(qApp, [&] {
            dlg_error_continue dialog(from_ansi(text), owner());
            prepare(dialog);
            result = dialog.exec();
            do_not_show_again = dialog.do_not_show_again();
        });
        if (result == dlg_error_continue::abort_result && !after_run) {
            throw tk_final_exception();
        }
        handler.set_silent(do_not_show_again);
        return;
    }
    if (!handler.silent()) {
        tk_trace(1, "Step 1");
        if (wizard_shell* shell = wizard_shell::instance_or_null()) {
            shell->error(from_ansi(text));
        }
    }
    tk_trace(1, "Step 2");
    if (!after_run) {
        throw tk_final_exception();
    }
}
