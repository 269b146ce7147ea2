#pragma once
// The shape of a FAT volume as its boot sector declares it, and where its
// clusters lie.
#include <cstdint>
#include <span>
#include <vector>

#include "volume/parsed.h"

namespace fat {

struct Geometry {
    uint16_t BytesPerSector = 0;
    uint8_t SectorsPerCluster = 0;
    uint32_t BytesPerCluster = 0;
    uint64_t TotalSectors = 0;
    uint64_t ClusterCount = 0;
    uint64_t SectorsPerFat = 0;
    uint8_t FatCount = 0;
    uint64_t ReservedSectors = 0;
    // The data region starts DataStartCluster whole clusters and
    // DataStartRemainder sectors into the volume.
    uint64_t DataStartCluster = 0;
    uint32_t DataStartRemainder = 0;
    uint64_t RootCluster = 0;  // FAT32 only
    // 12, 16 or 32: how wide an entry of the table is, from the number of data clusters.
    uint8_t TableBits = 32;
    // FAT12 and FAT16 keep the root folder in a fixed region between the
    // tables and the data region instead of in a chain of clusters.
    uint32_t RootEntryCount = 0;
    uint64_t RootSectors = 0;

    bool FixedRoot() const { return TableBits != 32; }
    uint64_t RootRegionSector() const { return ReservedSectors + SectorsPerFat * FatCount; }
    // The sector the data region starts at.
    uint64_t DataStartSector() const { return DataStartCluster * SectorsPerCluster + DataStartRemainder; }
    // Volume-relative cluster index of cluster number N, and the byte offset of an index.
    uint64_t IndexOf(uint64_t clusterNumber) const { return clusterNumber + DataStartCluster - 2; }
    int64_t OffsetOf(uint64_t index) const {
        return static_cast<int64_t>(index * BytesPerCluster + uint64_t{DataStartRemainder} * BytesPerSector);
    }
};

// Whether the boot sector names itself FAT32.
bool IsFat32(std::span<const uint8_t> bootSector);

// Decodes and checks a boot sector's numbers (the name is not looked at).
// A boot sector with a 16-bit table size has the FAT12/16 form, and its width
// comes from its cluster count; one without it has the FAT32 form.
volume::Parsed<Geometry> ParseGeometry(std::span<const uint8_t> bootSector);

// The table width of a boot sector that decodes and starts the way every FAT
// boot sector does (a jump, a media byte), or 0: the registry's test.
uint8_t TableBitsOf(std::span<const uint8_t> bootSector);

// Where a damaged primary boot sector's backup may lie: the sector the
// primary names, when that is believable, then the sector formatting uses.
// `sectorBytes` is the primary's sector size, or 512 when that is damaged too.
std::vector<uint64_t> BackupBootSectors(std::span<const uint8_t> primary, uint16_t& sectorBytes);

// Which copy of the table is current and whether the others mirror it, from
// the boot sector's extended flags.
struct TableChoice {
    bool mirrored = true;
    uint64_t active = 0;
};
// FAT12/16 have no such flags: every copy mirrors the first.
TableChoice ChooseTable(std::span<const uint8_t> bootSector, uint8_t tableCount, uint8_t tableBits = 32);

// The entry of table slot `slot` in a table of `bits`-wide entries (12, 16 or
// 32), reserved bits cleared and narrow values widened to FAT32's (a 16-bit
// end of chain reads as FAT32's), or nothing when the table's bytes end before it.
std::optional<uint32_t> TableEntry(std::span<const uint8_t> table, uint64_t slot, uint8_t bits = 32);
// The same entry as stored, not widened; `PutRawTableEntry` writes one.
std::optional<uint32_t> RawTableEntry(std::span<const uint8_t> table, uint64_t slot, uint8_t bits);
void PutRawTableEntry(std::span<uint8_t> table, uint64_t slot, uint8_t bits, uint32_t value);
// The bytes slot `slot` occupies: its first, and how many (a 12-bit entry shares a byte with its neighbour).
uint64_t TableEntryOffset(uint64_t slot, uint8_t bits);
inline size_t TableEntryBytes(uint8_t bits) { return bits == 32 ? 4 : 2; }
// The table bytes `slots` entries take.
inline uint64_t TableBytesFor(uint64_t slots, uint8_t bits) { return (slots * bits + 7) / 8; }

} // namespace fat
