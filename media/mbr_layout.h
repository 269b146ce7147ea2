#pragma once
// The master boot record and the extended boot records of its logical
// partitions: one sector each, the same four-entry table at the same place.
#include <cstddef>
#include <cstdint>

namespace media::mbr {

constexpr size_t kSectorSize = 512;  // MBR addresses count 512-byte sectors
constexpr size_t kEntryTable = 446;  // the four partition entries
constexpr size_t kEntrySize = 16;
constexpr size_t kEntryCount = 4;
constexpr size_t kSignature = 510;   // 0x55 0xAA
constexpr uint16_t kSignatureValue = 0xAA55;

// Inside one entry.
constexpr size_t kEntryStatus = 0;       // 0x80 active, 0x00 inactive; anything else is not a table
constexpr size_t kEntryType = 4;
constexpr size_t kEntryFirstSector = 8;  // u32, from the disk's start (primary) or the EBR (logical)
constexpr size_t kEntrySectorCount = 12; // u32

constexpr uint8_t kStatusActive = 0x80;
constexpr uint8_t kTypeEmpty = 0x00;
constexpr uint8_t kTypeProtectiveGpt = 0xEE;
// The extended partition holds a chain of EBRs, each one logical partition
// (its first entry, from the EBR) and the link to the next EBR (its second
// entry, from the extended partition's start).
constexpr uint8_t kTypeExtendedChs = 0x05;
constexpr uint8_t kTypeExtendedLba = 0x0F;
constexpr uint8_t kTypeExtendedLinux = 0x85;
constexpr size_t kEbrLogicalEntry = 0;
constexpr size_t kEbrNextEntry = 1;

// Where a volume's own boot sector names its file system: a bare volume
// also ends in 0x55AA, and its boot code must not be taken for a table.
constexpr size_t kOemName = 3;        // "NTFS    ", "EXFAT   ", "MSDOS5.0"…
constexpr size_t kFat16TypeName = 54; // "FAT12   ", "FAT16   "
constexpr size_t kFat32TypeName = 82; // "FAT32   "

inline bool IsExtended(uint8_t type) {
    return type == kTypeExtendedChs || type == kTypeExtendedLba || type == kTypeExtendedLinux;
}

} // namespace media::mbr
