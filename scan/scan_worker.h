#pragma once
// The scan worker: one long-lived thread that runs one job at a time (scan
// the chosen drives, refresh the drive list) and waits between jobs.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/message_sink.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "volume/disk.h"
#include "volume/job_thread.h"

enum : uint8_t { kJobScan = 1, kJobFilter = 2, kJobDriveRefresh = 3 };

class TThreadScan {
public:
    TThreadScan(TUnDeleteProgress& progress, const TScanFileType& types, const TScanPath& paths, MessageSink* sink);
    ~TThreadScan();
    TThreadScan(const TThreadScan&) = delete;
    TThreadScan& operator=(const TThreadScan&) = delete;

    std::atomic<TMyDisk*> CurrentDisk{nullptr};
    uint8_t SelectedDiskCount = 0;
    uint8_t DiskOrdinal = 0;
    std::atomic<uint8_t> JobKind{0};
    std::atomic<bool> PassIdle{true};
    DiskList Disks;
    CategoryList Categories;
    // Every file the last scan kept, in the order the drives listed them.
    // What the result list shows of them, and the check marks, are the
    // result view's (results/).
    std::vector<TMyFile*> AllFiles;
    std::atomic<bool> EnumDone{true};
    // Drives the last refresh found but could not open for lack of rights;
    // read, like Disks, once EnumDone is set.
    std::vector<std::string> LockedDrives;
    // Runs the filter pass off the window thread, when a result view installs one.
    std::function<void()> FilterPass;
    // Why the last job ended on an error instead of finishing; empty when it
    // did not. Read once the worker is idle.
    std::string FailureText;

    void StartScan();
    void StartDriveRefresh();
    // Runs FilterPass on the worker's thread (the result view's asynchronous filtering).
    void StartFilterPass();
    void StopCurrentDisk();
    TMyDisk* DiskFor(const std::string& name) { return ::DiskFor(Disks, name, Context()); }
    ScanContext Context() const { return ScanContext{&progress_, &types_, &paths_}; }

    // Blocks until no job runs. The lists may be read afterwards.
    void WaitUntilIdle();
    // Waits at most `ms` for the job to end; true when no job runs.
    bool WaitUntilIdleFor(uint32_t ms);
    bool Busy() const;

private:
    void Resume(uint8_t job);
    void RunJob();
    void JobFailed(std::string_view reason);
    void ScanJob();
    void ReadPass(uint8_t fileSystem);
    bool ReachedRecordCap(uint8_t fileSystem) const;

    TUnDeleteProgress& progress_;
    const TScanFileType& types_;
    const TScanPath& paths_;
    MessageSink* sink_;
    std::atomic<bool> shuttingDown_{false};
    std::unique_ptr<JobThread> thread_;  // last: its job uses everything above
};
