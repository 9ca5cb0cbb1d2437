#include "TK/tk_exception.h"

#include <cerrno>
#include <cstring>

#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {
const char unknown_exception[] = "Unknown exception";
}

tk_exception::tk_exception(int level) : message_(unknown_exception), level_(level) {}

tk_exception::tk_exception(const std::string& text, int level)
    : message_(text.empty() ? std::string(unknown_exception) : text), level_(level) {}

tk_exception::tk_exception(const char* text, int level)
    : tk_exception(std::string(text == nullptr ? "" : text), level) {}

tk_exception::tk_exception(const std::wstring& text, int level)
    : tk_exception(tk_ucs2_to_ansi(text), level) {}

void tk_exception::set_message(std::string text) {
    message_ = text.empty() ? std::string(unknown_exception) : std::move(text);
}

tk_exception_ex::tk_exception_ex() : tk_exception_ex(errno) {}

tk_exception_ex::tk_exception_ex(int saved_errno) : tk_exception(1) {
    tk_trace(2, "tk_exception_ex::ctor");
    set_system_error(static_cast<uint32_t>(saved_errno));
    if (saved_errno == 0) {
        return;
    }
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in the buffer.
    const char* text = strerror_r(saved_errno, buffer, sizeof buffer);
    if (text != nullptr && *text != '\0') {
        set_message(text);
        tk_trace(2, "GetLastError: %s", text);
    }
}

namespace {

std::string assertion_message(const char* source_file, int line) {
    static const char digits[] = "0123456789abcdef";
    const std::string place = tk_format("%s\\%d", source_file == nullptr ? "" : source_file, line);
    std::string message = "Internal error: \ncode=";
    for (unsigned char c : place) {
        message.push_back(digits[c >> 4]);
        message.push_back(digits[c & 0x0F]);
    }
    return message;
}

}  // namespace

tk_mail_assertion::tk_mail_assertion(const char* source_file, int line)
    : tk_exception(assertion_message(source_file, line), 2) {
    tk_trace(2, "tk_mail_assertion::ctor(%s)", source_file == nullptr ? "" : source_file);
}

tk_final_exception::tk_final_exception() {
    tk_trace(2, "tk_final_exception::ctor");
}
