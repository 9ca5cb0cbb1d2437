// A log-on that runs on a thread of its own while the window thread shows the connecting
// dialog, and that the user may give up.
//
// Why a thread of its own, and not the toolkit's worker: a client library may block in a
// log-on for as long as its network timeouts allow (a listener that accepts and never answers,
// a host that drops packets), and nothing can interrupt it from outside. A tk_thread's owner
// waits for its thread; an abandoned log-on must instead be able to outlive the page that
// started it. So the thread is detached at once and
//   - Cancel (or Escape, or the dialog's close button) returns to the page at once; the work
//     goes on and its late answer is thrown away;
//   - a later Next starts another attempt beside it, which does not wait for it;
//   - the program may end while it still blocks: the process exit ends the thread.
// This is safe because the work owns everything it uses: copies of the connection values and
// client handles of its own (sql_engine::open, ora_logon::open), never the engines, which are
// process-wide and used by one thread at a time. What an abandoned attempt produced is
// destroyed on its own thread when the work returns, which releases its handles; should the
// user cancel in the very moment the work ends, the window thread destroys it instead.
//
// The only state the two threads share is the outcome below, under its mutex; the window
// thread polls it through the dialog (connecting_dlg::wait) and the worker never touches a
// window. Work that at its end must hand its handles to an engine from the worker itself (the
// Oracle page, whose hand-over costs round trips) reads abandoned() under a lease of its own
// that the page also takes before the engine goes away.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "wizard/connecting_dlg.h"

template <class Result>
class connection_attempt {
  public:
    // The work: runs on the attempt's thread; abandoned turns true once the user has given up.
    using work = std::function<Result(const std::atomic<bool>& abandoned)>;

    // Window thread: starts the work, shows the dialog until the work has ended or the user
    // has cancelled. The result of the work, or nothing after Cancel; what the work raised is
    // raised here.
    static std::optional<Result> run(connecting_dlg& dialog, work body) {
        auto state = std::make_shared<outcome>();
        std::thread(perform, state, std::move(body)).detach();
        if (dialog.wait([&] { return state->has_ended(); }) == connecting_dlg::cancelled) {
            state->abandon();
            return std::nullopt;
        }
        return state->take();
    }

  private:
    class outcome {
      public:
        bool has_ended() {
            const std::lock_guard lock(mutex_);
            return ended_;
        }
        void abandon() {
            std::optional<Result> unwanted;
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
            if (result_) {
                unwanted.emplace(std::move(*result_));
                result_.reset();
            }
        }
        // Worker: keeps the result unless the attempt was given up; otherwise hands it back
        // to the caller, who destroys it on the worker.
        std::optional<Result> end(std::optional<Result> result, std::exception_ptr failure) {
            const std::lock_guard lock(mutex_);
            ended_ = true;
            if (abandoned_) {
                return result;
            }
            if (result) {
                result_.emplace(std::move(*result));
            }
            failure_ = std::move(failure);
            return std::nullopt;
        }
        std::optional<Result> take() {
            const std::lock_guard lock(mutex_);
            if (failure_) {
                std::rethrow_exception(failure_);
            }
            return std::move(result_);
        }
        const std::atomic<bool>& abandoned() const { return abandoned_; }

      private:
        std::mutex mutex_;
        std::atomic<bool> abandoned_ = false;
        bool ended_ = false;
        std::optional<Result> result_;
        std::exception_ptr failure_;
    };

    static void perform(std::shared_ptr<outcome> state, work body) {
        std::optional<Result> result;
        std::exception_ptr failure;
        try {
            result.emplace(body(state->abandoned()));
        } catch (...) {
            failure = std::current_exception();
        }
        // A late result is destroyed here, on this thread, after the lock is released.
        std::optional<Result> unwanted = state->end(std::move(result), std::move(failure));
        unwanted.reset();
    }
};
