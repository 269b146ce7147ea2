#pragma once
// The shape of an NTFS volume as its boot sector declares it.
#include <cstdint>
#include <span>

#include "volume/parsed.h"

namespace ntfs {

struct Geometry {
    uint16_t SectorSize = 0;
    uint32_t SectorsPerCluster = 0;
    uint32_t ClusterSize = 0;  // up to 2 MiB
    int64_t TotalSectors = 0;
    int64_t TotalClusters = 0;
    int64_t MftCluster = 0;
    int64_t MftMirrorCluster = 0;
    uint32_t RecordSize = 0;

    // Where the boot sector puts the MFT, before its own record names its runs.
    int64_t MftOffset() const { return MftCluster * static_cast<int64_t>(ClusterSize); }
};

// Whether the boot sector carries the NTFS name.
bool HasNtfsName(std::span<const uint8_t> bootSector);

// Decodes and checks a boot sector's numbers (the name is not looked at).
volume::Parsed<Geometry> ParseGeometry(std::span<const uint8_t> bootSector);

} // namespace ntfs
