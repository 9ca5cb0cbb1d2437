// The insert path's second thread: batches of records are written to Oracle on it while the
// next batch is staged on the converting thread.
//
// ora_background runs jobs one at a time, in the order they were started, on a worker thread of
// its own, started with the first job. A job may be started while another runs: it waits in
// line, so the worker goes from one batch to the next without waiting for the converting thread
// to hand it over. Each start gives a ticket; wait_for(ticket) waits for that job and those
// before it.
//
// A job makes OCI calls on the engine's handles; meanwhile no other thread may make any: every
// OCI call passes through settle() first (see ora_oci), which waits, on any thread but the
// worker, until every job started has ended. So a job never meets another call on its handles,
// and a call made while batches are being written (an ALTER TABLE, a commit, a log-off) simply
// comes after them.
//
// Jobs must not throw: the owner of a job keeps its failure for itself (ora_table). The worker
// is joined when the process ends, after the jobs started.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class ora_background {
  public:
    using ticket = uint64_t;

    static ora_background& instance();

    // Puts job in line on the worker and returns at once; std::system_error (nothing is put in
    // line) when the worker cannot be started.
    ticket start(std::function<void()> job);
    // Waits until the job of the ticket, and every one before it, has ended (at once on the
    // worker itself).
    void wait_for(ticket job) noexcept;
    // Waits until no job runs or waits in line (at once on the worker itself).
    void wait() noexcept;
    // What every OCI call does first: waits for the jobs started unless called by one.
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
    std::deque<std::function<void()>> jobs_;
    ticket started_ = 0;   // tickets given
    ticket finished_ = 0;  // the jobs up to this ticket have ended
    bool stop_ = false;
    std::thread worker_;
};
