#pragma once
// The GUID partition table: a header in the second sector (and its backup in
// the last), and an array of entries the header points to.
#include <cstddef>
#include <cstdint>

namespace media::gpt {

constexpr uint64_t kSignatureValue = 0x5452415020494645ULL;  // "EFI PART"

// The header.
constexpr size_t kSignature = 0;          // u64
constexpr size_t kHeaderSize = 12;        // u32: bytes the header's CRC covers
constexpr size_t kHeaderCrc = 16;         // u32, computed with this field zeroed
constexpr size_t kCurrentLba = 24;        // u64: where this header lies
constexpr size_t kBackupLba = 32;         // u64: where the other header lies
constexpr size_t kFirstUsableLba = 40;    // u64
constexpr size_t kLastUsableLba = 48;     // u64, inclusive
constexpr size_t kEntriesLba = 72;        // u64
constexpr size_t kEntryCount = 80;        // u32
constexpr size_t kEntrySize = 84;         // u32
constexpr size_t kEntriesCrc = 88;        // u32 over count × size bytes
constexpr size_t kMinHeaderSize = 92;

// One entry.
constexpr size_t kEntryTypeGuid = 0;      // 16 bytes; all zero: unused
constexpr size_t kEntryUniqueGuid = 16;   // 16 bytes
constexpr size_t kEntryFirstLba = 32;     // u64
constexpr size_t kEntryLastLba = 40;      // u64, inclusive
constexpr size_t kEntryAttributes = 48;   // u64
constexpr size_t kEntryName = 56;         // 36 UTF-16LE units
constexpr size_t kEntryNameBytes = 72;
constexpr size_t kMinEntrySize = 128;

// A header may claim any count: the array is read only when it fits in this
// (the usual array is 16 KiB), and an entry larger than this is not believed.
constexpr uint64_t kMaxEntryArrayBytes = 1 << 20;
constexpr uint32_t kMaxEntrySize = 4096;

} // namespace media::gpt
