#include "scan/disk_volumes.h"

#include <algorithm>

#include "scan/reader_registry.h"
#include "scan/unpartitioned_space.h"

namespace scan {

namespace {

// Where FAT12 and FAT16 name themselves: volumes no reader takes yet are
// still named in the list of partitions.
constexpr size_t kFat16TypeName = 54;
constexpr size_t kTypeNameLength = 8;

std::string FileSystemNameOf(const TDriverInfo& drive) {
    if (drive.FileSystem == kFileSystemNtfs)
        return "NTFS";
    if (drive.FileSystem == kFileSystemFat32)
        return "FAT32";
    if (drive.FileSystem == kFileSystemExfat)
        return "exFAT";
    if (drive.BootSector.size() >= kFat16TypeName + kTypeNameLength) {
        const std::string name(drive.BootSector.begin() + kFat16TypeName,
                               drive.BootSector.begin() + kFat16TypeName + kTypeNameLength);
        if (name == "FAT12   " || name == "FAT16   ")
            return name.substr(0, 5);
    }
    return "";
}

} // namespace

std::string PartitionDriveName(const std::string& disk, uint32_t number) { return disk + "#" + std::to_string(number); }

namespace {

// Each partition as a drive of its own, examined by the readers' probes.
std::vector<DiskVolume> Examined(const std::shared_ptr<const media::ByteSource>& disk, const std::string& path,
                                 uint32_t driveType, const std::vector<media::Partition>& partitions) {
    std::vector<DiskVolume> volumes;
    for (const media::Partition& partition : partitions) {
        DiskVolume volume;
        volume.Partition = partition;
        volume.Drive = std::make_unique<TDriverInfo>(
            PartitionDriveName(path, partition.Number), driveType,
            std::make_unique<media::SliceSource>(disk, partition.Start, partition.Length));
        ExamineDrive(*volume.Drive);
        volume.FileSystem = volume.Drive->FileSystem;
        volume.FileSystemName = FileSystemNameOf(*volume.Drive);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

} // namespace

namespace {

DiskContents ReadPartitionedDisk(const std::shared_ptr<const media::ByteSource>& disk, const std::string& path,
                                 uint32_t driveType, const PartitionSearch& search) {
    DiskContents contents;
    contents.Opened = true;
    contents.Size = disk->Size();
    contents.Table = media::ReadPartitionTable(*disk);
    if (contents.Table.BareVolume)
        return contents;
    if (contents.Table.Found) {
        contents.Volumes = Examined(disk, path, driveType, contents.Table.Table.Partitions);
        if (std::any_of(contents.Volumes.begin(), contents.Volumes.end(),
                        [](const DiskVolume& v) { return v.FileSystem != kFileSystemUnknown; }))
            return contents;
    }
    PartitionSearch counting = search;
    counting.Unreadable = &contents.UnreadablePlaces;
    std::vector<DiskVolume> found = Examined(disk, path, driveType, FindLostPartitions(*disk, counting));
    if (search.Unreadable)
        *search.Unreadable = contents.UnreadablePlaces;
    contents.Searched = true;
    if (!found.empty() || !contents.Table.Found)
        contents.Volumes = std::move(found);
    else
        contents.Searched = false;  // nothing beyond the table: keep listing what it names
    return contents;
}

} // namespace

DiskContents ReadDisk(const std::string& path, uint32_t driveType, const PartitionSearch& search,
                      bool withUnpartitionedSpace) {
    std::shared_ptr<const media::ByteSource> disk = media::OpenDevice(path);
    if (!disk)
        return {};
    DiskContents contents = ReadPartitionedDisk(disk, path, driveType, search);
    if (!withUnpartitionedSpace || !contents.IsDisk())
        return contents;
    media::PartitionTable held;
    held.Scheme = contents.Scheme();
    held.SectorSize = contents.Table.Table.SectorSize;
    for (const DiskVolume& volume : contents.Volumes)
        held.Partitions.push_back(volume.Partition);
    // A gap that starts with a volume's boot sector (a partition deleted from
    // the table) is read as that volume; any other is searched by content.
    for (DiskVolume& gap : Examined(disk, path, driveType, UnpartitionedSpace(held, contents.Size)))
        contents.Volumes.push_back(std::move(gap));
    return contents;
}

} // namespace scan
