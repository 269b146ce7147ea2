#include "platform/drives.h"
#include "volume/raw_reader.h"
#include "volume/records.h"

namespace volume {

std::optional<std::vector<uint8_t>> ReadBootSector(const media::ByteSource& source, uint64_t offset) {
    constexpr uint32_t kBootSectorBytes = 512;
    std::vector<uint8_t> sector(kBootSectorBytes, 0);
    uint32_t count = kBootSectorBytes;
    if (!ReadBlock(&source, sector.data(), count, true, nullptr, offset))
        return std::nullopt;
    return sector;
}

} // namespace volume

TDriverInfo::TDriverInfo(const std::string& driveName, uint32_t driveType) : DriveName(driveName), DriveType(driveType) {
    if (driveType != platform::kDriveRemovable && driveType != platform::kDriveFixed)
        return;
    Source = volume::OpenVolume(driveName);
    IsSystemDrive = !driveName.empty() && driveName == platform::SystemDriveName();
}

TDriverInfo::TDriverInfo(const std::string& driveName, uint32_t driveType, std::unique_ptr<media::ByteSource> source)
    : DriveName(driveName), Source(std::move(source)), DriveType(driveType) {}

void TDriverInfo::Examine(std::span<const volume::BootProbe> probes) {
    FileSystem = kFileSystemUnknown;
    if (!Source)
        return;
    BootSectorIsBackup = BootSectorUnreadable = false;
    auto primary = volume::ReadBootSector(*Source, 0);
    auto accepting = [&](const std::vector<uint8_t>& sector) -> const volume::BootProbe* {
        for (const volume::BootProbe& probe : probes)
            if (probe.accepts(sector))
                return &probe;
        return nullptr;
    };
    const volume::BootProbe* taken = primary ? accepting(*primary) : nullptr;
    if (taken) {
        BootSector = std::move(*primary);
    } else {
        for (const volume::BootProbe& probe : probes) {
            if (auto backup = probe.findBackup(*Source)) {
                BootSector = std::move(*backup);
                BootSectorIsBackup = true;
                taken = &probe;
                break;
            }
        }
    }
    if (!taken) {
        BootSectorUnreadable = !primary;
        if (primary)
            BootSector = std::move(*primary);
        return;
    }
    FileSystem = taken->fileSystem;

    // A mounted volume reports its own sizes. An unmounted device or an image
    // cannot be written through this program: its whole size, nothing free.
    if (auto space = platform::MountedDriveSpace(DriveName)) {
        FreeBytes = space->freeBytes;
        TotalBytes = space->totalBytes;
        SizesKnown = TotalBytes > 0;
    } else {
        FreeBytes = 0;
        TotalBytes = static_cast<int64_t>(Source->Size());
        SizesKnown = TotalBytes > 0;
    }
}

TDriverInfo::~TDriverInfo() = default;
