#pragma once
// Volumes no table names: a disk whose table was zeroed, or whose table
// points at nothing readable, still holds them where volumes usually start.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "media/byte_source.h"
#include "media/partition_table.h"

namespace scan {

struct PartitionSearch {
    // Every 1 MiB boundary of the whole disk, read in order in large blocks;
    // otherwise only where partitioning tools put volumes.
    bool Full = false;
    const std::atomic<bool>* Stop = nullptr;
    // Bytes looked through so far, of the disk's size (the full search only).
    std::function<void(uint64_t done, uint64_t total)> Progress;
    // Where given, set to the number of places a volume may start (and of
    // backups before them) whose sector could not be read: a search that
    // found nothing there has not shown that nothing is there.
    uint64_t* Unreadable = nullptr;
};

// The volumes found, by start, numbered from 1, scheme Found.
// A volume counts only when its boot sector parses and its first structure
// (the MFT's record 0, the FAT's reserved entries) is where it says, or, for
// exFAT, when its boot region's checksum holds.
std::vector<media::Partition> FindLostPartitions(const media::ByteSource& disk, const PartitionSearch& how);

} // namespace scan
