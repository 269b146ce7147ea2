#include "volume/source_check.h"

#include "platform/device.h"
#include "platform/drives.h"
#include "volume/records.h"
#include "volume/text.h"

SourceVerdict ExamineSource(const std::string& source) {
    const uint32_t type = platform::DriveTypeOf(source);
    if (type == platform::kDriveNoRoot)
        return SourceVerdict::Missing;
    if (type != platform::kDriveRemovable && type != platform::kDriveFixed)
        return SourceVerdict::NotAVolume;
    TDriverInfo drive(source, type);
    if (!drive.HandleValid())
        return platform::OpenRefusedForRights(source) ? SourceVerdict::NeedsRights : SourceVerdict::CannotOpen;
    if (drive.BootSector.size() < 62)
        return SourceVerdict::Unreadable;
    if (drive.FileSystem != kFileSystemUnknown)
        return SourceVerdict::Usable;
    // FAT12 and FAT16 name themselves at bytes 54..61.
    const std::string kind = volume::TrimBlanks(std::string(drive.BootSector.begin() + 54, drive.BootSector.begin() + 62));
    if (kind == "FAT12")
        return SourceVerdict::Fat12;
    if (kind == "FAT16")
        return SourceVerdict::Fat16;
    return SourceVerdict::OtherFileSystem;
}
