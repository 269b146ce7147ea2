// Reading the MFT's records: where record N lies through the MFT's own run
// list, a record that straddles two extents, the mirror's copy of the first
// four, and the tally of records that could not be read.
#include <algorithm>

#include "ntfs/ntfs_disk.h"
#include "ntfs/ntfs_layout.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/salvaging_read.h"

namespace layout = ntfs::layout;

void TNTFS_Disk::MapMft() {
    // Run lengths come from the volume: their sum stops at the largest
    // number, and no MFT is larger than the volume that holds it.
    mftRunEnds_.clear();
    int64_t end = 0;
    for (const TMyFileRun& run : MftFile->Runs) {
        end = volume::SaturatingAdd(end, run.RunLength);
        mftRunEnds_.push_back(end);
    }
    MftSize = std::min(end, Drive->VolumeBytes);
}

int64_t TNTFS_Disk::RecordOffset(int64_t n) const {
    if (!MftFile || MftFile->Runs.empty() || n < 0 || n > INT64_MAX / RecordSize)
        return -1;
    const int64_t b = n * RecordSize;
    auto it = std::upper_bound(mftRunEnds_.begin(), mftRunEnds_.end(), b);
    if (it == mftRunEnds_.end())
        return -1;
    const size_t i = static_cast<size_t>(it - mftRunEnds_.begin());
    const int64_t before = i == 0 ? 0 : mftRunEnds_[i - 1];
    const TMyFileRun& run = MftFile->Runs[i];
    return run.IsHole ? -1 : run.RunStart + (b - before);
}

std::optional<std::vector<uint8_t>> TNTFS_Disk::ReadMftBytes(uint64_t offset, uint32_t count, bool& unreadable) {
    std::vector<uint8_t> bytes(count);
    const volume::SalvagedRead read =
        volume::ReadSalvaging(Drive->Source.get(), bytes.data(), count, offset, stop_.Flag(), Damage());
    unreadable = unreadable || read.UnreadableBytes > 0;
    if (!read.Complete)
        return std::nullopt;
    return bytes;
}

std::optional<std::vector<uint8_t>> TNTFS_Disk::ReadMirrorRecord(int64_t n) {
    const int64_t mirror = geometry_.MftMirrorCluster;
    if (n < 0 || n >= layout::system_record::kMirrored || mirror <= 0 || mirror >= TotalClusters)
        return std::nullopt;
    const int64_t at = mirror * static_cast<int64_t>(ClusterSize) + n * RecordSize;
    if (at > Drive->VolumeBytes - static_cast<int64_t>(RecordSize))
        return std::nullopt;
    return volume::ReadBytes(Drive->Source.get(), static_cast<uint64_t>(at), RecordSize, stop_.Flag());
}

void TNTFS_Disk::LoseRecord(int64_t n) {
    if (lostRecords_.insert(n).second && Damage())
        Damage()->MftRecords.fetch_add(1, std::memory_order_relaxed);
}

std::optional<TNTFS_Disk::RecordBytes> TNTFS_Disk::ReadRecord(int64_t n) {
    const int64_t offset = RecordOffset(n);
    if (offset < 0)
        return std::nullopt;
    RecordBytes out;
    out.position = offset;
    // A record may straddle the end of one MFT extent and the start of the next.
    const int64_t b = n * RecordSize;
    const size_t i = static_cast<size_t>(std::upper_bound(mftRunEnds_.begin(), mftRunEnds_.end(), b) - mftRunEnds_.begin());
    const int64_t inThisRun = mftRunEnds_[i] - b;
    bool unreadable = false;
    // A record whose sectors cannot be read is lost on its own; the first
    // four have a second copy in $MFTMirr.
    auto lost = [&]() -> std::optional<RecordBytes> {
        if (!unreadable)
            return std::nullopt;
        if (auto mirrored = ReadMirrorRecord(n)) {
            out.bytes = std::move(*mirrored);
            out.splitLength = 0;
            out.splitStart = -1;
            return out;
        }
        LoseRecord(n);
        return std::nullopt;
    };
    if (inThisRun >= RecordSize) {
        auto bytes = ReadMftBytes(static_cast<uint64_t>(offset), RecordSize, unreadable);
        if (!bytes)
            return lost();
        out.bytes = std::move(*bytes);
        return out;
    }
    if (i + 1 >= MftFile->Runs.size() || MftFile->Runs[i + 1].IsHole ||
        MftFile->Runs[i + 1].RunLength < RecordSize - inThisRun)
        return std::nullopt;
    auto first = ReadMftBytes(static_cast<uint64_t>(offset), static_cast<uint32_t>(inThisRun), unreadable);
    auto second = ReadMftBytes(static_cast<uint64_t>(MftFile->Runs[i + 1].RunStart),
                               static_cast<uint32_t>(RecordSize - inThisRun), unreadable);
    if (!first || !second)
        return lost();
    out.bytes = std::move(*first);
    out.bytes.insert(out.bytes.end(), second->begin(), second->end());
    out.splitLength = static_cast<uint32_t>(inThisRun);
    out.splitStart = MftFile->Runs[i + 1].RunStart;
    return out;
}
