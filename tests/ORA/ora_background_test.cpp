// The insert path's worker: jobs run one at a time and in order, and a thread that would make
// an OCI call meanwhile waits for the jobs started (settle), while a job itself never waits
// for itself.
#include "ORA/ora_background.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(ora_background, a_call_from_another_thread_comes_after_the_running_job) {
    ora_background& background = ora_background::instance();
    std::vector<int> order;
    std::atomic<bool> inside{false};
    for (int job = 0; job < 3; ++job) {
        background.start([&, job] {
            inside = true;
            // The worker waiting for itself would never end.
            ora_background::instance().wait();
            ora_background::settle();
            std::this_thread::sleep_for(std::chrono::milliseconds(job == 2 ? 60 : 1));
            order.push_back(job);
            inside = false;
        });
    }
    ora_background::settle();
    EXPECT_FALSE(inside);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(ora_background, a_job_that_throws_leaves_the_worker_running) {
    ora_background& background = ora_background::instance();
    background.start([] { throw std::runtime_error("lost"); });
    bool ran = false;
    background.start([&] { ran = true; });
    background.wait();
    EXPECT_TRUE(ran);
}

TEST(ora_background, jobs_wait_in_line_and_a_ticket_waits_for_its_own_and_those_before) {
    ora_background& background = ora_background::instance();
    std::atomic<int> ended{0};
    std::atomic<bool> release{false};
    const ora_background::ticket first = background.start([&] {
        while (!release) {
            std::this_thread::yield();
        }
        ++ended;
    });
    // Put in line while the first runs: start returns at once.
    const ora_background::ticket second = background.start([&] { ++ended; });
    const ora_background::ticket third = background.start([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ++ended;
    });
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_EQ(ended, 0);
    release = true;
    background.wait_for(second);
    EXPECT_GE(ended, 2);
    // An OCI call waits for every job started, the last one included.
    ora_background::settle();
    EXPECT_EQ(ended, 3);
}
