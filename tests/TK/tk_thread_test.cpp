#include "TK/tk_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "TK/tk_exception.h"

namespace {

using namespace std::chrono_literals;

// Counts its steps and is done after a given number of them.
struct counting_runnable : tk_runnable {
    explicit counting_runnable(int steps) : steps_wanted(steps) {}
    bool is_done() override { return steps >= steps_wanted; }
    void step() override { ++steps; }
    void finish() override { finished = true; }
    int steps_wanted;
    std::atomic<int> steps{0};
    std::atomic<bool> finished{false};
};

// A holder that runs a runnable it keeps (not owned), as the wizard's holders do.
struct holder : tk_thread {
    explicit holder(tk_runnable* r) : r_(r) {}
    tk_runnable* create_runnable() override { return r_; }
    tk_runnable* r_;
};

TEST(tk_thread, base_body_steps_until_done_then_finishes) {
    counting_runnable three(3);
    three();
    EXPECT_EQ(three.steps, 3);
    EXPECT_TRUE(three.finished);

    counting_runnable none(0);  // already done: no step, still finish
    none();
    EXPECT_EQ(none.steps, 0);
    EXPECT_TRUE(none.finished);
}

TEST(tk_thread, runs_the_body_and_may_start_again_after_it_ended) {
    counting_runnable work(5);
    holder thread(&work);
    thread.start();
    thread.join();
    EXPECT_EQ(work.steps, 5);
    EXPECT_TRUE(work.finished);
    work.steps = 0;
    work.finished = false;
    thread.start();
    thread.join();
    EXPECT_EQ(work.steps, 5);
}

TEST(tk_thread, starting_while_the_thread_runs_is_an_internal_error) {
    tk_runnable forever;  // the base never is done: it sleeps 100 ms per step
    holder thread(&forever);
    thread.start();
    EXPECT_TRUE(thread.is_running());
    EXPECT_THROW(thread.start(), tk_mail_assertion);
    thread.terminate();
    EXPECT_FALSE(thread.is_running());
    EXPECT_THROW(thread.terminate(), tk_mail_assertion) << "no thread runs";
}

TEST(tk_thread, null_runnable_is_an_internal_error) {
    holder thread(nullptr);
    EXPECT_THROW(thread.start(), tk_mail_assertion);
}

TEST(tk_thread, destroying_the_holder_stops_a_running_body) {
    tk_runnable forever;
    {
        holder thread(&forever);
        thread.start();
    }
    EXPECT_TRUE(forever.stop_requested());
    // The base holder owns the plain runnable it creates.
    tk_thread plain;
    plain.start();
    plain.terminate();
}

TEST(tk_thread, an_escaping_exception_is_kept_not_fatal) {
    struct failing : tk_runnable {
        void operator()() override { throw std::runtime_error("boom"); }
    } body;
    holder thread(&body);
    thread.start();
    thread.join();
    ASSERT_TRUE(thread.failure());
    EXPECT_THROW(std::rethrow_exception(thread.failure()), std::runtime_error);
}

}  // namespace
