#include "scan/disk.h"

#include "platform/drives.h"
#include "scan/disk_drives.h"
#include "scan/reader_registry.h"
#include "volume/language.h"

TMyDisk::TMyDisk(const std::string& driveName, uint32_t driveType, const ScanContext& context)
    : TMyDisk(std::make_unique<TDriverInfo>(driveName, driveType), context) {}

TMyDisk::TMyDisk(std::unique_ptr<TDriverInfo> drive, const ScanContext& context)
    : Drive(std::move(drive)), DriveName(Drive->DriveName) {
    if (Drive->HandleValid()) {
        scan::ExamineDrive(*Drive);
        if (context.Progress)
            progress_ = std::make_unique<ProgressRecordSink>(*context.Progress);
        if (context.Types || context.Paths)
            filter_ = std::make_unique<SelectionFilter>(context.Types, context.Paths, DriveName);
        volume::ReaderContext readerContext;
        readerContext.Progress = progress_.get();
        readerContext.Filter = filter_.get();
        scan::ChosenReader chosen =
            scan::MakeReader(*Drive, readerContext, context.SearchContent, context.ContentSignatures);
        Reader = std::move(chosen.reader);
        Refusal = chosen.status;
        searchesFreeSpace_ = context.SearchContent;
        std::string label = Reader ? Reader->VolumeLabel() : std::string();
        if (auto systemLabel = platform::SystemVolumeLabel(DriveName))
            label = *systemLabel;
        if (!label.empty())
            Caption = label + " (" + DriveName + ")";
        else if (Drive->DriveType == platform::kDriveRemovable)
            Caption = volume::LangText("M_RemoveDisk", "Removable") + " (" + DriveName + ")";
        else
            Caption = volume::LangText("M_LocalDisk", "Local Disk") + " (" + DriveName + ")";
    }
    Reset();
}

TMyDisk::~TMyDisk() {
    ClearFiles();
    ClearFolders();
}

void TMyDisk::ClearFiles() {
    if (Drive->FileSystem != kFileSystemUnknown)
        Files.clear();
}

void TMyDisk::ClearFolders() {
    if (Drive->FileSystem != kFileSystemUnknown)
        Folders.clear();
}

void TMyDisk::Reset() {
    AcceptedCount = 0;
    status_ = volume::ReadingStatus::Done;
    Selected = false;
    ClearFiles();
    ClearFolders();
}

void TMyDisk::Enumerate() {
    if (Drive->FileSystem == kFileSystemUnknown)
        return;
    ClearFiles();
    ClearFolders();
    AcceptedCount = 0;
    Drive->Damage.Reset();
    if (Reader)
        status_ = Reader->Enumerate(Files, Folders);
}

void TMyDisk::ListResults(std::vector<TMyFile*>* results, CategoryList* categories) {
    if (Reader)
        AcceptedCount = Reader->ListResults(Files, Folders, categories, results);
}

void TMyDisk::Stop() {
    if (Reader)
        Reader->Stop();
}

volume::ReadOutcome TMyDisk::Outcome() const {
    if (!Reader)
        return volume::ReadOutcome::Read;
    // A reading phase that failed without leaving an outcome in its reader
    // (a structure that was read but did not decode) still says why.
    const volume::ReadOutcome outcome = Reader->Outcome();
    return outcome != volume::ReadOutcome::Read ? outcome : volume::OutcomeOf(status_);
}

bool TMyDisk::ReadNothing() const {
    // An unreadable table alone still lists what the folders hold (graded
    // as taken): a warning, not a reason to distrust an empty list.
    switch (Outcome()) {
    case volume::ReadOutcome::BootSectorUnreadable:
    case volume::ReadOutcome::BackupBootMissing:
    case volume::ReadOutcome::MftUnreadable:
    case volume::ReadOutcome::RootFolderUnreadable:
        return Files.empty();
    case volume::ReadOutcome::Read:
    case volume::ReadOutcome::TableUnreadable:
        break;
    }
    return false;
}

void TMyDisk::SearchFreeSpace(bool search) {
    if (!Reader || Drive->FileSystem == kFileSystemContent || search == searchesFreeSpace_)
        return;
    ClearFiles();
    ClearFolders();
    volume::ReaderContext readerContext;
    readerContext.Progress = progress_.get();
    readerContext.Filter = filter_.get();
    scan::ChosenReader chosen = scan::MakeReader(*Drive, readerContext, search, nullptr);
    if (!chosen.reader)
        return;  // the reader it has stays
    Reader = std::move(chosen.reader);
    searchesFreeSpace_ = search;
}

uint32_t TMyDisk::RecordEstimate() const { return Reader ? Reader->RecordEstimate() : 0; }

TMyDisk* ListedDisk(const DiskList& disks, const std::string& name) {
    for (const auto& disk : disks)
        if (platform::DriveNamesEqual(disk->DriveName, name))
            return disk.get();
    return nullptr;
}

std::unique_ptr<TMyDisk> OpenDisk(const std::string& name, const ScanContext& context) {
    const uint32_t type = platform::DriveTypeOf(name);
    if (type != platform::kDriveRemovable && type != platform::kDriveFixed)
        return nullptr;
    auto disk = std::make_unique<TMyDisk>(platform::CanonicalDriveName(name), type, context);
    if (!disk->Drive->HandleValid() || !disk->Reader)
        return nullptr;
    return disk;
}

TMyDisk* DiskFor(DiskList& disks, const std::string& name, const ScanContext& context) {
    if (TMyDisk* listed = ListedDisk(disks, name))
        return listed;
    auto disk = OpenDisk(name, context);
    if (!disk)
        return nullptr;
    disks.push_back(std::move(disk));
    return disks.back().get();
}

namespace {

// Lists the volumes of a disk as drives, keeping those already listed (and
// their results); false when the disk holds none.
bool AddDiskDrives(DiskList& disks, const std::string& name, const ScanContext& context,
                   std::vector<std::string>& seen) {
    std::vector<std::unique_ptr<TMyDisk>> drives = scan::OpenDiskDrives(name, context);
    for (auto& drive : drives) {
        seen.push_back(drive->DriveName);
        if (!ListedDisk(disks, drive->DriveName))
            disks.push_back(std::move(drive));
    }
    return !drives.empty();
}

} // namespace

void RefreshDrives(DiskList& disks, const ScanContext& context, const std::atomic<bool>* shuttingDown,
                   std::vector<std::string>* locked) {
    auto stopping = [shuttingDown] { return shuttingDown && shuttingDown->load(std::memory_order_relaxed); };
    std::vector<std::string> seen;
    if (locked)
        locked->clear();
    for (const platform::DriveEntry& entry : platform::LogicalDrives()) {
        if (stopping())
            break;
        if (DiskFor(disks, entry.name, context)) {
            seen.push_back(entry.name);
            continue;
        }
        // A stick whose table was zeroed, or a disk the system did not read
        // the table of, shows as a whole disk without partitions: its volumes
        // are listed as a disk image's are.
        if (entry.wholeDisk && AddDiskDrives(disks, entry.name, context, seen))
            continue;
        if (locked && (entry.type == platform::kDriveRemovable || entry.type == platform::kDriveFixed) &&
                 platform::OpenRefusedForRights(entry.name))
            locked->push_back(entry.name);
    }
    for (size_t i = disks.size(); i-- > 0;) {
        const std::string& name = disks[i]->DriveName;
        bool keep = platform::IsVolumeImage(name) || scan::IsImagePartitionDrive(name);
        for (const std::string& s : seen)
            keep = keep || platform::DriveNamesEqual(s, name);
        if (!keep)
            disks.erase(disks.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (stopping())
        disks.clear();
}
