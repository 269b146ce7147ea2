#include "fat/directory_entry.h"

#include <cstring>

#include "volume/byte_reader.h"

namespace fat {

namespace {

constexpr uint8_t kAttrVolumeLabel = 0x08;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kAttrReserved = 0xC0;

bool IsAsciiLetterOrDigit(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// ASCII characters a short name may hold besides letters and digits.
bool IsShortNameSymbol(uint8_t c) { return c && std::strchr("$%'-_@~`!(){}^#&", c); }

// Characters no short name holds: they are replaced or refused when one is made.
bool IsForbiddenInShortName(uint8_t c) { return c < 0x20 || std::strchr("\"*+,./:;<=>?[\\]|", c); }

// The byte a short name made from `longName` begins with, or 0 when the
// long name begins outside ASCII and the byte depends on the code page.
uint8_t ExpectedFirstByte(std::string_view longName) {
    // Leading blanks and dots never make it into a short name.
    const size_t start = longName.find_first_not_of(" .");
    if (start == std::string_view::npos)
        return '_';
    const uint8_t c = static_cast<uint8_t>(longName[start]);
    if (c >= 0x80)
        return 0;
    if (IsAsciiLetterOrDigit(c) || IsShortNameSymbol(c))
        return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 'a' + 'A') : c;
    return '_';
}

} // namespace

EntryKind KindOf(uint8_t attributes) {
    if (attributes == kAttrLongName)
        return EntryKind::LongNamePiece;
    if (attributes & kAttrReserved)
        return EntryKind::Invalid;
    if (attributes & kAttrVolumeLabel)
        return EntryKind::VolumeLabel;
    if (attributes & kAttrDirectory)
        return EntryKind::Folder;
    return EntryKind::File;
}

uint8_t ShortNameChecksum(std::span<const uint8_t> shortEntry) {
    uint8_t sum = 0;
    for (size_t i = 0; i < 11 && i < shortEntry.size(); ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + shortEntry[i]);
    return sum;
}

bool LongNameBelongsTo(uint8_t checksum, std::span<const uint8_t> shortEntry, std::string_view longName) {
    if (shortEntry.size() < 11)
        return false;
    if (shortEntry[0] != kDeletedMark)
        return ShortNameChecksum(shortEntry) == checksum;
    // Each step of the sum is a bijection, so exactly one first byte fits any
    // checksum: on its own that proves nothing. It has to be the byte the
    // long name's first character gives a short name. Undoing the steps from
    // the last byte back (subtract, rotate left) leaves that first byte.
    uint8_t first = checksum;
    for (size_t i = 10; i >= 1; --i) {
        const uint8_t before = static_cast<uint8_t>(first - shortEntry[i]);
        first = static_cast<uint8_t>((before << 1) | (before >> 7));
    }
    if (const uint8_t expected = ExpectedFirstByte(longName))
        return first == expected;
    // A first character outside ASCII becomes its code-page byte (0x05 standing
    // in for 0xE5), a plain letter that resembles it, or "_".
    return first >= 0x80 || first == 0x05 || first == '_' || (first >= 'A' && first <= 'Z');
}

bool IsPlausibleEntry(std::span<const uint8_t> entry) {
    volume::ByteReader reader(entry);
    if (!reader.Has(0, kEntrySize))
        return false;
    const uint8_t first = entry[0], attributes = entry[11];
    if (attributes == kAttrLongName) {
        // A piece has no cluster and no type; its first byte counts the pieces
        // (1 to 20, 0x40 on the last one) unless the deletion mark replaced it.
        if (entry[12] != 0 || *reader.u16(26) != 0)
            return false;
        const uint8_t order = first & 0x1F;
        return first == kDeletedMark || ((first & 0xA0) == 0 && order >= 1 && order <= 20);
    }
    if (attributes & kAttrReserved)
        return false;
    if (first == ' ')
        return false;
    for (size_t i = 0; i < 11; ++i) {
        const uint8_t c = entry[i];
        if (i == 0 && (c == kDeletedMark || c == 0x05))
            continue;
        if (c < 0x80 && IsForbiddenInShortName(c))
            return false;
    }
    return true;
}

bool LooksLikeDirectoryContinuation(std::span<const uint8_t> cluster) {
    size_t entries = 0;
    for (size_t pos = 0; pos + kEntrySize <= cluster.size(); pos += kEntrySize) {
        std::span<const uint8_t> entry = cluster.subspan(pos, kEntrySize);
        if (entry[0] == 0x00)
            break;
        if (!IsPlausibleEntry(entry))
            return false;  // "." and ".." fail here too: they open a folder's first cluster
        ++entries;
    }
    return entries > 0;
}

bool EndsDirectory(std::span<const uint8_t> entries) {
    for (size_t pos = 0; pos + kEntrySize <= entries.size(); pos += kEntrySize)
        if (entries[pos] == 0x00)
            return true;
    return false;
}

} // namespace fat
