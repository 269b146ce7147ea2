#include "scan/progress.h"

TUnDeleteProgress::TUnDeleteProgress() {
    ResetAll();
    FCloseAllowed = true;
    FListPhase = true;
    FScanFinished = true;
    FScanIdle = true;
    FRecoverIdle = true;
}

void TUnDeleteProgress::ResetAll() {
    FDiskCount = 0;
    FDiskOrdinal = 0;
    FNtfsDiskCount = 0;
    FParsedRecords = 0;
    FDiskPercent = 0;
    FScanCancelled = false;
    FListPhase = false;
    FScanFinished = false;
    FScanIdle = false;
    FPercent = 0;
    FFoundCount = 0;
    FBytesSearched = 0;
    FResultCount = 0;
    FListedCount = 0;
    FRecoverDone = false;
    FRecoverFiles = 0;
    FRecoverAttempted = 0;
    FRecoverSucceeded = 0;
}

void TUnDeleteProgress::ResetScan() {
    FLastDiskOrdinal = 0;
    FDiskCount = 0;
    FDiskOrdinal = 0;
    FNtfsDiskCount = 0;
    FParsedRecords = 0;
    FDiskStartPercent = 0;
    FDiskPercent = 0;
    FNtfsPass = false;
    FScanCancelled = false;
    FListPhase = false;
    FScanFinished = false;
    FScanIdle = false;
    FPercent = 0;
    FFoundCount = 0;
    FBytesSearched = 0;
    FResultCount = 0;
    FListedCount = 0;
    FRecordsRead = 0;
    FShownPercent = static_cast<double>(FReadWeight);
}

void TUnDeleteProgress::ResetRecovery() {
    FRecoverFiles = 0;
    FRecoverAttempted = 0;
    FRecoverSucceeded = 0;
    FBytesWritten = 0;
    FBytesTotal = 1;
    FUnitsTotal = 0;
    FUnitsDone = 0;
}

double TUnDeleteProgress::ScanPercent() {
    const double readWeight = FReadWeight;
    double percent = FPercent;
    const bool listing = FListPhase;
    if (listing) {
        const uint32_t found = FFoundCount;
        if (found > 0)
            percent = static_cast<double>(uint32_t{FListWeight} * FListedCount) / found + readWeight;
        else
            percent = readWeight + 1;
    } else {
        const uint8_t ordinal = FDiskOrdinal;
        if (ordinal == 0) {
            percent = 1;
        } else {
            if (ordinal != FLastDiskOrdinal) {
                // A new disk has begun: remember where the bar stood.
                FLastDiskOrdinal = ordinal;
                FDiskStartPercent = static_cast<double>(FPercent);
            } else if (FNtfsPass) {
                const int32_t estimate = FRecordEstimate;
                if (estimate > 0 && FDiskCount > 0)
                    percent = (static_cast<double>(FNtfsDiskCount) / FDiskCount) *
                              (static_cast<double>(FRecordsRead) / estimate * readWeight);
            } else if (FDiskCount > 0) {
                percent = (FDiskPercent / 100.0) * (readWeight / FDiskCount) + FDiskStartPercent;
            }
            if (percent <= 1)
                percent = 1;
        }
        if (percent >= readWeight)
            percent = readWeight - 1;
    }
    if (percent >= 99)
        percent = 99;
    FPercent = percent;
    const double floor = FPercentFloor;
    return percent > floor ? percent : floor;
}

void TUnDeleteProgress::StepShownPercent(uint8_t step) {
    double shown = FShownPercent;
    bool increased = false;
    if (FScanFinished) {
        if (FScanCancelled) {
            shown = 99;
        } else {
            shown += step;
            increased = true;
        }
    } else if (FListPhase) {
        shown += step;
        increased = true;
    }
    if (increased && shown > 99)
        shown = 99;
    FShownPercent = shown;
}

void TUnDeleteProgress::AddListed(uint8_t step) {
    uint32_t listed = FListedCount + step;
    const uint32_t found = FFoundCount;
    if (listed >= found)
        listed = found;
    FListedCount = listed;
}

void TUnDeleteProgress::MarkComplete() {
    FListPhase = true;
    FPercent = 100;
    FShownPercent = 100;
}

void TUnDeleteProgress::BeginListing() {
    FListPhase = true;
    FPercent = static_cast<double>(FReadWeight);
    FShownPercent = static_cast<double>(FReadWeight);
}

double TUnDeleteProgress::RecoverPercent() {
    const uint32_t total = FUnitsTotal;
    // Nothing to count yet: show the bar as just begun.
    const double result = total == 0 ? 0 : static_cast<double>(static_cast<uint32_t>(FUnitsDone * 100u)) / total;
    return result == 0 ? 1 : result;
}

void TUnDeleteProgress::PauseScan() {
    std::lock_guard lock(pauseMutex_);
    scanPaused_.store(true, std::memory_order_relaxed);
}

void TUnDeleteProgress::ResumeScan() {
    {
        std::lock_guard lock(pauseMutex_);
        scanPaused_.store(false, std::memory_order_relaxed);
    }
    pauseChanged_.notify_all();
}

void TUnDeleteProgress::WaitForResume() const {
    std::unique_lock lock(pauseMutex_);
    pauseChanged_.wait(lock, [this] { return !scanPaused_.load(std::memory_order_relaxed); });
}
