#include "exfat/exfat_geometry.h"

#include <algorithm>
#include <cstring>

#include "exfat/exfat_layout.h"
#include "volume/byte_reader.h"

namespace exfat {

namespace boot = layout::boot;
namespace region = layout::region;

volume::Parsed<Geometry> ParseGeometry(std::span<const uint8_t> bootSector, uint64_t deviceBytes) {
    const volume::ByteReader r(bootSector);
    if (!r.Has(0, boot::kSize))
        return volume::Parsed<Geometry>::Refused("boot sector cut short");
    if (std::memcmp(bootSector.data() + boot::kFileSystemName, "EXFAT   ", boot::kFileSystemNameLength) != 0)
        return volume::Parsed<Geometry>::Refused("not named EXFAT");
    if (*r.u16(boot::kBootSignature) != boot::kSignature)
        return volume::Parsed<Geometry>::Refused("no boot signature");
    // Where FAT keeps its parameter block exFAT keeps zeros, so no FAT driver takes the volume.
    const auto zeros = bootSector.subspan(boot::kMustBeZero, boot::kMustBeZeroLength);
    if (std::any_of(zeros.begin(), zeros.end(), [](uint8_t b) { return b != 0; }))
        return volume::Parsed<Geometry>::Refused("FAT parameters present");
    Geometry g;
    g.sectorShift = *r.u8(boot::kBytesPerSectorShift);
    g.clusterShift = *r.u8(boot::kSectorsPerClusterShift);
    if (g.sectorShift < boot::kMinSectorShift || g.sectorShift > boot::kMaxSectorShift ||
        g.clusterShift > boot::kMaxClusterShift - g.sectorShift)
        return volume::Parsed<Geometry>::Refused("sector or cluster size out of range");
    g.volumeSectors = *r.u64(boot::kVolumeLength);
    g.fatOffset = *r.u32(boot::kFatOffset);
    g.fatLength = *r.u32(boot::kFatLength);
    g.heapOffset = *r.u32(boot::kClusterHeapOffset);
    g.clusterCount = *r.u32(boot::kClusterCount);
    g.rootCluster = *r.u32(boot::kFirstClusterOfRoot);
    if (g.volumeSectors == 0 || g.volumeSectors > (UINT64_MAX >> g.sectorShift))
        return volume::Parsed<Geometry>::Refused("volume length out of range");
    // The boot region and its backup come first, then the table, then the heap.
    const uint64_t tableEnd = uint64_t{g.fatOffset} + g.fatLength;
    if (g.fatOffset < 2 * region::kBackupStartSector || g.fatLength == 0 || tableEnd > g.heapOffset)
        return volume::Parsed<Geometry>::Refused("table misplaced");
    if (uint64_t{g.fatLength} << g.sectorShift < (uint64_t{g.clusterCount} + 2) * layout::table::kEntrySize)
        return volume::Parsed<Geometry>::Refused("table too small for the clusters");
    const uint64_t heapEnd = uint64_t{g.heapOffset} + (uint64_t{g.clusterCount} << g.clusterShift);
    if (g.clusterCount == 0 || heapEnd > g.volumeSectors)
        return volume::Parsed<Geometry>::Refused("cluster heap outside the volume");
    if (!g.IsCluster(g.rootCluster))
        return volume::Parsed<Geometry>::Refused("root folder outside the heap");
    if (deviceBytes && (uint64_t{g.heapOffset} << g.sectorShift) >= deviceBytes)
        return volume::Parsed<Geometry>::Refused("cluster heap beyond the device");
    return g;
}

uint32_t BootChecksum(std::span<const uint8_t> region, uint32_t sectorBytes) {
    const size_t length = std::min<size_t>(region.size(), region::kChecksummedSectors * sectorBytes);
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i) {
        if (i == boot::kVolumeFlags || i == boot::kVolumeFlags + 1 || i == boot::kPercentInUse)
            continue;
        sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + region[i];
    }
    return sum;
}

bool BootChecksumMatches(std::span<const uint8_t> region, uint32_t sectorBytes) {
    const volume::ByteReader r(region);
    const size_t at = region::kChecksumSector * sectorBytes;
    if (sectorBytes < 4 || !r.Has(at, sectorBytes))
        return false;
    const uint32_t sum = BootChecksum(region, sectorBytes);
    for (size_t i = at; i + 4 <= at + sectorBytes; i += 4)
        if (*r.u32(i) != sum)
            return false;
    return true;
}

} // namespace exfat
