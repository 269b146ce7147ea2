#include "ntfs/old_records.h"

#include <algorithm>
#include <cstring>

#include "ntfs/ntfs_layout.h"
#include "volume/byte_reader.h"

namespace ntfs {

namespace {
namespace record = layout::record;
constexpr size_t kStride = layout::kUpdateStride;
constexpr size_t kAttributeAlignment = 8;
// The update sequence array follows at least the header fields every
// system writes (Windows NT 4 puts it at 0x2A, later ones at 0x30).
constexpr size_t kEarliestArray = 0x28;
// How far past a file's size its clusters may reach: what a compression
// unit, or space set aside for a growing file, leaves beyond the data.
constexpr int64_t kSlackFloor = 1 << 20;
constexpr int64_t kSlackShare = 8;  // a file may hold an eighth more than its size
} // namespace

bool LooksLikeRecord(std::span<const uint8_t> bytes, uint32_t recordSize) {
    if (recordSize < kStride || bytes.size() < recordSize || recordSize % kStride != 0 ||
        std::memcmp(bytes.data() + record::kMagic, "FILE", record::kMagicLength) != 0)
        return false;
    const volume::ByteReader r(bytes.data(), recordSize);
    const uint16_t arrayAt = r.u16(record::kUpdateSequenceOffset).value_or(0);
    const uint16_t arrayCount = r.u16(record::kUpdateSequenceCount).value_or(0);
    const uint16_t firstAttribute = r.u16(record::kFirstAttribute).value_or(0);
    const uint32_t inUse = r.u32(record::kBytesInUse).value_or(0);
    const uint32_t allocated = r.u32(record::kBytesAllocated).value_or(0);
    if (allocated != recordSize || inUse > recordSize || inUse % kAttributeAlignment != 0 ||
        firstAttribute % kAttributeAlignment != 0 || firstAttribute >= inUse)
        return false;
    if (arrayAt < kEarliestArray || arrayAt % 2 != 0 || arrayCount != recordSize / kStride + 1 ||
        size_t{arrayAt} + 2u * arrayCount > firstAttribute)
        return false;
    // Every stride must end in the sequence number: a record torn by a
    // write cut short, or bytes that only open with the mark, do not.
    for (size_t end = kStride; end <= recordSize; end += kStride)
        if (bytes[end - 2] != bytes[arrayAt] || bytes[end - 1] != bytes[arrayAt + 1u])
            return false;
    return true;
}

bool RunsCrossThemselves(const std::vector<TMyFileRun>& runs) {
    std::vector<std::pair<int64_t, int64_t>> spans;
    for (const TMyFileRun& run : runs)
        if (run.OnVolume && !run.IsHole && run.RunLength > 0)
            spans.emplace_back(run.RunStart, volume::SaturatingAdd(run.RunStart, run.RunLength));
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second)
            return true;
    return false;
}

bool OldRunsPlausible(const TMyFile& file, int64_t volumeBytes, uint32_t clusterSize) {
    if (file.Runs.empty() || file.FileSize <= 0)
        return false;
    if (!file.Runs[0].OnVolume)
        return true;
    int64_t logical = 0;
    for (const TMyFileRun& run : file.Runs) {
        if (run.RunLength <= 0)
            return false;
        if (!run.IsHole && (run.RunStart < 0 || run.RunStart > volumeBytes || run.RunLength > volumeBytes - run.RunStart))
            return false;
        logical = volume::SaturatingAdd(logical, run.RunLength);
    }
    // Too few clusters: the rest of the list lay in a record that is gone.
    if (logical < file.FileSize)
        return false;
    const int64_t cluster = std::max<int64_t>(clusterSize, 1);
    const int64_t rounded = volume::SaturatingAdd(file.FileSize, cluster - 1) / cluster * cluster;
    if (logical - rounded > std::max(kSlackFloor, file.FileSize / kSlackShare))
        return false;
    return !RunsCrossThemselves(file.Runs);
}

} // namespace ntfs
