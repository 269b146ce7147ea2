#pragma once
// Reading a failing drive: a read that fails is tried again in smaller
// pieces, down to the sector, so that only the sectors that really cannot be
// read are lost. What was lost is zero-filled in the buffer, listed for the
// caller (which knows what the bytes held) and added to the source's tally.
#include <atomic>
#include <cstdint>
#include <vector>

#include "media/byte_source.h"
#include "platform/read_faults.h"

namespace volume {

// What a scan or a recovery could not read of one source. Shared between the
// worker that reads and the thread that shows progress, hence atomics.
//
// Where it lives: one per scanned drive, `TDriverInfo::Damage` (records.h).
// The readers reach it through the drive they already hold
// (`&Drive->Damage` in TNTFS_Disk and TDISK_FAT) and pass it to
// ReadSalvaging and count their lost structures into it; TMyDisk::Enumerate
// resets it when a scan of the drive starts, so after a scan it holds that
// scan's damage, which the front ends read from `disk->Drive->Damage`.
// A recovery or preview keeps its own tally per job (it reads other bytes
// than the scan) and learns each file's unreadable bytes from ReadFileData.
struct ReadDamage {
    static constexpr uint64_t kNotRetrying = UINT64_MAX;

    std::atomic<uint64_t> UnreadableBytes{0};
    // Structures lost to unreadable sectors, counted by the readers.
    std::atomic<uint32_t> MftRecords{0};
    std::atomic<uint32_t> TableSectors{0};    // allocation-table sectors no copy could give
    std::atomic<uint32_t> FolderClusters{0};  // folder clusters with unreadable sectors
    // The byte offset of the sector being tried again right now, for the
    // progress texts; kNotRetrying otherwise.
    std::atomic<uint64_t> RetryingAt{kNotRetrying};

    void Reset();
};

struct SalvagedRead {
    bool Complete = false;  // every byte was read
    bool Cancelled = false;
    uint64_t UnreadableBytes = 0;  // zero-filled in the buffer
    uint64_t PastEndBytes = 0;     // beyond the end of the source: zero-filled, not counted as damage
    std::vector<platform::ByteRange> Unreadable;  // in source offsets, merged and ordered
};

constexpr uint32_t kSectorPiece = 512;
// How often a sector that failed is tried again before it counts as lost.
constexpr uint32_t kDefaultSectorRetries = 1;

// Reads `count` bytes at `offset` into `buffer`: one read while the source
// answers, smaller pieces where it does not. Never fails as a whole: look at
// the result. `damage` may be null.
SalvagedRead ReadSalvaging(const media::ByteSource* device, void* buffer, uint32_t count, uint64_t offset,
                           const std::atomic<bool>* cancel, ReadDamage* damage,
                           uint32_t sectorRetries = kDefaultSectorRetries);

} // namespace volume
