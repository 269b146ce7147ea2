#pragma once
// The recovery worker: one long-lived thread that copies the checked files of
// a job into the destination folder, flat, under unique names.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "scan/message_sink.h"
#include "scan/progress.h"
#include "volume/job_thread.h"
#include "volume/records.h"

// What became of one file of a job.
struct RecoveryOutcome {
    TMyFile* File = nullptr;
    std::string Target;  // empty when nothing was written
    bool Ok = false;
    std::string Error;
};

class TThreadRecover {
public:
    TThreadRecover(TUnDeleteProgress& progress, MessageSink* sink);
    ~TThreadRecover();
    TThreadRecover(const TThreadRecover&) = delete;
    TThreadRecover& operator=(const TThreadRecover&) = delete;

    std::vector<TMyFile*> Jobs;
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> Paused{false};
    std::atomic<bool> JobDone{true};
    std::string Destination;
    std::vector<std::string> SourceDrives;
    int64_t JobBytes = 0;
    int64_t BytesWritten = 0;
    // Pause after each file; the desktop keeps 50 ms so the window stays
    // responsive, the command line passes 0.
    uint32_t FilePauseMs = 50;
    // One entry per attempted file, filled as the job runs; read after it ends.
    std::vector<RecoveryOutcome> Outcomes;
    // Why the last job ended on an error before its last file; empty when it
    // did not. Read after the job has ended.
    std::string FailureText;

    void PrepareJob(const std::vector<TMyFile*>& allFiles);
    void AddFile(TMyFile* file);
    bool TargetOnSourceDrive() const;
    std::string FormatJobSize() const;
    void Start();
    void Pause();
    void Resume();
    void Stop();
    RecoveryOutcome RecoverFile(TMyFile& file);

    // Blocks until the current job has ended.
    void WaitUntilDone();
    // Waits at most `ms`; true when the job has ended.
    bool WaitUntilDoneFor(uint32_t ms);

private:
    void RunJob();
    void EndJob();
    void JobFailed(std::string_view reason);
    bool WaitWhilePaused();

    TUnDeleteProgress& progress_;
    MessageSink* sink_;
    std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
    std::atomic<bool> terminating_{false};
    TMyFile* inProgress_ = nullptr;  // the file being copied; the job's thread only
    std::unique_ptr<JobThread> thread_;  // last: its job uses everything above
};
