#include "exfat/entry_set.h"

#include "exfat/exfat_layout.h"
#include "platform/clock.h"
#include "volume/byte_reader.h"
#include "volume/text.h"

namespace exfat {

namespace entry = layout::entry;
namespace file = layout::file;
namespace stream = layout::stream;
namespace name = layout::name;
namespace ts = layout::timestamp;

namespace {
constexpr uint64_t kTicksPerMinute = 600'000'000;
constexpr uint64_t kTicksPer10ms = 100'000;

// The type an entry had while in use.
uint8_t InUseType(uint8_t type) { return static_cast<uint8_t>(type | entry::kInUse); }
} // namespace

uint16_t SetChecksum(std::span<const uint8_t> set) {
    uint16_t sum = 0;
    for (size_t i = 0; i < set.size(); ++i) {
        if (i == file::kSetChecksum || i == file::kSetChecksum + 1)
            continue;
        const uint8_t byte = (i % entry::kSize == entry::kType) ? InUseType(set[i]) : set[i];
        sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte);
    }
    return sum;
}

std::optional<FileTime> DecodeTimestamp(uint32_t packed, uint8_t tenMs, uint8_t utcOffset) {
    platform::CalendarTime t;
    t.year = ts::kYearBase + static_cast<int>((packed >> ts::kYearShift) & ts::kYearMask);
    t.month = static_cast<int>((packed >> ts::kMonthShift) & ts::kMonthMask);
    t.day = static_cast<int>((packed >> ts::kDayShift) & ts::kDayMask);
    t.hour = static_cast<int>((packed >> ts::kHourShift) & ts::kHourMask);
    t.minute = static_cast<int>((packed >> ts::kMinuteShift) & ts::kMinuteMask);
    t.second = static_cast<int>(packed & ts::kDoubleSecondsMask) * 2;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59 || t.second > 59 ||
        tenMs > ts::kMax10ms)
        return std::nullopt;
    if (!(utcOffset & ts::kOffsetValid)) {
        auto local = platform::LocalCalendarToFileTime(t);
        if (!local)
            return std::nullopt;
        return *local + tenMs * kTicksPer10ms;
    }
    auto asUtc = platform::CalendarToFileTime(t);
    if (!asUtc)
        return std::nullopt;
    // Seven bits, signed: quarters of an hour east of UTC.
    int offset = utcOffset & ts::kOffsetMask;
    if (offset & 0x40)
        offset -= 0x80;
    const int64_t shift = static_cast<int64_t>(offset) * ts::kOffsetUnitMinutes * static_cast<int64_t>(kTicksPerMinute);
    const int64_t ticks = static_cast<int64_t>(*asUtc + tenMs * kTicksPer10ms) - shift;
    if (ticks < 0)
        return std::nullopt;
    return static_cast<FileTime>(ticks);
}

volume::Parsed<EntrySet> ParseEntrySet(std::span<const uint8_t> entries) {
    using Refused = volume::Parsed<EntrySet>;
    const volume::ByteReader r(entries);
    const auto type = r.u8(entry::kType);
    if (!type || (*type != entry::kFile && *type != entry::kDeletedFile))
        return Refused::Refused("not a File entry");
    EntrySet set;
    set.deleted = *type == entry::kDeletedFile;
    set.secondaryCount = r.u8(file::kSecondaryCount).value_or(0);
    if (set.secondaryCount < file::kMinSecondaries || set.secondaryCount > file::kMaxSecondaries)
        return Refused::Refused("secondary count out of range");
    if (!r.Has(0, set.EntryCount() * entry::kSize))
        return Refused::Refused("set cut short");
    // Every entry of a set is deleted together; one that is not was written since.
    const uint8_t inUse = set.deleted ? 0 : entry::kInUse;
    auto typeAt = [&](size_t index) { return *r.u8(index * entry::kSize); };
    for (size_t i = 1; i < set.EntryCount(); ++i)
        if ((typeAt(i) & entry::kInUse) != inUse || !(typeAt(i) & entry::kSecondary))
            return Refused::Refused("secondary entry of another set");
    if (InUseType(typeAt(1)) != entry::kStreamExtension)
        return Refused::Refused("no stream extension");

    const volume::ByteReader s = r.Sub(entry::kSize, entry::kSize);
    const uint8_t nameLength = *s.u8(stream::kNameLength);
    const size_t nameEntries = (size_t{nameLength} + name::kUnitsPerEntry - 1) / name::kUnitsPerEntry;
    if (nameLength == 0 || nameEntries + 1 > set.secondaryCount)
        return Refused::Refused("name length does not fit the count");
    for (size_t i = 0; i < nameEntries; ++i)
        if (InUseType(typeAt(2 + i)) != entry::kFileName)
            return Refused::Refused("name entry missing");
    set.noFatChain = (*s.u8(stream::kFlags) & stream::kNoFatChain) != 0;
    set.firstCluster = *s.u32(stream::kFirstCluster);
    set.validDataLength = *s.u64(stream::kValidDataLength);
    set.dataLength = *s.u64(stream::kDataLength);
    if (set.validDataLength > set.dataLength)
        return Refused::Refused("valid data beyond the data length");
    if (set.dataLength > 0 && set.firstCluster < layout::table::kFirstData)
        return Refused::Refused("data without a first cluster");

    // The name's units run through its entries, fifteen to an entry.
    uint8_t units[name::kMaxLength * 2];
    for (size_t u = 0; u < nameLength; ++u) {
        const size_t at = (2 + u / name::kUnitsPerEntry) * entry::kSize + name::kFileName + (u % name::kUnitsPerEntry) * 2;
        const uint16_t unit = *r.u16(at);
        if (unit == 0)
            return Refused::Refused("name cut short");
        units[2 * u] = static_cast<uint8_t>(unit);
        units[2 * u + 1] = static_cast<uint8_t>(unit >> 8);
    }
    set.name = volume::Utf16LeToUtf8(units, nameLength);

    set.folder = (*r.u16(file::kAttributes) & file::kAttrDirectory) != 0;
    if (auto t = DecodeTimestamp(*r.u32(file::kCreateTimestamp), *r.u8(file::kCreate10ms), *r.u8(file::kCreateUtcOffset)))
        set.created = *t;
    if (auto t = DecodeTimestamp(*r.u32(file::kModifyTimestamp), *r.u8(file::kModify10ms), *r.u8(file::kModifyUtcOffset))) {
        set.modified = *t;
        set.hasTimes = true;
    }
    if (auto t = DecodeTimestamp(*r.u32(file::kAccessTimestamp), 0, *r.u8(file::kAccessUtcOffset)))
        set.accessed = *t;
    set.checksumMatches = SetChecksum(entries.first(set.EntryCount() * entry::kSize)) == *r.u16(file::kSetChecksum);
    return set;
}

} // namespace exfat
