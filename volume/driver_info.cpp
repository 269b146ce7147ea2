#include "platform/drives.h"
#include "volume/raw_reader.h"
#include "volume/records.h"
#include "volume/text.h"

namespace {

std::string SectorText(const std::vector<uint8_t>& sector, size_t offset, size_t length) {
    return volume::TrimControls(std::string(reinterpret_cast<const char*>(sector.data()) + offset, length));
}

uint8_t ClassifyBootSector(const std::vector<uint8_t>& sector) {
    if (SectorText(sector, 3, 8) == "NTFS")
        return kFileSystemNtfs;
    if (SectorText(sector, 82, 8) == "FAT32")
        return kFileSystemFat32;
    return kFileSystemUnknown;
}

} // namespace

TDriverInfo::TDriverInfo(const std::string& driveName, uint32_t driveType) : DriveName(driveName), DriveType(driveType) {
    if (driveType != platform::kDriveRemovable && driveType != platform::kDriveFixed)
        return;
    VolumeHandle = volume::OpenVolume(driveName);
    IsSystemDrive = !driveName.empty() && driveName == platform::SystemDriveName();
    Examine();
}

void TDriverInfo::Examine() {
    FileSystem = kFileSystemUnknown;
    if (!VolumeHandle)
        return;
    std::vector<uint8_t> sector(512, 0);
    uint32_t count = 512;
    if (!volume::ReadBlock(VolumeHandle.get(), sector.data(), count, true, nullptr, 0))
        return;
    BootSector = std::move(sector);
    FileSystem = ClassifyBootSector(BootSector);
    if (FileSystem == kFileSystemUnknown)
        return;

    // A mounted volume reports its own sizes. An unmounted device or an image
    // cannot be written through this program: its whole size, nothing free.
    if (auto space = platform::MountedDriveSpace(DriveName)) {
        FreeBytes = space->freeBytes;
        TotalBytes = space->totalBytes;
        SizesKnown = TotalBytes > 0;
    } else {
        FreeBytes = 0;
        TotalBytes = static_cast<int64_t>(VolumeHandle->Size());
        SizesKnown = TotalBytes > 0;
    }
}

TDriverInfo::~TDriverInfo() = default;
