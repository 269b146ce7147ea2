#pragma once
// A disk (or disk image) is a list of volumes: each partition of its table
// whose file system a reader accepts is scanned like a drive of its own,
// through a slice of the disk. A bare volume stays one volume.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/byte_source.h"
#include "media/partition_table.h"
#include "scan/partition_search.h"
#include "volume/records.h"

namespace scan {

struct DiskVolume {
    media::Partition Partition;
    uint8_t FileSystem = kFileSystemUnknown;  // what a reader accepts there
    std::string FileSystemName;               // "NTFS", "FAT32", "FAT16", or empty when nothing is known
    std::unique_ptr<TDriverInfo> Drive;       // examined, reading through a slice of the disk
};

struct DiskContents {
    bool Opened = false;        // the source could be opened at all
    uint64_t Size = 0;          // bytes of the disk (inside its container)
    media::TableReading Table;  // Table.Found: the first sectors hold a table
    // No table, or none that led to a readable volume: the volumes were
    // looked for where they usually start, and Volumes holds what was found.
    bool Searched = false;
    // Places a volume may start that the search could not read.
    uint64_t UnreadablePlaces = 0;
    std::vector<DiskVolume> Volumes;

    // Whether the source is to be read as a disk: a list of volumes.
    bool IsDisk() const { return Table.Found || (Searched && !Volumes.empty()); }
    media::PartitionScheme Scheme() const {
        return Searched ? media::PartitionScheme::Found : Table.Table.Scheme;
    }
};

// "disk.img#2": the drive name of a disk's partition, unique among drives.
std::string PartitionDriveName(const std::string& disk, uint32_t number);

// Reads the table of the disk or image at `path` and examines each partition.
// Where there is no table (and the source is no bare volume), or its
// partitions hold nothing a reader accepts, the lost volumes are searched
// for as `search` says. A bare volume comes back with no volumes.
// `withUnpartitionedSpace` (a deep scan): the gaps no partition holds follow
// the partitions, each as a volume of scheme Unpartitioned.
DiskContents ReadDisk(const std::string& path, uint32_t driveType, const PartitionSearch& search = {},
                      bool withUnpartitionedSpace = false);

} // namespace scan
