#include "fat/directory_entry.h"

#include <cstring>
#include <optional>
#include <string>

#include "platform/clock.h"

#include "volume/byte_reader.h"

namespace fat {

namespace {

namespace entry = layout::entry;
namespace long_name = layout::long_name;
constexpr uint8_t kAttrVolumeLabel = entry::kAttrVolumeLabel;
constexpr uint8_t kAttrDirectory = entry::kAttrDirectory;
constexpr uint8_t kAttrReserved = entry::kAttrReserved;

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

std::optional<platform::CalendarTime> DecodeDate(uint16_t v) {
    platform::CalendarTime t;
    t.day = v & 0x1F;
    t.month = (v >> 5) & 0x0F;
    t.year = 1980 + (v >> 9);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > kDays[t.month - 1])
        return std::nullopt;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month == 2 && t.day == 29 && !leap)
        return std::nullopt;
    return t;
}

bool DecodeTime(uint16_t v, platform::CalendarTime& t) {
    const int halfSeconds = v & 0x1F, minutes = (v >> 5) & 0x3F, hours = v >> 11;
    if (halfSeconds >= 30 || minutes >= 60 || hours >= 24)
        return false;
    t.second = halfSeconds * 2;
    t.minute = minutes;
    t.hour = hours;
    return true;
}

// The volume holds local time; file times are UTC.
std::optional<FileTime> EntryTime(uint16_t date, std::optional<uint16_t> time) {
    auto t = DecodeDate(date);
    if (!t || (time && !DecodeTime(*time, *t)))
        return std::nullopt;
    return platform::LocalCalendarToFileTime(*t);
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
    for (size_t i = 0; i < entry::kShortNameLength && i < shortEntry.size(); ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + shortEntry[i]);
    return sum;
}

bool LongNameBelongsTo(uint8_t checksum, std::span<const uint8_t> shortEntry, std::string_view longName) {
    if (shortEntry.size() < entry::kShortNameLength)
        return false;
    if (shortEntry[0] != kDeletedMark)
        return ShortNameChecksum(shortEntry) == checksum;
    // Each step of the sum is a bijection, so exactly one first byte fits any
    // checksum: on its own that proves nothing. It has to be the byte the
    // long name's first character gives a short name. Undoing the steps from
    // the last byte back (subtract, rotate left) leaves that first byte.
    uint8_t first = checksum;
    for (size_t i = entry::kShortNameLength - 1; i >= 1; --i) {
        const uint8_t before = static_cast<uint8_t>(first - shortEntry[i]);
        first = static_cast<uint8_t>((before << 1) | (before >> 7));
    }
    if (const uint8_t expected = ExpectedFirstByte(longName))
        return first == expected;
    // A first character outside ASCII becomes its code-page byte (0x05 standing
    // in for 0xE5), a plain letter that resembles it, or "_".
    return first >= 0x80 || first == entry::kStandsForE5 || first == '_' || (first >= 'A' && first <= 'Z');
}

bool IsPlausibleEntry(std::span<const uint8_t> bytes) {
    volume::ByteReader reader(bytes);
    if (!reader.Has(0, kEntrySize))
        return false;
    const uint8_t first = bytes[entry::kName], attributes = bytes[entry::kAttributes];
    if (attributes == kAttrLongName) {
        // A piece has no cluster and no type; its first byte counts the pieces
        // (1 to 20, 0x40 on the last one) unless the deletion mark replaced it.
        if (bytes[long_name::kType] != 0 || reader.u16(long_name::kFirstCluster).value_or(0) != 0)
            return false;
        const uint8_t order = first & long_name::kOrderMask;
        // Bits 5 and 7 of the order byte are never set; bit 6 marks the last piece.
        return first == kDeletedMark ||
               ((first & ~(long_name::kOrderMask | long_name::kLastPiece)) == 0 && order >= 1 &&
                order <= long_name::kMaxOrder);
    }
    if (attributes & kAttrReserved)
        return false;
    if (first == ' ')
        return false;
    for (size_t i = 0; i < entry::kShortNameLength; ++i) {
        const uint8_t c = bytes[entry::kName + i];
        if (i == 0 && (c == kDeletedMark || c == entry::kStandsForE5))
            continue;
        if (c < 0x80 && IsForbiddenInShortName(c))
            return false;
    }
    return true;
}

bool LooksLikeDirectoryContinuation(std::span<const uint8_t> cluster) {
    size_t entries = 0;
    for (size_t pos = 0; pos + kEntrySize <= cluster.size(); pos += kEntrySize) {
        std::span<const uint8_t> one = cluster.subspan(pos, kEntrySize);
        if (one[entry::kName] == entry::kEndOfDirectory)
            break;
        if (!IsPlausibleEntry(one))
            return false;  // "." and ".." fail here too: they open a folder's first cluster
        ++entries;
    }
    return entries > 0;
}

bool EndsDirectory(std::span<const uint8_t> entries) {
    for (size_t pos = 0; pos + kEntrySize <= entries.size(); pos += kEntrySize)
        if (entries[pos + entry::kName] == entry::kEndOfDirectory)
            return true;
    return false;
}

bool IsDotEntry(std::span<const uint8_t> bytes) {
    std::string name;
    for (size_t i = 0; i < entry::kNameLength && i < bytes.size() && bytes[entry::kName + i] != ' '; ++i)
        name += static_cast<char>(bytes[entry::kName + i]);
    return name == "." || name == "..";
}

FileTime EntryModifiedTime(std::span<const uint8_t> e) {
    if (e.size() < entry::kSize)
        return 0;
    return EntryTime(EntryU16(e, entry::kModifiedDate), EntryU16(e, entry::kModifiedTime)).value_or(0);
}

FileTime EntryCreatedTime(std::span<const uint8_t> e) {
    if (e.size() < entry::kSize)
        return 0;
    return EntryTime(EntryU16(e, entry::kCreatedDate), EntryU16(e, entry::kCreatedTime)).value_or(0);
}

volume::Decoded FillFromEntry(std::span<const uint8_t> e, const Geometry& geometry, TMyFile& file) {
    if (e.size() < entry::kSize)
        return volume::Decoded::Refused("directory entry cut short");
    if (auto t = EntryTime(EntryU16(e, entry::kCreatedDate), EntryU16(e, entry::kCreatedTime)))
        file.CreatedTime = *t;
    if (auto t = EntryTime(EntryU16(e, entry::kAccessedDate), std::nullopt))
        file.AccessedTime = *t;
    if (auto t = EntryTime(EntryU16(e, entry::kModifiedDate), EntryU16(e, entry::kModifiedTime))) {
        file.ModifiedTime = *t;
        file.HasTimes = true;
    }
    file.Runs.clear();
    // Cluster numbers 0 and 1 name the table's reserved slots, not data: such
    // an entry has lost the position of its data.
    const uint32_t first = FirstClusterOf(e, geometry);
    if (first < layout::table::kFirstData) {
        file.DataPos = 0;
        return volume::Decoded::Done();
    }
    file.DataPos = geometry.OffsetOf(geometry.IndexOf(first));
    file.Runs.push_back(TMyFileRun{file.DataPos, FileSizeOf(e), 0, true});
    return volume::Decoded::Done();
}

} // namespace fat
