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

void ora_background::start(std::function<void()> job) {
    wait();
    {
        const std::lock_guard lock(mutex_);
        // Started before the job is set: a thread that cannot start leaves nothing waiting.
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { work(); });
        }
        job_ = std::move(job);
        busy_.store(true, std::memory_order_release);
    }
    changed_.notify_all();
}

void ora_background::wait() noexcept {
    if (on_worker) {
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_; });
}

void ora_background::work() {
    on_worker = true;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || job_; });
        if (!job_) {
            return;
        }
        lock.unlock();
        try {
            job_();
        } catch (...) {
            // A job keeps its failures for its owner; one that escapes must not end the process.
        }
        lock.lock();
        job_ = nullptr;
        busy_.store(false, std::memory_order_release);
        changed_.notify_all();
    }
}
