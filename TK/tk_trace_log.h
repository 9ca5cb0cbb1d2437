// The trace log: one text file, written line by line by tk_trace and tk_trace_w.
//
// Each line is opened, appended and closed on its own, so a crash loses nothing already
// written and another program may read the file during a run. The file is emptied once, at the
// first trace call made while the log is enabled, whatever that call's level; lines below
// min_level are then dropped. Lines end with "\r\n" and may start with the local time.
// Calls made before the log exists or while it is disabled return at once. A mutex keeps
// lines from two threads whole. Logging never throws and never reports a failure.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "TK/tk_singleton.h"

class tk_trace_log : public tk_singleton<tk_trace_log> {
  public:
    // An empty file name selects the default: the program's path with the extension ".log".
    tk_trace_log(const std::string& file_name, bool enabled, int min_level, bool timestamps);
    ~tk_trace_log();

    const std::string& file_name() const { return file_name_; }
    void set_file_name(const std::string& name);
    bool enabled() const { return enabled_.load(std::memory_order_relaxed); }
    void set_enabled(bool enabled);
    int min_level() const { return min_level_; }
    bool truncated() const { return truncated_.load(std::memory_order_acquire); }

    // Writes one already formatted line (the level decides whether it is written at all).
    void write_line(int level, const char* text, size_t length);
    // True when a line of this level would reach the file; also performs the first-call
    // truncation, so callers test it before formatting.
    bool accepts(int level);

    // The program path with its extension replaced by ".log".
    static std::string default_file_name();

  private:
    std::mutex mutex_;
    std::string file_name_;
    int min_level_;
    bool append_newline_ = true;
    // Read without the mutex on every trace call, so that a switched-off log costs next to
    // nothing on the per-value paths.
    std::atomic<bool> enabled_;
    std::atomic<bool> truncated_ = false;
    bool timestamps_;
};

// Narrow trace line with printf formatting. Callable from anywhere, at any time.
void tk_trace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Wide trace line. Note that on this platform "%ls" formats a wide string argument and "%s" a
// narrow one. The result is cut to 10240 wide characters; when its UTF-8 form exceeds 10240
// bytes only the time prefix and the line end are written.
void tk_trace_w(int level, const wchar_t* format, ...);
