#include "scan/source_check.h"

#include "fat/fat_probe.h"
#include "platform/drives.h"
#include "scan/reader_registry.h"
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
    scan::ExamineDrive(drive);
    if (drive.BootSector.size() < 62)
        return SourceVerdict::Unreadable;
    if (drive.FileSystem != kFileSystemUnknown)
        return SourceVerdict::Usable;
    // A FAT12/16 volume the reader would take but for a boot sector that
    // does not decode: it keeps no backup to fall back on.
    if (fat::CallsItselfFat12Or16(drive.BootSector))
        return SourceVerdict::Unreadable;
    return SourceVerdict::OtherFileSystem;
}
