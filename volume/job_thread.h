#pragma once
// A long-lived thread that runs one job at a time and waits between jobs:
// the shape of the scan, recovery and preview workers.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string_view>
#include <thread>

class JobThread {
public:
    // Told why, on the job's thread, when a run of the job ends on an
    // exception instead of returning. The run then counts as ended like any
    // other: waiters are released and the thread goes on to the next run.
    using FailureHandler = std::function<void(std::string_view reason)>;

    explicit JobThread(std::function<void()> job, FailureHandler failed = {})
        : job_(std::move(job)), failed_(std::move(failed)), thread_(&JobThread::Loop, this) {}
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

    // The words a user is shown for an exception that ended a job.
    static std::string_view ReasonOf(const std::exception_ptr& error) noexcept {
        try {
            std::rethrow_exception(error);
        } catch (const std::bad_alloc&) {
            return "memory ran out";
        } catch (const std::length_error&) {
            return "a size too large for memory was asked for";
        } catch (const std::exception& e) {
            return e.what();  // lives as long as `error`
        } catch (...) {
            return "an unknown error";
        }
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
            RunOnce();
            {
                std::lock_guard lock(mutex_);
                running_ = requested_;  // a request made during the job runs it again
            }
            idle_.notify_all();
        }
    }

    // An exception leaving a thread ends the whole program, and one leaving a
    // job would leave its front end waiting for an end that never comes: the
    // job boundary takes every one and reports it as the job's failure.
    void RunOnce() noexcept {
        try {
            job_();
        } catch (...) {
            const std::exception_ptr error = std::current_exception();
            if (failed_) {
                try {
                    failed_(ReasonOf(error));
                } catch (...) {
                    // The report itself failed (memory, most likely); what the
                    // handler had set by then stands.
                }
            }
        }
    }

    std::function<void()> job_;
    FailureHandler failed_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool requested_ = false;
    bool running_ = false;
    bool terminate_ = false;
    std::thread thread_;  // last: it starts once everything above exists
};
