#include "TK/tk_thread.h"

#include <chrono>

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"

void tk_runnable::operator()() {
    while (!is_done() && !stop_requested()) {
        step();
    }
    finish();
}

void tk_runnable::step() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

tk_thread::tk_thread() = default;

tk_thread::~tk_thread() {
    try {
        if (thread_.joinable() && is_running()) {
            terminate();
        } else {
            cleanup();
        }
    } catch (...) {
        // A destructor must not throw; the thread has been joined by now in every case that
        // the calls above can reach.
    }
}

tk_runnable* tk_thread::create_runnable() {
    owns_runnable_ = true;
    return new tk_runnable;
}

void tk_thread::run(tk_runnable* runnable, std::shared_ptr<run_state> state) {
    std::exception_ptr failure;
    try {
        TK_ASSERT(runnable != nullptr);
        (*runnable)();
    } catch (const std::exception& e) {
        tk_trace(2, "tk_thread: the thread body raised: %s", e.what());
        failure = std::current_exception();
    } catch (...) {
        tk_trace(2, "tk_thread: the thread body raised an unknown exception");
        failure = std::current_exception();
    }
    const std::lock_guard lock(state->mutex);
    state->failure = failure;
    state->done = true;
    state->ended.notify_all();
}

bool tk_thread::still_running() const {
    if (!state_) {
        return false;
    }
    std::unique_lock lock(state_->mutex);
    return !state_->ended.wait_for(lock, std::chrono::milliseconds(10),
                                   [this] { return state_->done; });
}

bool tk_thread::is_running() const {
    if (!state_) {
        return false;
    }
    const std::lock_guard lock(state_->mutex);
    return !state_->done;
}

void tk_thread::cleanup() {
    if (thread_.joinable()) {
        TK_ASSERT(!still_running());
        thread_.join();
    }
    if (state_) {
        failure_ = state_->failure;
    }
    state_.reset();
    if (owns_runnable_) {
        delete runnable_;
    }
    owns_runnable_ = false;
    runnable_ = nullptr;
}

void tk_thread::start() {
    if (thread_.joinable()) {
        TK_ASSERT(!still_running());
        cleanup();
    }
    TK_ASSERT(runnable_ == nullptr);
    runnable_ = create_runnable();
    TK_ASSERT(runnable_ != nullptr);
    runnable_->clear_stop();
    failure_ = nullptr;
    state_ = std::make_shared<run_state>();
    thread_ = std::thread(run, runnable_, state_);
}

void tk_thread::terminate() {
    TK_ASSERT(thread_.joinable());
    runnable_->request_stop();
    thread_.join();
    cleanup();
}

void tk_thread::join() {
    if (thread_.joinable()) {
        thread_.join();
        cleanup();
    }
}
