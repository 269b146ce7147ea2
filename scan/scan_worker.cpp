#include "scan/scan_worker.h"
#include <algorithm>

#include "scan/disk_drives.h"
#include "scan/source_offer.h"

namespace {
bool IsIn(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}
} // namespace

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

void TThreadScan::StartImageOpen() {
    OpenedImages.clear();
    ImagesOpened.store(false, std::memory_order_relaxed);
    Resume(kJobOpenImages);
}

void TThreadScan::OpenImages() {
    for (const std::string& name : ImagesToOpen) {
        OpenedImage opened{name, SourceVerdict::Usable, {}, {}};
        // The list belongs to the window thread meanwhile: it is only read here.
        // A disk image becomes a drive per volume it holds.
        for (auto& drive : scan::OpenDiskDrives(name, Context())) {
            opened.DriveNames.push_back(drive->DriveName);
            if (!ListedDisk(Disks, drive->DriveName))
                opened.Disks.push_back(std::move(drive));
        }
        if (opened.DriveNames.empty()) {
            opened.Verdict = ExamineSource(name);
            if (opened.Verdict == SourceVerdict::Usable) {
                if (const TMyDisk* listed = ListedDisk(Disks, name)) {
                    opened.DriveNames.push_back(listed->DriveName);
                } else if (auto disk = OpenDisk(name, Context())) {
                    opened.DriveNames.push_back(disk->DriveName);
                    opened.Disks.push_back(std::move(disk));
                } else {
                    opened.Verdict = SourceVerdict::OtherFileSystem;
                }
            }
        }
        // Named again once it is listed to be searched by content, it is that drive.
        if (opened.DriveNames.empty() && (IsIn(ImagesByContent, name) || ListedDisk(Disks, name)))
            OpenByContent(opened);
        OpenedImages.push_back(std::move(opened));
    }
    ImagesToOpen.clear();
    ImagesByContent.clear();
}

void TThreadScan::OpenByContent(OpenedImage& opened) {
    if (!scan::SearchableByContent(opened.Verdict))
        return;
    if (const TMyDisk* listed = ListedDisk(Disks, opened.Name)) {
        opened.DriveNames.push_back(listed->DriveName);
    } else {
        ScanContext byContent = Context();
        byContent.SearchContent = true;
        auto disk = OpenDisk(opened.Name, byContent);
        if (!disk)
            return;
        opened.DriveNames.push_back(disk->DriveName);
        opened.Disks.push_back(std::move(disk));
    }
    opened.Verdict = SourceVerdict::Usable;
}

void TThreadScan::StartPartitionSearch(const std::string& image) {
    Search.Image = image;
    Search.Done.store(0, std::memory_order_relaxed);
    Search.Total.store(0, std::memory_order_relaxed);
    Search.Stop.store(false, std::memory_order_relaxed);
    Search.Stopped = false;
    Search.Failed = false;
    Search.UnreadablePlaces = 0;
    Search.Found = OpenedImage{image, SourceVerdict::Usable, {}, {}};
    Search.Ended.store(false, std::memory_order_relaxed);
    Resume(kJobSearchPartitions);
}

void TThreadScan::SearchImage() {
    scan::PartitionSearch how;
    how.Full = true;
    how.Stop = &Search.Stop;
    how.Unreadable = &Search.UnreadablePlaces;
    how.Progress = [this](uint64_t done, uint64_t total) {
        Search.Total.store(total, std::memory_order_relaxed);
        Search.Done.store(done, std::memory_order_relaxed);
    };
    auto drives = scan::OpenDiskDrives(Search.Image, Context(), how);
    // A stopped search found only part of what is there: none of it is listed.
    Search.Stopped = Search.Stop.load(std::memory_order_relaxed);
    if (Search.Stopped)
        return;
    for (auto& drive : drives) {
        Search.Found.DriveNames.push_back(drive->DriveName);
        if (!ListedDisk(Disks, drive->DriveName))
            Search.Found.Disks.push_back(std::move(drive));
    }
}

void TThreadScan::AdoptSearchedImage() {
    for (auto& disk : Search.Found.Disks)
        if (disk && !ListedDisk(Disks, disk->DriveName))
            Disks.push_back(std::move(disk));
    Search.Found.Disks.clear();
}

void TThreadScan::AdoptOpenedImages() {
    for (OpenedImage& opened : OpenedImages)
        for (auto& disk : opened.Disks)
            if (disk && !ListedDisk(Disks, disk->DriveName))
                Disks.push_back(std::move(disk));
}

std::vector<std::string> TThreadScan::ListUnpartitionedSpace() {
    std::vector<std::string> images, names;
    for (const auto& disk : Disks) {
        const std::string& name = disk->DriveName;
        if (!paths_.HasDriver(name) || !scan::IsImagePartitionDrive(name))
            continue;
        const std::string image = name.substr(0, name.rfind('#'));
        if (std::find(images.begin(), images.end(), image) == images.end())
            images.push_back(image);
    }
    for (const std::string& image : images)
        for (auto& gap : scan::OpenUnpartitionedSpace(image, Context())) {
            names.push_back(gap->DriveName);
            if (!ListedDisk(Disks, gap->DriveName))
                Disks.push_back(std::move(gap));
        }
    return names;
}

void TThreadScan::StartFilterPass() {
    progress_.FFilterDone = false;
    Resume(kJobFilter);
}

void TThreadScan::StopCurrentDisk() {
    if (TMyDisk* disk = CurrentDisk.load(); disk && !PassIdle)
        disk->Stop();
}

uint64_t TThreadScan::RetryingAt() const {
    // The drive list changes only in a refresh, never while a scan runs.
    const TMyDisk* disk = CurrentDisk.load();
    return disk ? disk->Drive->Damage.RetryingAt.load(std::memory_order_relaxed) : volume::ReadDamage::kNotRetrying;
}

void TThreadScan::WaitUntilIdle() { thread_->WaitUntilIdle(); }
bool TThreadScan::WaitUntilIdleFor(uint32_t ms) { return thread_->WaitUntilIdleFor(ms); }
bool TThreadScan::Busy() const { return thread_->Busy(); }

void TThreadScan::RunJob() {
    FailureText.clear();
    ReserveFailureText();
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
    case kJobOpenImages:
        OpenImages();
        ImagesOpened.store(true, std::memory_order_release);
        break;
    case kJobSearchPartitions:
        SearchImage();
        EndImageSearch();
        break;
    default:
        break;
    }
}

void TThreadScan::EndImageSearch() {
    Search.Ended.store(true, std::memory_order_release);
    if (sink_)
        sink_->post(kMsgPartitionSearchEnded, 0, 0);
}

void TThreadScan::ReserveFailureText() {
    size_t longestName = 0;
    for (const auto& disk : Disks)
        longestName = std::max(longestName, disk->DriveName.size());
    try {
        FailureText.reserve(longestName + kFailureReasonRoom);
    } catch (...) {
        // Without the room the failure may be told without its reason.
    }
}

// A job cut short by an exception leaves lists that nothing vouches for:
// the scan lists nothing, and every flag a front end waits on is set as if
// the job had ended, so that it is told instead of left waiting.
void TThreadScan::JobFailed(std::string_view reason) {
    TMyDisk* disk = CurrentDisk.exchange(nullptr);
    // Appending into the room reserved before the job allocates nothing, so
    // the reason survives a job that ended because memory ran out.
    try {
        FailureText.clear();
        if (disk)
            FailureText.append(disk->DriveName).append(": ");
        FailureText.append(reason);
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
    case kJobOpenImages:
        ImagesOpened.store(true, std::memory_order_release);
        break;
    case kJobSearchPartitions:
        // What it found so far is no answer: the failure is told, with the reason in FailureText.
        Search.Failed = true;
        Search.Found.Disks.clear();
        Search.Found.DriveNames.clear();
        EndImageSearch();
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
        if (fileSystem != kFileSystemNtfs && disk->Selected)
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
// it found against the cap (the content search too), the FAT reader the
// entries it read, across disks.
bool TThreadScan::ReachedRecordCap(uint8_t fileSystem) const {
    const bool countsFound = fileSystem == kFileSystemNtfs || fileSystem == kFileSystemContent;
    const uint32_t counted = countsFound ? uint32_t{progress_.FFoundCount} : uint32_t{progress_.FRecordsRead};
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
            disk->SearchFreeSpace(SearchContent || DeepScan);
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
    ReadPass(kFileSystemFat16);
    ReadPass(kFileSystemFat12);
    ReadPass(kFileSystemExfat);
    ReadPass(kFileSystemContent);
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
