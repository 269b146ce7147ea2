#include "scan/scan_worker.h"

TThreadScan::TThreadScan(TUnDeleteProgress& progress, const TScanFileType& types, const TScanPath& paths,
                         MessageSink* sink)
    : Categories(MakeCategories()), progress_(progress), types_(types), paths_(paths), sink_(sink) {
    progress_.ResetScan();
    progress_.FScanFinished = true;
    progress_.FScanCancelled = false;
    progress_.FListPhase = true;
    progress_.FScanIdle = true;
    thread_ = std::make_unique<JobThread>([this] { RunJob(); }, [this](std::string_view why) { JobFailed(why); });
}

TThreadScan::~TThreadScan() {
    shuttingDown_ = true;
    progress_.FScanCancelled = true;
    StopCurrentDisk();
    // A paused pass would never reach its end.
    progress_.ResumeScan();
    thread_->Terminate();
    AllFiles.clear();
    Disks.clear();
}

void TThreadScan::Resume(uint8_t job) {
    JobKind = job;
    thread_->Run();
}

void TThreadScan::StartScan() {
    progress_.ResetScan();
    progress_.FScanFinished = false;
    progress_.FScanCancelled = false;
    progress_.FListPhase = false;
    progress_.FScanIdle = false;
    progress_.FLowMemory = false;
    progress_.FTruncated = false;
    progress_.FScanFailed = false;
    progress_.FCloseAllowed = false;
    progress_.FRecordEstimate = 0;
    AllFiles.clear();
    for (auto& disk : Disks) {
        disk->ClearFiles();
        disk->ClearFolders();
        disk->Reset();
    }
    PassIdle = false;
    Resume(kJobScan);
}

void TThreadScan::StartDriveRefresh() {
    EnumDone = false;
    Resume(kJobDriveRefresh);
}

void TThreadScan::StartFilterPass() {
    progress_.FFilterDone = false;
    Resume(kJobFilter);
}

void TThreadScan::StopCurrentDisk() {
    if (TMyDisk* disk = CurrentDisk.load(); disk && !PassIdle)
        disk->Stop();
}

void TThreadScan::WaitUntilIdle() { thread_->WaitUntilIdle(); }
bool TThreadScan::WaitUntilIdleFor(uint32_t ms) { return thread_->WaitUntilIdleFor(ms); }
bool TThreadScan::Busy() const { return thread_->Busy(); }

void TThreadScan::RunJob() {
    FailureText.clear();
    switch (JobKind.load()) {
    case kJobScan:
        ScanJob();
        break;
    case kJobFilter:
        if (FilterPass)
            FilterPass();
        progress_.FFilterDone = true;
        break;
    case kJobDriveRefresh:
        RefreshDrives(Disks, Context(), &shuttingDown_, &LockedDrives);
        EnumDone = true;
        break;
    default:
        break;
    }
}

// A job cut short by an exception leaves lists that nothing vouches for:
// the scan lists nothing, and every flag a front end waits on is set as if
// the job had ended, so that it is told instead of left waiting.
void TThreadScan::JobFailed(std::string_view reason) {
    TMyDisk* disk = CurrentDisk.exchange(nullptr);
    try {
        FailureText = disk ? disk->DriveName + ": " + std::string(reason) : std::string(reason);
    } catch (...) {
        FailureText.clear();
    }
    switch (JobKind.load()) {
    case kJobScan: {
        AllFiles.clear();
        progress_.FResultCount = 0;
        progress_.FScanFailed = true;
        progress_.FScanFinished = true;
        // A stop asked for during the pass still gets the message it expects.
        const bool stopRequested = PassIdle.exchange(true, std::memory_order_acq_rel);
        if (stopRequested && sink_)
            sink_->post(kMsgScanStopped, 0, 0);
        break;
    }
    case kJobFilter:
        progress_.FFilterDone = true;
        break;
    case kJobDriveRefresh:
        EnumDone = true;
        break;
    default:
        break;
    }
}

void TThreadScan::ReadPass(uint8_t fileSystem) {
    for (auto& disk : Disks) {
        progress_.WaitWhilePaused();
        if (progress_.FScanCancelled || progress_.FLowMemory)
            break;
        if (fileSystem == kFileSystemFat32 && disk->Selected)
            progress_.FNtfsPass = false;
        if (!disk->Selected || disk->FileSystem() != fileSystem)
            continue;
        CurrentDisk = disk.get();
        progress_.FNtfsPass = fileSystem == kFileSystemNtfs;
        progress_.FDiskOrdinal = ++DiskOrdinal;
        progress_.FDiskPercent = 0;
        progress_.FParsedRecords = 0;
        disk->Enumerate();
        CurrentDisk = nullptr;
        if (ReachedRecordCap(fileSystem))
            progress_.FTruncated = true;
    }
}

// The readers stop at the cap on records without a word; the scan must not
// end as if the volume had been read whole. The NTFS reader counts the files
// it found against the cap, the FAT reader the entries it read, across disks.
bool TThreadScan::ReachedRecordCap(uint8_t fileSystem) const {
    const uint32_t counted = fileSystem == kFileSystemNtfs ? uint32_t{progress_.FFoundCount} : uint32_t{progress_.FRecordsRead};
    return counted >= progress_.FMaxFiles;
}

void TThreadScan::ScanJob() {
    // PassIdle was cleared by StartScan; clearing it again here would lose a
    // stop request that came before the job began.
    for (auto& category : Categories)
        category->ClearExtensions();
    AllFiles.clear();
    SelectedDiskCount = DiskOrdinal = 0;

    for (auto& disk : Disks) {
        if (progress_.FRecordsRead >= progress_.FMaxFiles || progress_.FLowMemory)
            break;
        disk->Selected = paths_.HasDriver(disk->DriveName);
        if (disk->Selected) {
            ++SelectedDiskCount;
            progress_.FRecordEstimate.Add(static_cast<int32_t>(disk->RecordEstimate()));
            if (disk->FileSystem() == kFileSystemNtfs)
                progress_.FNtfsDiskCount.Add(1);
        }
    }
    progress_.FDiskCount = SelectedDiskCount;

    // NTFS drives are read first, whatever their order in the list.
    ReadPass(kFileSystemNtfs);
    ReadPass(kFileSystemFat32);
    uint32_t found = 0;
    for (auto& disk : Disks)
        if (disk->Selected)
            found += static_cast<uint32_t>(disk->Files.size());
    progress_.FFoundCount = found;
    progress_.BeginListing();

    for (auto& disk : Disks) {
        progress_.WaitWhilePaused();
        if (progress_.FScanCancelled)
            break;
        CurrentDisk = disk.get();
        if (disk->Selected)
            disk->ListResults(&AllFiles, &Categories);
    }
    CurrentDisk = nullptr;
    progress_.FResultCount = static_cast<uint32_t>(AllFiles.size());
    progress_.FScanFinished = true;
    if (PassIdle && sink_)
        sink_->post(kMsgScanStopped, 0, 0);
    PassIdle.store(true, std::memory_order_release);
}
