#include "core/error_handler.h"

#include <algorithm>
#include <cstdlib>

#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

error_handler::error_handler(size_t count, const tk_error_entry* entries,
                             std::unique_ptr<error_presenter> presenter)
    : messages_(count, entries), presenter_(std::move(presenter)) {
    TK_ASSERT(presenter_ != nullptr);
    tk_trace(2, "error_handler::ctor");
}

error_handler::~error_handler() {
    tk_trace(2, "error_handler::dtor");
}

void error_handler::load_err_map(size_t count, const tk_error_entry* entries) {
    tk_trace(2, "error_handler::load_err_map");
    messages_.load_map(count, entries);
}

void error_handler::set_presenter(std::unique_ptr<error_presenter> presenter) {
    TK_ASSERT(presenter != nullptr);
    presenter_ = std::move(presenter);
}

void error_handler::set_context(const std::wstring& table) {
    context_ = tk_ucs2_to_ansi(table);
}

void error_handler::set_context(const std::wstring& table, int64_t record) {
    context_ = tk_ucs2_to_ansi(
        tk_wformat(L"%ls, record #%lld", table.c_str(), static_cast<long long>(record)));
}

std::string error_handler::message_with_breaks(const tk_exception& e) const {
    std::string text = context_.empty() ? std::string() : context_ + ": ";
    const std::string prepared = messages_.convert(e.code());
    return text + (prepared.empty() ? e.message() : prepared);
}

std::string error_handler::compose(const tk_exception& e) {
    std::string text = message_with_breaks(e);
    tk_trace(3, "Error:\n%s", text.c_str());
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string error_handler::message_for(const tk_exception& e) const {
    std::string text = message_with_breaks(e);
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

void error_handler::handle(const tk_exception& e, bool after_run) {
    tk_trace(2, "error_handler::handle");
    if (e.level() == 2) {
        // An assertion's message carries the words already: they are written once.
        if (is_internal_error_text(e.message())) {
            tk_trace(3, "%s", e.what());
        } else {
            tk_trace(3, "Internal error:\n%s", e.what());
        }
        presenter_->show_internal_error(e.message());
        throw tk_final_exception();
    }
    const int level = e.level() == 0 ? 0 : 1;
    const std::string text = compose(e);
    tk_trace(1, "Got %d-level error", level);
    presenter_->show_error(*this, text, level, after_run);
}
