#include "core/record_pipe.h"

#include <utility>

#include "TK/tk_trace_log.h"

record_pipe::record_pipe(udb_recordset& source, limits bounds) : source_(source), limits_(bounds) {
    if (limits_.rows == 0) {
        limits_.rows = 1;
    }
    if (limits_.batches == 0) {
        limits_.batches = 1;
    }
    reader_ = std::thread([this] { read(); });
}

record_pipe::~record_pipe() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

size_t record_pipe::approximate_bytes(const udb_record& record) noexcept {
    size_t bytes = 0;
    for (const udb_field& value : record) {
        bytes += sizeof(udb_field);
        if (value.vartype() == VT_BSTR) {
            bytes += value.bstr().size() * sizeof(wchar_t);
        } else if ((value.vartype() & VT_ARRAY) != 0) {
            bytes += value.bytes().size();
        }
    }
    return bytes;
}

record_pipe::batch record_pipe::read_batch() {
    batch result;
    try {
        while (result.records.size() < limits_.rows && result.bytes < limits_.bytes &&
               !source_.is_eof()) {
            udb_record* item = source_.get_item();
            result.bytes += approximate_bytes(*item);
            result.records.emplace_back(std::move(item->fields));
            source_.next();
        }
    } catch (...) {
        const std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
    }
    return result;
}

bool record_pipe::hand_over(batch&& full) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || queue_.size() < limits_.batches; });
    if (stop_) {
        return false;
    }
    queue_.push_back(std::move(full));
    lock.unlock();
    changed_.notify_all();
    return true;
}

void record_pipe::read() {
    try {
        source_.move_first();
        for (;;) {
            batch next = read_batch();
            const bool last = next.records.empty() || source_.is_eof();
            if ((!next.records.empty() && !hand_over(std::move(next))) || last) {
                break;
            }
            const std::lock_guard lock(mutex_);
            if (failure_ || stop_) {
                break;
            }
        }
    } catch (...) {
        const std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
    tk_trace(1, "record_pipe: the reader has ended");
}

bool record_pipe::next(batch& out) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !queue_.empty() || ended_; });
    if (!queue_.empty()) {
        out = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        changed_.notify_all();
        return true;
    }
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    return false;
}
