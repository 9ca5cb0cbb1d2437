// The worker thread: tk_thread holds one thread that runs one tk_runnable.
//
// The wizard runs the Oracle log-on and the conversion on it; nothing else starts threads.
// A holder is used from one thread (the one that owns it). The runnable's body runs on the
// worker; an exception escaping it is caught there, traced, and kept for the holder (see
// failure()), so it never ends the process behind the user's back.
//
// A thread cannot be killed safely (locks and handles it holds would stay taken), so
// terminate() asks the runnable to stop (request_stop) and waits for it without limit; a body
// that loops checks stop_requested(). The base body does so between steps.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

class tk_runnable {
  public:
    virtual ~tk_runnable() = default;

    // The thread's body. The base repeats step() until is_done() (or a stop request), then
    // calls finish().
    virtual void operator()();
    virtual bool is_done() { return false; }
    // The base sleeps 100 ms.
    virtual void step();
    virtual void finish() {}

    // Asks the body to end soon; safe from any thread.
    void request_stop() { stop_requested_.store(true); }
    bool stop_requested() const { return stop_requested_.load(); }
    // Clears a previous request before the runnable runs again.
    void clear_stop() { stop_requested_.store(false); }

  private:
    std::atomic<bool> stop_requested_{false};
};

class tk_thread {
  public:
    tk_thread();
    // Stops and waits for a thread that still runs, otherwise cleans up.
    virtual ~tk_thread();
    tk_thread(const tk_thread&) = delete;
    tk_thread& operator=(const tk_thread&) = delete;

    // Starts a thread running a runnable from create_runnable(). A thread that is still
    // running (does not end within 10 ms), a runnable still attached, or a null runnable
    // raise tk_mail_assertion.
    void start();
    // Stops the running thread (see the header comment) and cleans up; tk_mail_assertion when
    // no thread runs.
    void terminate();
    // True while a started thread has not ended its body.
    bool is_running() const;
    // Waits until the thread has ended and cleans up; nothing when no thread was started.
    void join();

    // The exception that escaped the last body, if any (kept until the next start).
    std::exception_ptr failure() const { return failure_; }

  protected:
    // The object the next thread runs. The base returns a new plain tk_runnable and sets
    // owns_runnable; derived holders may return one they keep (and leave it cleared).
    virtual tk_runnable* create_runnable();
    void set_owns_runnable(bool owns) { owns_runnable_ = owns; }
    tk_runnable* runnable() const { return runnable_; }

  private:
    struct run_state {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::exception_ptr failure;
    };

    // Waits up to 10 ms for the thread to end.
    bool still_running() const;
    // Joins a thread that has ended, deletes an owned runnable and forgets it; a thread that
    // still runs raises tk_mail_assertion.
    void cleanup();
    static void run(tk_runnable* runnable, std::shared_ptr<run_state> state);

    std::thread thread_;
    bool owns_runnable_ = false;
    tk_runnable* runnable_ = nullptr;
    std::shared_ptr<run_state> state_;
    std::exception_ptr failure_;
};
