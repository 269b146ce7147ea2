#pragma once
// The geometry of an exFAT volume, decoded from its boot sector, and the
// boot region's checksum that says whether the main region or its backup
// is to be believed.
#include <cstdint>
#include <span>

#include "volume/parsed.h"

namespace exfat {

struct Geometry {
    uint8_t sectorShift = 0;   // bytes per sector as a power of two
    uint8_t clusterShift = 0;  // sectors per cluster as a power of two
    uint64_t volumeSectors = 0;
    uint32_t fatOffset = 0;    // sectors
    uint32_t fatLength = 0;    // sectors
    uint32_t heapOffset = 0;   // sectors
    uint32_t clusterCount = 0;
    uint32_t rootCluster = 0;

    uint32_t BytesPerSector() const { return uint32_t{1} << sectorShift; }
    uint32_t BytesPerCluster() const { return uint32_t{1} << (sectorShift + clusterShift); }
    uint64_t HeapStart() const { return uint64_t{heapOffset} << sectorShift; }
    uint64_t VolumeBytes() const { return volumeSectors << sectorShift; }
    bool IsCluster(uint64_t cluster) const { return cluster >= 2 && cluster - 2 < clusterCount; }
    // Byte offset of a cluster number (2 is the heap's first).
    uint64_t OffsetOf(uint64_t cluster) const { return HeapStart() + ((cluster - 2) << (sectorShift + clusterShift)); }
};

// Decodes a boot sector (512 bytes at least). `deviceBytes` (0: unknown)
// bounds where the table and the heap may lie.
volume::Parsed<Geometry> ParseGeometry(std::span<const uint8_t> bootSector, uint64_t deviceBytes = 0);

// The checksum of the first eleven sectors of a boot region (`region` holds
// them, each `sectorBytes` long), skipping the fields that change in use.
uint32_t BootChecksum(std::span<const uint8_t> region, uint32_t sectorBytes);
// Whether a boot region of twelve sectors carries its own checksum, repeated
// through its twelfth sector.
bool BootChecksumMatches(std::span<const uint8_t> region, uint32_t sectorBytes);

} // namespace exfat
