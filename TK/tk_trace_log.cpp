#include "TK/tk_trace_log.h"

#include <cstdio>
#include <ctime>

#include "TK/tk_file.h"
#include "TK/tk_text.h"

namespace {

constexpr size_t wide_line_limit = 10240;  // wide characters of one formatted line
constexpr size_t utf8_line_limit = 10240;  // bytes of its UTF-8 form

}  // namespace

tk_trace_log::tk_trace_log(const std::string& file_name, bool enabled, int min_level,
                           bool timestamps)
    : file_name_(file_name.empty() ? default_file_name() : file_name),
      min_level_(min_level),
      enabled_(enabled),
      timestamps_(timestamps) {}

tk_trace_log::~tk_trace_log() = default;

std::string tk_trace_log::default_file_name() {
    std::string path = tk_program_path();
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        path.erase(dot);
    }
    return path + ".log";
}

void tk_trace_log::set_file_name(const std::string& name) {
    std::lock_guard lock(mutex_);
    file_name_ = name;
}

void tk_trace_log::set_enabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

bool tk_trace_log::accepts(int level) {
    if (!enabled_.load(std::memory_order_relaxed)) {
        return false;
    }
    if (!truncated_.load(std::memory_order_acquire)) {
        std::lock_guard lock(mutex_);
        if (!truncated_.load(std::memory_order_relaxed)) {
            if (FILE* file = std::fopen(file_name_.c_str(), "wb")) {
                std::fclose(file);
            }
            truncated_.store(true, std::memory_order_release);
        }
    }
    return level >= min_level_;
}

void tk_trace_log::write_line(int level, const char* text, size_t length) {
    if (!accepts(level)) {
        return;
    }
    std::lock_guard lock(mutex_);
    FILE* file = std::fopen(file_name_.c_str(), "ab");
    if (file == nullptr) {
        return;
    }
    if (timestamps_) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::fprintf(file, "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
    }
    if (length > 0) {
        std::fwrite(text, 1, length, file);
    }
    if (append_newline_) {
        std::fwrite("\r\n", 1, 2, file);
    }
    std::fclose(file);
}

void tk_trace(int level, const char* format, ...) {
    tk_trace_log* log = tk_trace_log::instance_or_null();
    if (log == nullptr || !log->accepts(level)) {
        return;
    }
    va_list args;
    va_start(args, format);
    const std::string line = tk_vformat(format, args);
    va_end(args);
    log->write_line(level, line.data(), line.size());
}

void tk_trace_w(int level, const wchar_t* format, ...) {
    tk_trace_log* log = tk_trace_log::instance_or_null();
    if (log == nullptr || !log->accepts(level)) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::wstring line = tk_vwformat(format, args);
    va_end(args);
    if (line.size() > wide_line_limit - 1) {
        line.resize(wide_line_limit - 1);
    }
    std::string utf8 = tk_ucs2_to_utf8(line);
    // The converted text and its terminator must fit the byte buffer.
    if (utf8.size() + 1 > utf8_line_limit) {
        utf8.clear();
    }
    log->write_line(level, utf8.data(), utf8.size());
}
