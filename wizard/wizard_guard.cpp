#include "wizard/wizard_guard.h"

#include "core/error_handler.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_shell.h"

void report_guarded_failure(const tk_exception& e) {
    if (error_handler* handler = error_handler::instance_or_null()) {
        try {
            handler->handle(e, true);
            return;
        } catch (const tk_final_exception&) {
            return;
        }
    }
    if (wizard_shell* shell = wizard_shell::instance_or_null()) {
        shell->error(from_ansi(e.message()));
    }
}

void report_guarded_failure(const std::exception& e) {
    if (wizard_shell* shell = wizard_shell::instance_or_null()) {
        shell->error(from_ansi(e.what()));
    }
}
