#include "core/console_error_presenter.h"

#include <cstdio>

#include "core/console_progress.h"

void console_error_presenter::show_internal_error(const std::string& message) {
    console_progress::clear();
    if (!is_internal_error_text(message)) {
        std::fputs("Internal error: ", stdout);
    }
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void console_error_presenter::show_error(error_handler& handler, const std::string& text, int level,
                                         bool /*after_run*/) {
    if (!handler.silent()) {
        console_progress::clear();
        std::fputs("Error:\n", stdout);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (level != 0) {
        throw tk_final_exception();
    }
}
