#include "ORA/ora_background.h"

#include <utility>

namespace {

thread_local bool on_worker = false;

}  // namespace

std::atomic<bool> ora_background::busy_{false};

ora_background& ora_background::instance() {
    static ora_background background;
    return background;
}

ora_background::~ora_background() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

ora_background::ticket ora_background::start(std::function<void()> job) {
    ticket given = 0;
    {
        const std::lock_guard lock(mutex_);
        // Started before the job is put in line: a thread that cannot start leaves nothing
        // waiting.
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { work(); });
        }
        jobs_.push_back(std::move(job));
        given = ++started_;
        busy_.store(true, std::memory_order_release);
    }
    changed_.notify_all();
    return given;
}

void ora_background::wait_for(ticket job) noexcept {
    if (on_worker) {
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this, job] { return finished_ >= job; });
}

void ora_background::wait() noexcept {
    if (on_worker) {
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_ == started_; });
}

void ora_background::work() {
    on_worker = true;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return;
        }
        // The job stays in line while it runs, so that a thread starting the next one sees
        // the worker busy.
        std::function<void()>& job = jobs_.front();
        lock.unlock();
        try {
            job();
        } catch (...) {
            // A job keeps its failures for its owner; one that escapes must not end the process.
        }
        lock.lock();
        jobs_.pop_front();
        ++finished_;
        busy_.store(finished_ != started_, std::memory_order_release);
        changed_.notify_all();
    }
}
