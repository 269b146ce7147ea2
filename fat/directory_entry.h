#pragma once
// What one 32-byte FAT directory entry is, judged from its own bytes.
#include <cstdint>
#include <span>
#include <string_view>

#include "volume/byte_reader.h"

namespace fat {

constexpr size_t kEntrySize = 32;
constexpr uint8_t kDeletedMark = 0xE5;
constexpr uint8_t kAttrLongName = 0x0F;

// Fields of a short entry.
inline uint16_t EntryU16(std::span<const uint8_t> entry, size_t offset) {
    return volume::ByteReader(entry).u16(offset).value_or(0);
}
inline uint32_t FirstClusterOf(std::span<const uint8_t> entry) {
    return (uint32_t{EntryU16(entry, 20)} << 16) | EntryU16(entry, 26);
}
inline uint32_t FileSizeOf(std::span<const uint8_t> entry) { return volume::ByteReader(entry).u32(28).value_or(0); }

enum class EntryKind { LongNamePiece, VolumeLabel, Folder, File, Invalid };

// A file is whatever is neither a folder, a label nor a long-name piece: the
// archive bit says only whether a backup has run since the last change.
// The two reserved bits are never set by a file system: such an entry is damage.
EntryKind KindOf(uint8_t attributes);

// The sum every long-name piece carries in its byte 13: rotate right and add,
// over the 11 bytes of the short name it belongs to.
uint8_t ShortNameChecksum(std::span<const uint8_t> shortEntry);

// Whether long-name pieces carrying `checksum` were written for `shortEntry`.
// A deleted short entry has lost its first byte to the deletion mark; for it
// the one first byte that makes the sums agree must also be the byte a short
// name made from `longName` starts with.
bool LongNameBelongsTo(uint8_t checksum, std::span<const uint8_t> shortEntry, std::string_view longName);

// Whether `entry` (not an end-of-directory entry) could have been written by a
// file system: a long-name piece with its fixed zero fields and a sequence
// number, or a short entry with a legal name and no reserved attribute bits.
bool IsPlausibleEntry(std::span<const uint8_t> entry);

// Whether a cluster reads as a later cluster of a directory: it holds at least
// one entry, every entry up to the end of the directory is plausible, and it
// does not start with "." as a folder's first cluster does.
bool LooksLikeDirectoryContinuation(std::span<const uint8_t> cluster);

// Whether the bytes hold an end-of-directory entry (first byte 0) at an entry boundary.
bool EndsDirectory(std::span<const uint8_t> entries);

} // namespace fat
