// The insert path's second thread: a batch of records is written to Oracle on it while the
// next batch is staged on the converting thread.
//
// ora_background runs one job at a time on a worker thread of its own, started with the first
// job. A job makes OCI calls on the engine's handles; meanwhile no other thread may make any:
// every OCI call passes through settle() first (see ora_oci), which waits, on any thread but
// the worker, until the job has ended. So a job never meets another call on its handles, and a
// call made while a batch is being written (an ALTER TABLE, a commit, a log-off) simply comes
// after it.
//
// Jobs must not throw: the owner of a job keeps its failure for itself (ora_table). The worker
// is joined when the process ends, after the job it runs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class ora_background {
  public:
    static ora_background& instance();

    // Runs job on the worker once the job before it has ended; std::system_error (nothing
    // runs) when the worker cannot be started.
    void start(std::function<void()> job);
    // Waits until no job runs (at once on the worker itself).
    void wait() noexcept;
    // What every OCI call does first: waits for a running job unless called by it.
    static void settle() noexcept {
        if (busy_.load(std::memory_order_acquire)) {
            instance().wait();
        }
    }

    ~ora_background();

  private:
    ora_background() = default;
    void work();

    static std::atomic<bool> busy_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool stop_ = false;
    std::thread worker_;
};
