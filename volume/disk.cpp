#include "volume/disk.h"

#include "fat/fat_disk.h"
#include "ntfs/ntfs_disk.h"
#include "platform/device.h"
#include "platform/drives.h"
#include "volume/language.h"

TMyDisk::TMyDisk(const std::string& driveName, uint32_t driveType, const ScanContext& context)
    : Drive(std::make_unique<TDriverInfo>(driveName, driveType)), DriveName(driveName) {
    if (Drive->HandleValid()) {
        std::string label;
        if (Drive->FileSystem == kFileSystemNtfs) {
            NtfsReader = std::make_unique<TNTFS_Disk>(Drive.get(), context);
            HasReader = true;
            label = NtfsReader->VolumeLabel();
        } else if (Drive->FileSystem == kFileSystemFat32) {
            FatReader = std::make_unique<TDISK_FAT>(Drive.get(), context);
            HasReader = true;
            label = FatReader->VolumeLabel();
        }
        if (auto systemLabel = platform::SystemVolumeLabel(driveName))
            label = *systemLabel;
        if (!label.empty())
            Caption = label + " (" + driveName + ")";
        else if (driveType == platform::kDriveRemovable)
            Caption = volume::LangText("M_RemoveDisk", "Removable") + " (" + driveName + ")";
        else
            Caption = volume::LangText("M_LocalDisk", "Local Disk") + " (" + driveName + ")";
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
    if (NtfsReader)
        NtfsReader->Enumerate(Files, Folders);
    else if (FatReader)
        FatReader->Scan(Files, Folders);
}

void TMyDisk::ListResults(std::vector<TMyFile*>* results, CategoryList* categories) {
    if (NtfsReader)
        AcceptedCount = NtfsReader->ListResults(Files, Folders, categories, results);
    else if (FatReader)
        AcceptedCount = FatReader->AssembleResults(Files, Folders, categories, results);
}

void TMyDisk::Stop() {
    if (NtfsReader)
        NtfsReader->StopFlag = true;
    else if (FatReader)
        FatReader->RequestStop();
}

uint32_t TMyDisk::RecordEstimate() const { return NtfsReader ? NtfsReader->RecordEstimate() : 0; }

TMyDisk* DiskFor(DiskList& disks, const std::string& name, const ScanContext& context) {
    for (const auto& disk : disks)
        if (platform::DriveNamesEqual(disk->DriveName, name))
            return disk.get();
    const uint32_t type = platform::DriveTypeOf(name);
    if (type != platform::kDriveRemovable && type != platform::kDriveFixed)
        return nullptr;
    auto disk = std::make_unique<TMyDisk>(platform::CanonicalDriveName(name), type, context);
    if (!disk->Drive->HandleValid() || !disk->HasReader)
        return nullptr;
    disks.push_back(std::move(disk));
    return disks.back().get();
}

void RefreshDrives(DiskList& disks, const ScanContext& context, const std::atomic<bool>* shuttingDown,
                   std::vector<std::string>* locked) {
    auto stopping = [shuttingDown] { return shuttingDown && shuttingDown->load(std::memory_order_relaxed); };
    std::vector<std::string> seen;
    if (locked)
        locked->clear();
    for (const platform::DriveEntry& entry : platform::LogicalDrives()) {
        if (stopping())
            break;
        if (DiskFor(disks, entry.name, context))
            seen.push_back(entry.name);
        else if (locked && (entry.type == platform::kDriveRemovable || entry.type == platform::kDriveFixed) &&
                 platform::OpenRefusedForRights(entry.name))
            locked->push_back(entry.name);
    }
    for (size_t i = disks.size(); i-- > 0;) {
        const std::string& name = disks[i]->DriveName;
        bool keep = platform::IsVolumeImage(name);
        for (const std::string& s : seen)
            keep = keep || platform::DriveNamesEqual(s, name);
        if (!keep)
            disks.erase(disks.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (stopping())
        disks.clear();
}
