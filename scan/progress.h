#pragma once
// The progress and cancellation record that workers and front ends share.
// Fields are atomics read and written with relaxed order: they are counters
// and flags, not hand-overs (a job's start and end hand the record over).
//
// Who writes what: before a job starts and after it has ended (its worker
// idle), the front end's thread (the window thread, or the command line's
// main thread) resets and reads any field. While a job runs, every field has
// one writer, named beside it:
//   [front]   the front end's thread. Where a worker reads such a field it
//             is a request the worker acts on (FScanCancelled, FLowMemory).
//   [scan]    the scan worker's thread and the readers it runs.
//   [recover] the recovery worker's thread.
//   [fixed]   never written after construction.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

template <typename T>
struct Shared : std::atomic<T> {
    Shared(T v = T{}) : std::atomic<T>(v) {}
    Shared& operator=(T v) {
        this->store(v, std::memory_order_relaxed);
        return *this;
    }
    operator T() const { return this->load(std::memory_order_relaxed); }
    void Add(T v) { this->fetch_add(v, std::memory_order_relaxed); }
};

class TUnDeleteProgress {
public:
    TUnDeleteProgress();

    Shared<bool> FNtfsPass{false};                // [scan]
    Shared<int32_t> FRecordEstimate{0};           // [scan]
    Shared<uint32_t> FRecordsRead{0};             // [scan]
    Shared<uint32_t> FMaxFiles{8'000'000};        // [fixed] (tests lower it)
    Shared<bool> FAbort{false};                   // [front] the program is being left
    Shared<uint8_t> FReadWeight{40};              // [fixed]
    Shared<uint8_t> FListWeight{60};              // [fixed]
    Shared<uint16_t> FSmallResult{20000};         // [fixed]
    Shared<uint8_t> FDiskCount{0};                // [scan]
    Shared<uint8_t> FDiskOrdinal{0};              // [scan]
    Shared<uint8_t> FLastDiskOrdinal{0};          // [front] ScanPercent's memory
    Shared<uint8_t> FNtfsDiskCount{0};            // [scan]
    Shared<double> FDiskPercent{0};               // [scan]
    Shared<double> FParsedRecords{0};             // [scan]
    Shared<bool> FLowMemory{false};               // [front] the memory guard's stop request
    // The scan reached FMaxFiles: a reader stopped early, so files may be missing. 0 at start of scan.
    Shared<bool> FTruncated{false};               // [scan]
    Shared<bool> FCloseAllowed{true};             // [front]
    Shared<bool> FScanCancelled{false};           // [front] the stop request
    // The scan job ended on an error (memory ran out, say) instead of finishing:
    // nothing is listed, and the worker's FailureText says why. 0 at start of scan.
    Shared<bool> FScanFailed{false};              // [scan]
    Shared<bool> FListPhase{true};                // [scan]
    Shared<bool> FScanFinished{true};             // [scan]
    Shared<bool> FScanIdle{true};                 // [front]
    Shared<double> FPercent{0};                   // [front]; [scan] once, in BeginListing (see below)
    Shared<double> FShownPercent{0};              // [front]; [scan] once, in BeginListing (see below)
    Shared<double> FDiskStartPercent{0};          // [front]
    Shared<uint32_t> FFoundCount{0};              // [scan]
    // Bytes the search by content has looked through, over every drive it reads. 0 at start of scan.
    Shared<uint64_t> FBytesSearched{0};           // [scan]
    Shared<uint32_t> FListedCount{0};             // [scan]
    Shared<uint32_t> FResultCount{0};             // [scan]
    Shared<bool> FRecoverDone{false};             // [recover]
    Shared<bool> FRecoverIdle{true};              // [front]
    // The recovery job ended on an error before its last file; the worker's
    // FailureText says why. 0 when a job starts.
    Shared<bool> FRecoverFailed{false};           // [recover]
    Shared<int64_t> FBytesWritten{0};             // [recover]
    Shared<int64_t> FBytesTotal{0};               // [recover]
    Shared<uint32_t> FUnitSize{10'485'760};       // [fixed]
    Shared<uint32_t> FUnitsTotal{0};              // [recover]
    Shared<uint32_t> FUnitsDone{0};               // [recover]
    Shared<uint32_t> FRecoverFiles{0};            // [recover]
    Shared<uint32_t> FRecoverAttempted{0};        // [recover]
    Shared<uint32_t> FRecoverSucceeded{0};        // [recover]
    Shared<bool> FFilterDone{true};               // [scan] (the filter pass)
    Shared<bool> FFilterCancel{false};            // [front] stop request to the filter pass
    Shared<double> FPercentFloor{0};              // [front]

    // [front], between jobs.
    void ResetAll();
    void ResetScan();
    void ResetRecovery();
    // [front], while a scan runs: the bar's percent from the worker's counters.
    double ScanPercent();
    void StepShownPercent(uint8_t step);
    // [scan]
    void AddListed(uint8_t step);
    // Also sets FPercent and FShownPercent to the read weight: the two fields
    // that still have a second writer while a scan runs. The front end takes
    // FShownPercent up only once the listing has begun, and counts FPercent
    // afresh on every tick, so a store of either that meets this one is
    // outdated by the next tick.
    void BeginListing();
    // [front], after the scan has ended.
    void MarkComplete();
    // [front]
    double RecoverPercent();

    // The readers' stop test during reading: a stop request, low memory, or the cap on records.
    bool ReadingStopped() const { return FScanCancelled || FLowMemory; }

    // Holding a running scan where it stands (the close request asks first
    // whether to quit): the worker and the readers wait at their next stop
    // test until the scan is resumed. Nothing is read while it is paused.
    void PauseScan();
    void ResumeScan();
    bool ScanPaused() const { return scanPaused_.load(std::memory_order_relaxed); }
    // Called at every stop test; returns at once unless the scan is paused.
    void WaitWhilePaused() const {
        if (scanPaused_.load(std::memory_order_relaxed))
            WaitForResume();
    }

private:
    void WaitForResume() const;
    std::atomic<bool> scanPaused_{false};
    mutable std::mutex pauseMutex_;
    mutable std::condition_variable pauseChanged_;
};
