#pragma once
// What one 32-byte FAT directory entry is, judged from its own bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fat/fat_geometry.h"
#include "fat/fat_layout.h"
#include "volume/byte_reader.h"
#include "volume/parsed.h"
#include "volume/records.h"

namespace fat {

constexpr size_t kEntrySize = layout::entry::kSize;
constexpr uint8_t kDeletedMark = layout::entry::kDeletedMark;
constexpr uint8_t kAttrLongName = layout::entry::kAttrLongName;

// Fields of a short entry; 0 for an entry cut short.
inline uint16_t EntryU16(std::span<const uint8_t> entry, size_t offset) {
    return volume::ByteReader(entry).u16(offset).value_or(0);
}
inline uint32_t FirstClusterOf(std::span<const uint8_t> entry) {
    return (uint32_t{EntryU16(entry, layout::entry::kFirstClusterHigh)} << 16) |
           EntryU16(entry, layout::entry::kFirstClusterLow);
}
// FAT12/16 have no high word: the field is reserved there, and whatever it holds is no cluster.
inline uint32_t FirstClusterOf(std::span<const uint8_t> entry, const Geometry& geometry) {
    return geometry.FixedRoot() ? EntryU16(entry, layout::entry::kFirstClusterLow) : FirstClusterOf(entry);
}
inline uint32_t FileSizeOf(std::span<const uint8_t> entry) {
    return volume::ByteReader(entry).u32(layout::entry::kFileSize).value_or(0);
}

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

// Whether the entry is "." or "..", which open every folder but the root.
bool IsDotEntry(std::span<const uint8_t> entry);

// The 8.3 name of a short entry through the ANSI code page, with Windows'
// lower-case flags honoured; "?" (a character the code page lacks) becomes "_".
std::string ShortName(std::span<const uint8_t> entry);

// A long name gathered from its pieces.
struct LongName {
    std::string text;
    uint8_t checksum = 0;  // of the short name the pieces were written for
};
// Reads the run of long-name pieces starting at `pos` in `data` that carry
// the first piece's checksum, and leaves `pos` on the entry after them. An
// entry cut short ends the run.
LongName ReadLongName(std::span<const uint8_t> data, size_t& pos);

// The entry's last-write time; 0 when it does not decode. A kept folder takes it.
FileTime EntryModifiedTime(std::span<const uint8_t> e);
// The entry's creation time, to the two seconds it keeps; 0 when it does not decode.
FileTime EntryCreatedTime(std::span<const uint8_t> e);

// Times, first cluster and size of a short entry into `file`: its data lies
// where `geometry` puts the first cluster, or nowhere (DataPos 0, no runs)
// when the entry names a reserved cluster. An entry cut short fills nothing.
volume::Decoded FillFromEntry(std::span<const uint8_t> entry, const Geometry& geometry, TMyFile& file);

} // namespace fat
