#pragma once
// One scan as the command line runs it: the sources examined, the selection
// set from the options, the worker run with progress and Ctrl-C, and the
// result list filtered and ordered.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress_bar.h"
#include "scan/disk_volumes.h"
#include "scan/message_sink.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"

namespace cli {

// Keeps the workers' messages for the command line's thread.
class QueueSink : public MessageSink {
public:
    void post(unsigned msg, uintptr_t, intptr_t) override;
    bool Take(unsigned& msg);

private:
    std::mutex mutex_;
    std::deque<unsigned> messages_;
};

struct Source {
    std::string name;  // as given
    TMyDisk* disk = nullptr;
    uint32_t partition = 0;  // the partition of a disk this volume is; 0: the source is one bare volume
    uint64_t offset = 0;     // where the partition starts, in bytes from the disk's start
};

// Why a source cannot be scanned, or empty when it can.
std::string SourceProblem(const std::string& source);
// "4 KB (4096 bytes) of the drive could not be read; …", in the user's language.
std::string UnreadableText(uint64_t bytes);
// "  Retrying sector N" while a sector is tried again, else empty: for the progress bar.
std::string RetryingNote(uint64_t retryingAt);

class ScanSession {
public:
    explicit ScanSession(std::atomic<bool>& interrupted);
    ~ScanSession();

    // Opens every source: a bare volume as one, a disk as its readable
    // partitions (only `partitions` when given). On failure prints the reason
    // and returns kExitBadSource (kExitUsage for a partition that is not there).
    // `fullSearch`: a disk without a readable table is searched at every 1 MiB
    // boundary, not only where volumes usually start.
    int Open(const std::vector<std::string>& sources, const std::vector<uint32_t>& partitions = {},
             bool fullSearch = false);
    // Sources opened from now on that hold no readable file system are
    // searched by content, for these formats (empty: all).
    void SearchByContent(const std::vector<std::string>& formats);
    // Scans with the options' selection; kExitInterrupted when Ctrl-C stopped
    // it, kExitJobFailed when it ended on an error (nothing is listed then).
    int Run(const Options& options);
    // Positions in the result list that the filters keep, in the order asked
    // for. --types, --folder, --name and --ext keep what the window's trees
    // and search box show for the same choice.
    std::vector<size_t> Filtered(const Options& options) const;

    // What the user must know of how the last scan ended, one line each: a
    // list that may lack files says why. Empty when the volume was read whole.
    std::vector<std::string> EndNotes() const;
    bool LowMemory() const { return progress_.FLowMemory; }
    bool Truncated() const { return progress_.FTruncated; }

    const std::vector<TMyFile*>& Results() const { return worker_->AllFiles; }
    const std::vector<Source>& Sources() const { return sources_; }
    // The source whose volume a found file lies on; null for a drive not opened here.
    const Source* SourceOf(const TDriverInfo* drive) const;
    const DiskList& Disks() const { return worker_->Disks; }
    const TScanFileType& Types() const { return types_; }
    TUnDeleteProgress& Progress() { return progress_; }
    QueueSink& Sink() { return sink_; }
    std::atomic<bool>& Interrupted() { return interrupted_; }

private:
    void SetSelection(const Options& options);
    int OpenDisk(const std::string& source, scan::DiskContents& disk, const std::vector<uint32_t>& partitions);
    scan::PartitionSearch SearchFor(bool full);

    std::atomic<bool>& interrupted_;
    TUnDeleteProgress progress_;
    TScanFileType types_;
    TScanPath paths_;
    QueueSink sink_;
    std::unique_ptr<TThreadScan> worker_;
    std::vector<Source> sources_;
    ProgressBar searchBar_;
};

// The category's fixed English name, for machine-readable output.
const char* CategoryWord(int category);
// The category's name as --types takes it.
const char* CategoryOption(int category);

} // namespace cli
