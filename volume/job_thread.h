#pragma once
// A long-lived thread that runs one job at a time and waits between jobs:
// the shape of the scan, recovery and preview workers.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class JobThread {
public:
    explicit JobThread(std::function<void()> job) : job_(std::move(job)), thread_(&JobThread::Loop, this) {}
    ~JobThread() { Terminate(); }
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // Asks for one more run of the job.
    void Run() {
        {
            std::lock_guard lock(mutex_);
            requested_ = true;
            running_ = true;
        }
        wake_.notify_all();
    }

    void WaitUntilIdle() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !running_; });
    }

    // Waits at most `ms`; true when no job runs.
    bool WaitUntilIdleFor(uint32_t ms) {
        std::unique_lock lock(mutex_);
        return idle_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running_; });
    }

    bool Busy() const {
        std::lock_guard lock(mutex_);
        return running_;
    }

    // Ends the thread once the job in progress, if any, has returned.
    void Terminate() {
        {
            std::lock_guard lock(mutex_);
            terminate_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    void Loop() {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return requested_ || terminate_; });
                if (terminate_)
                    return;
                requested_ = false;
            }
            job_();
            {
                std::lock_guard lock(mutex_);
                running_ = requested_;  // a request made during the job runs it again
            }
            idle_.notify_all();
        }
    }

    std::function<void()> job_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool requested_ = false;
    bool running_ = false;
    bool terminate_ = false;
    std::thread thread_;  // last: it starts once everything above exists
};
