#pragma once
// The progress and cancellation record that workers and windows share.
// Every field has one writer; the others poll it. Fields are atomics read and
// written with relaxed order: they are counters and flags, not hand-overs.
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

    Shared<bool> FNtfsPass{false};
    Shared<int32_t> FRecordEstimate{0};
    Shared<uint32_t> FRecordsRead{0};
    Shared<uint32_t> FMaxFiles{8'000'000};
    Shared<bool> FAbort{false};
    Shared<uint8_t> FReadWeight{40};
    Shared<uint8_t> FListWeight{60};
    Shared<uint16_t> FSmallResult{20000};
    Shared<uint8_t> FDiskCount{0};
    Shared<uint8_t> FDiskOrdinal{0};
    Shared<uint8_t> FLastDiskOrdinal{0};
    Shared<uint8_t> FNtfsDiskCount{0};
    Shared<double> FDiskPercent{0};
    Shared<double> FParsedRecords{0};
    Shared<bool> FLowMemory{false};
    // The scan reached FMaxFiles: a reader stopped early, so files may be missing. 0 at start of scan.
    Shared<bool> FTruncated{false};
    Shared<bool> FCloseAllowed{true};
    Shared<bool> FScanCancelled{false};
    // The scan job ended on an error (memory ran out, say) instead of finishing:
    // nothing is listed, and the worker's FailureText says why. 0 at start of scan.
    Shared<bool> FScanFailed{false};
    Shared<bool> FListPhase{true};
    Shared<bool> FScanFinished{true};
    Shared<bool> FScanIdle{true};
    Shared<double> FPercent{0};
    Shared<double> FShownPercent{0};
    Shared<double> FDiskStartPercent{0};
    Shared<uint32_t> FFoundCount{0};
    Shared<uint32_t> FListedCount{0};
    Shared<uint32_t> FResultCount{0};
    Shared<bool> FRecoverStop{false};
    Shared<bool> FRecoverDone{false};
    Shared<bool> FRecoverIdle{true};
    // The recovery job ended on an error before its last file; the worker's
    // FailureText says why. 0 when a job starts.
    Shared<bool> FRecoverFailed{false};
    Shared<double> FRecoverPercent{0};
    Shared<int64_t> FBytesWritten{0};
    Shared<int64_t> FBytesTotal{0};
    Shared<uint32_t> FUnitSize{10'485'760};
    Shared<uint32_t> FUnitsTotal{0};
    Shared<uint32_t> FUnitsDone{0};
    Shared<uint32_t> FRecoverFiles{0};
    Shared<uint32_t> FRecoverAttempted{0};
    Shared<uint32_t> FRecoverSucceeded{0};
    Shared<bool> FFilterDone{true};
    Shared<bool> FFilterCancel{false};
    Shared<double> FPercentFloor{0};

    void ResetAll();
    void ResetScan();
    void ResetRecovery();
    double ScanPercent();
    void StepShownPercent(uint8_t step);
    void AddListed(uint8_t step);
    void MarkComplete();
    void BeginListing();
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
