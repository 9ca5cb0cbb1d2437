#include "core/init_conversion.h"

#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {

std::function<void()>& start_hook() {
    static std::function<void()> hook;
    return hook;
}

void trace_now(const char* event) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    tk_trace(3, "%s", init_conversion::format_line(event, local).c_str());
}

}  // namespace

std::string init_conversion::format_line(const char* event, const std::tm& local) {
    return tk_format("Conversion %s on %02d/%02d/%04d at %02d:%02d:%02d\n", event, local.tm_mday,
                     local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min,
                     local.tm_sec);
}

void init_conversion::set_start_hook(std::function<void()> hook) {
    start_hook() = std::move(hook);
}

init_conversion::init_conversion(bool* finished, bool com_initialized)
    : finished_(finished), com_initialized_(com_initialized) {
    tk_trace(2, "init_conversion::ctor");
    trace_now("started");
    if (start_hook()) {
        start_hook()();
    }
}

init_conversion::~init_conversion() {
    tk_trace(2, "init_conversion::dtor");
    trace_now("ended");
    if (finished_ != nullptr) {
        *finished_ = true;
    }
}
