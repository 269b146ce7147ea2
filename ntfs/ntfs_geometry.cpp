#include "ntfs/ntfs_geometry.h"

#include <algorithm>

#include "ntfs/ntfs_layout.h"
#include "volume/byte_reader.h"

namespace ntfs {

namespace boot = layout::boot;

namespace {
constexpr uint32_t kLargestCluster = 2u << 20;
constexpr uint64_t kSmallestRecord = 256;
constexpr uint64_t kLargestRecord = 65536;
// Above this the sectors-per-cluster byte is a negative power of two.
constexpr uint8_t kLargestCount = 0x80;
constexpr uint8_t kSmallestExponentByte = 0xEC;  // 2^20 sectors

bool IsPowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }
} // namespace

bool HasNtfsName(std::span<const uint8_t> bootSector) {
    static constexpr char kName[] = "NTFS    ";
    return bootSector.size() >= boot::kOemName + boot::kOemNameLength &&
           std::equal(kName, kName + boot::kOemNameLength, bootSector.begin() + boot::kOemName);
}

volume::Parsed<Geometry> ParseGeometry(std::span<const uint8_t> bootSector) {
    if (bootSector.size() < boot::kSize)
        return volume::Parsed<Geometry>::Refused("boot sector cut short");
    const volume::ByteReader r(bootSector);
    Geometry g;
    g.SectorSize = r.u16(boot::kBytesPerSector).value_or(0);
    const uint8_t perCluster = r.u8(boot::kSectorsPerCluster).value_or(0);
    g.SectorsPerCluster = perCluster <= kLargestCount ? perCluster
                          : perCluster >= kSmallestExponentByte ? 1u << (256 - perCluster)
                                                                : 0;
    g.TotalSectors = r.i64(boot::kTotalSectors).value_or(0);
    g.MftCluster = r.i64(boot::kMftCluster).value_or(0);
    g.MftMirrorCluster = r.i64(boot::kMftMirrorCluster).value_or(0);
    if (g.SectorSize < 256 || g.SectorSize > 4096 || !IsPowerOfTwo(g.SectorSize))
        return volume::Parsed<Geometry>::Refused("sector size");
    if (!IsPowerOfTwo(g.SectorsPerCluster))
        return volume::Parsed<Geometry>::Refused("sectors per cluster");
    const uint64_t cluster = uint64_t{g.SectorSize} * g.SectorsPerCluster;
    if (cluster > kLargestCluster)
        return volume::Parsed<Geometry>::Refused("cluster size");
    if (g.TotalSectors <= 0 || g.MftCluster <= 0)
        return volume::Parsed<Geometry>::Refused("volume size or MFT position");
    g.ClusterSize = static_cast<uint32_t>(cluster);
    g.TotalClusters = g.TotalSectors / g.SectorsPerCluster;

    const int8_t perRecord = r.i8(boot::kClustersPerRecord).value_or(0);
    const uint64_t recordSize = perRecord > 0 ? uint64_t{g.ClusterSize} * static_cast<uint64_t>(perRecord)
                                              : (-perRecord < 31 ? uint64_t{1} << -perRecord : 0);
    if (recordSize < kSmallestRecord || recordSize > kLargestRecord || !IsPowerOfTwo(recordSize))
        return volume::Parsed<Geometry>::Refused("record size");
    g.RecordSize = static_cast<uint32_t>(recordSize);
    if (g.TotalSectors > INT64_MAX / g.SectorSize)
        return volume::Parsed<Geometry>::Refused("volume size");
    if (g.MftCluster >= g.TotalClusters)
        return volume::Parsed<Geometry>::Refused("MFT beyond the volume");
    return g;
}

} // namespace ntfs
