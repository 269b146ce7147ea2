#include "scan/reader_registry.h"

#include <vector>

#include "content/content_reader.h"
#include "content/searcher.h"
#include "exfat/exfat_probe.h"
#include "fat/fat_probe.h"
#include "ntfs/ntfs_probe.h"

namespace scan {

namespace {
// A volume is asked of each reader in turn: a new file system is one line here.
const ReaderEntry kReaders[] = {
    {{kFileSystemNtfs, ntfs::AcceptsBootSector, ntfs::FindBackupBootSector}, ntfs::MakeReader},
    {{kFileSystemFat32, fat::AcceptsBootSector, fat::FindBackupBootSector}, fat::MakeReader},
    {{kFileSystemFat16, fat::AcceptsFat16BootSector, fat::NoBackupBootSector}, fat::MakeReader},
    {{kFileSystemFat12, fat::AcceptsFat12BootSector, fat::NoBackupBootSector}, fat::MakeReader},
    {{kFileSystemExfat, exfat::AcceptsBootSector, exfat::FindBackupBootSector}, exfat::MakeReader},
};
} // namespace

std::span<const ReaderEntry> Readers() { return kReaders; }

void ExamineDrive(TDriverInfo& drive) {
    static const std::vector<volume::BootProbe> probes = [] {
        std::vector<volume::BootProbe> all;
        for (const ReaderEntry& entry : kReaders)
            all.push_back(entry.probe);
        return all;
    }();
    drive.Examine(probes);
}

ChosenReader MakeReader(TDriverInfo& drive, const volume::ReaderContext& context, bool byContent,
                        const std::vector<bool>* signatures) {
    if (!drive.HandleValid())
        return {nullptr, volume::ReadingStatus::BootSectorUnreadable};
    if (!drive.BootSectorUnreadable) {
        volume::ReaderContext readerContext = context;
        readerContext.SearchFreeSpace = byContent;
        // The deep scan also searches the volume's free clusters by content,
        // for the signatures asked for.
        if (byContent)
            readerContext.SearchByContent = content::MakeSearcher(signatures ? *signatures : std::vector<bool>{});
        for (const ReaderEntry& entry : kReaders)
            if (entry.probe.fileSystem == drive.FileSystem)
                return {entry.make(&drive, readerContext), volume::ReadingStatus::Done};
    }
    if (byContent) {
        drive.FileSystem = kFileSystemContent;
        return {content::MakeReader(&drive, context, signatures ? *signatures : std::vector<bool>{}),
                volume::ReadingStatus::Done};
    }
    if (drive.BootSectorUnreadable)
        return {nullptr, volume::ReadingStatus::BootSectorUnreadable};
    return {nullptr, volume::ReadingStatus::NotThisFileSystem};
}

} // namespace scan
