#include "core/console_progress.h"

#include <cmath>
#include <cstdio>

#include "TK/tk_text.h"

namespace {

bool enabled_ = false;
bool shown_ = false;

// 1234567 -> "1,234,567".
std::wstring grouped(int64_t value) {
    std::wstring digits = std::to_wstring(value < 0 ? -value : value);
    for (size_t at = digits.size(); at > 3;) {
        at -= 3;
        digits.insert(at, 1, L',');
    }
    return (value < 0 ? L"-" : L"") + digits;
}

std::wstring duration(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(seconds));
    if (whole >= 3600) {
        return tk_wformat(L"%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    }
    return tk_wformat(L"%lld:%02lld", whole / 60, whole % 60);
}

}  // namespace

namespace console_progress {

void enable(bool on) {
    clear();
    enabled_ = on;
}

bool enabled() {
    return enabled_;
}

std::wstring line(const std::wstring& table, int64_t done, int64_t total, double rows_per_second) {
    std::wstring text = table + L": " + grouped(done) + L" of " + grouped(total) + L" records";
    if (rows_per_second > 0) {
        text += L", " + grouped(static_cast<int64_t>(rows_per_second)) + L" rows/s";
        if (total > done) {
            text +=
                L", " + duration(static_cast<double>(total - done) / rows_per_second) + L" left";
        }
    }
    return text;
}

void show(const std::wstring& table, int64_t done, int64_t total, double rows_per_second) {
    if (!enabled_) {
        return;
    }
    const std::string text = tk_ucs2_to_ansi(line(table, done, total, rows_per_second));
    // Back to the start of the line, the new text, the rest of the old one erased.
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void clear() {
    if (!shown_) {
        return;
    }
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace console_progress
