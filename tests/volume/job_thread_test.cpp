// The job boundary of the workers' thread: a job that throws ends as failed,
// its waiters are released, and the thread goes on with the next run.
#include <gtest/gtest.h>

#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "volume/job_thread.h"

TEST(JobThread, AJobThatThrowsEndsAsFailedAndTheThreadRunsTheNext) {
    int run = 0;
    int completed = 0;
    std::vector<std::string> reasons;
    JobThread thread(
        [&] {
            ++run;
            if (run == 1)
                throw std::bad_alloc();
            if (run == 2)
                std::vector<int>().reserve(SIZE_MAX);  // std::length_error
            if (run == 3)
                throw std::runtime_error("the device went away");
            if (run == 4)
                throw 42;
            ++completed;
        },
        [&](std::string_view reason) { reasons.emplace_back(reason); });
    for (int i = 0; i < 5; ++i) {
        thread.Run();
        thread.WaitUntilIdle();
    }
    EXPECT_EQ(run, 5);
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(reasons, (std::vector<std::string>{"memory ran out", "a size too large for memory was asked for",
                                                 "the device went away", "an unknown error"}));
}

TEST(JobThread, AFailureReportThatThrowsTooLeavesTheThreadRunning) {
    int run = 0;
    JobThread thread([&] {
        if (++run == 1)
            throw std::bad_alloc();
    }, [](std::string_view) { throw std::bad_alloc(); });
    thread.Run();
    thread.WaitUntilIdle();
    thread.Run();
    thread.WaitUntilIdle();
    EXPECT_EQ(run, 2);
}

TEST(JobThread, WithoutAFailureHandlerAThrowingJobStillEnds) {
    int run = 0;
    JobThread thread([&] {
        if (++run == 1)
            throw std::length_error("too long");
    });
    thread.Run();
    EXPECT_TRUE(thread.WaitUntilIdleFor(10'000));
    thread.Run();
    thread.WaitUntilIdle();
    EXPECT_EQ(run, 2);
}
