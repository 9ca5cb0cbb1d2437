// The outermost guard of the window thread: an exception must never leave a Qt event handler
// (Qt cannot carry it through its event loop, and the program would abort). Toolkit exceptions
// go to the error handler as errors after the work (its dialogs, or the end of the program on
// an internal error); any other exception is shown in the wizard's error box.
#pragma once

#include <exception>
#include <utility>

#include "TK/tk_exception.h"

void report_guarded_failure(const tk_exception& e);
void report_guarded_failure(const std::exception& e);

// Runs fn; true when it returned normally.
template <class F>
bool run_guarded(F&& fn) {
    try {
        std::forward<F>(fn)();
        return true;
    } catch (const tk_exception& e) {
        report_guarded_failure(e);
    } catch (const tk_final_exception&) {
        // The user chose to stop; there is nothing more to say.
    } catch (const std::exception& e) {
        report_guarded_failure(e);
    }
    return false;
}

// A slot that runs fn under the guard.
template <class F>
auto guarded(F fn) {
    return [fn = std::move(fn)](auto&&...) { run_guarded(fn); };
}
