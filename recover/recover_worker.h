#pragma once
// The recovery worker: one long-lived thread that copies the checked files of
// a job into the destination folder, flat or in their folders, under unique
// names, and leaves a report of what it did there.
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/users.h"
#include "recover/recovery_outcome.h"
#include "recover/recovery_report.h"
#include "recover/target_folder.h"
#include "scan/message_sink.h"
#include "scan/progress.h"
#include "volume/job_thread.h"
#include "volume/records.h"

namespace platform {
class DestinationFolder;
class OutputFile;
} // namespace platform

namespace recover {
class DigestPipeline;
} // namespace recover

class TMyDisk;
class VolumeReader;

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
    // Who receives the recovered files; none keeps the files the worker's own.
    // Set, for a program run as root through pkexec, to the user who asked.
    std::optional<platform::InvokingUser> FileOwner;
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
    // What the running job could not read, and the sector it is trying
    // again, for the progress texts; reset when a job starts.
    volume::ReadDamage Damage;
    // Each file lands at DEST/<volume>/<folder path>/<name> rather than in DEST itself.
    bool KeepFolders = false;
    // The report: written into the destination unless `ReportFile` names
    // another place; none when `WriteReport` is off.
    bool WriteReport = true;
    std::string ReportFile;
    std::string CommandLine;
    // Where the last job's report went, empty when none was written, and why not.
    std::string ReportPath;
    std::string ReportError;

    void PrepareJob(const std::vector<TMyFile*>& allFiles);
    // What the job's folders and report say of the volumes its files come
    // from: their captions, folders, file systems and labels. Read before the
    // job starts; the disks must outlive it.
    void DescribeVolumes(const std::vector<std::unique_ptr<TMyDisk>>& disks);
    // Opens `folder` as the destination, held until the job ends; every file
    // is written relative to it. False, with `error` saying why, when it
    // cannot be opened as a folder. Destination itself is left alone.
    bool OpenDestination(const std::string& folder, std::string& error);
    void CloseDestination();
    platform::DestinationFolder* DestinationHandle() const { return folder_.get(); }
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
    bool FinishCopy(std::unique_ptr<platform::OutputFile>& out, const TMyFile& file, const std::string& temporary,
                    const std::string& wanted, std::string& finalName, std::string& error);
    bool NameFinishedCopy(const std::string& temporary, const std::string& wanted, std::string& finalName,
                          std::string& error);
    std::string PathInDestination(const std::string& name) const;
    // The folder a file lands in, opened (and made) below the destination;
    // null with `error` saying why.
    platform::DestinationFolder* FolderFor(const TMyFile& file, std::string& error);
    platform::DestinationFolder* OpenFolders(const std::vector<recover::TargetFolder>& wanted, std::string& error);
    void SetFolderTimes();
    void TakeDigests();
    void SaveReport();
    void EndJob();
    void JobFailed(std::string_view reason);
    bool WaitWhilePaused();

    TUnDeleteProgress& progress_;
    MessageSink* sink_;
    std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
    std::atomic<bool> terminating_{false};
    TMyFile* inProgress_ = nullptr;  // the file being copied; the job's thread only
    // The destination held open: set before a job starts, let go when it ends.
    std::unique_ptr<platform::DestinationFolder> folder_;
    std::string destinationError_;  // why it could not be opened
    struct VolumeFacts {
        std::string FolderName;
        const FolderList* Folders = nullptr;
        VolumeReader* Reader = nullptr;  // asked for the label by the job's thread, which may read the drive
        recover::ReportVolume Report;
    };
    std::vector<VolumeFacts> volumes_;
    const VolumeFacts* FactsOf(const TDriverInfo* drive) const;
    // The folder the file being copied lands in, and its place below the
    // destination ("" or "Vol/Users/Ann/"); the last one stays open for the next file.
    platform::DestinationFolder* into_ = nullptr;
    std::string intoPath_;
    std::vector<std::string> openWanted_;  // the safe names the held subfolder was opened for
    std::unique_ptr<platform::DestinationFolder> openSub_;
    // A wanted folder whose name something else carried, by its wanted path: the name it got instead.
    std::map<std::string, std::string> renamedFolders_;
    // Folders written into, by their names below the destination, with their records' times.
    struct FolderTimes {
        FileTime Modified = 0;
        FileTime Created = 0;
    };
    std::map<std::vector<std::string>, FolderTimes> folderTimes_;
    FileTime started_ = 0;
    // The digests of the job's copies, worked out beside the writing: made
    // for the first copy, finished before the report. For the copy just
    // written, its number there when it was kept; and for each copy kept,
    // its entry in Outcomes with that number.
    std::unique_ptr<recover::DigestPipeline> digests_;
    std::optional<size_t> keptDigests_;
    std::vector<std::pair<size_t, size_t>> awaitedDigests_;
    // The largest file the destination's file system holds, asked once a job.
    std::optional<uint64_t> maxFileSize_;
    std::unique_ptr<JobThread> thread_;  // last: its job uses everything above
};
