#include "content/file_dates.h"

#include "platform/clock.h"

namespace content {

namespace {
constexpr uint16_t kDateTime = 306, kExifIfd = 34665, kDateTimeOriginal = 36867, kOffsetTimeOriginal = 36881;
constexpr uint16_t kAsciiType = 2, kLongType = 4;
constexpr uint64_t kEntryBytes = 12;
constexpr uint16_t kMaxEntries = 1024;  // an IFD longer than this is no camera's
constexpr uint64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 (FILETIME's start) to 1904-01-01 (the movie header's).
constexpr uint64_t kSeconds1601To1904 = 9'561'628'800ull;

std::optional<int> Digits(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// One TIFF structure's IFDs, every offset from its header and inside its end.
struct TiffReader {
    SourceWindow& w;
    uint64_t start, end;
    bool little;

    std::optional<uint16_t> U16(uint64_t at) {
        if (at + 2 > end - start)
            return std::nullopt;
        return little ? w.U16LE(start + at) : w.U16BE(start + at);
    }
    std::optional<uint32_t> U32(uint64_t at) {
        if (at + 4 > end - start)
            return std::nullopt;
        return little ? w.U32LE(start + at) : w.U32BE(start + at);
    }

    struct Entry {
        uint16_t type = 0;
        uint32_t count = 0;
        uint64_t valueAt = 0;  // where its values lie: in the entry when they fit in four bytes
    };
    std::optional<Entry> Find(uint64_t ifd, uint16_t tag) {
        auto count = U16(ifd);
        if (!count || *count > kMaxEntries)
            return std::nullopt;
        for (uint16_t i = 0; i < *count; ++i) {
            const uint64_t entry = ifd + 2 + i * kEntryBytes;
            auto entryTag = U16(entry);
            auto type = U16(entry + 2);
            auto values = U32(entry + 4);
            if (!entryTag || !type || !values)
                return std::nullopt;
            if (*entryTag != tag)
                continue;
            Entry found{*type, *values, entry + 8};
            const uint64_t bytes = *type == kLongType ? uint64_t{*values} * 4 : *values;
            if (bytes > 4) {
                auto offset = U32(entry + 8);
                if (!offset)
                    return std::nullopt;
                found.valueAt = *offset;
            }
            return found;
        }
        return std::nullopt;
    }
    std::string Text(uint64_t ifd, uint16_t tag) {
        auto entry = Find(ifd, tag);
        if (!entry || entry->type != kAsciiType || entry->count == 0 || entry->count > 64 ||
            entry->valueAt + entry->count > end - start)
            return {};
        auto bytes = w.Bytes(start + entry->valueAt, entry->count);
        if (!bytes)
            return {};
        std::string text(bytes->begin(), bytes->end());
        return text.substr(0, text.find('\0'));
    }
};
} // namespace

uint64_t ExifDateText(std::string_view date, std::string_view zone) {
    if (date.size() < 19 || date[4] != ':' || date[7] != ':' || date[10] != ' ' || date[13] != ':' || date[16] != ':')
        return 0;
    platform::CalendarTime t;
    auto year = Digits(date, 0, 4), month = Digits(date, 5, 2), day = Digits(date, 8, 2);
    auto hour = Digits(date, 11, 2), minute = Digits(date, 14, 2), second = Digits(date, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *year < 1980 || *month < 1 || *month > 12 ||
        *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 59)
        return 0;
    t.year = *year, t.month = *month, t.day = *day, t.hour = *hour, t.minute = *minute, t.second = *second;
    if (zone.size() >= 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
        auto zh = Digits(zone, 1, 2), zm = Digits(zone, 4, 2);
        auto utc = platform::CalendarToFileTime(t);
        if (zh && zm && *zh <= 14 && *zm <= 59 && utc) {
            const uint64_t shift = (uint64_t(*zh) * 3600 + uint64_t(*zm) * 60) * kTicksPerSecond;
            // The clock ran ahead of UTC by the zone: UTC is the clock less it.
            return zone[0] == '+' ? *utc - shift : *utc + shift;
        }
    }
    return platform::LocalCalendarToFileTime(t).value_or(0);
}

uint64_t ExifTime(SourceWindow& w, uint64_t tiffStart, uint64_t tiffEnd) {
    if (tiffEnd <= tiffStart)
        return 0;
    bool little;
    // Olympus and Panasonic raws put their own mark after "II".
    if (w.Matches(tiffStart, "II"))
        little = true;
    else if (w.Matches(tiffStart, "MM") && w.U16BE(tiffStart + 2) == 42)
        little = false;
    else
        return 0;
    TiffReader tiff{w, tiffStart, tiffEnd, little};
    auto ifd0 = tiff.U32(4);
    if (!ifd0)
        return 0;
    if (auto exif = tiff.Find(*ifd0, kExifIfd); exif && exif->type == kLongType && exif->count == 1)
        if (auto exifIfd = tiff.U32(exif->valueAt)) {
            const std::string taken = tiff.Text(*exifIfd, kDateTimeOriginal);
            if (uint64_t time = ExifDateText(taken, tiff.Text(*exifIfd, kOffsetTimeOriginal)))
                return time;
        }
    return ExifDateText(tiff.Text(*ifd0, kDateTime), {});
}

uint64_t MovieHeaderTime(SourceWindow& w, uint64_t box) {
    constexpr uint64_t kVersionAt = 8, kModified32At = 16, kModified64At = 20;
    auto version = w.U8(box + kVersionAt);
    const uint8_t noFlags[] = {0, 0, 0};
    if (!version || *version > 1 || !w.Matches(box + kVersionAt + 1, noFlags))
        return 0;
    std::optional<uint64_t> seconds;
    if (*version == 1)
        seconds = w.U64BE(box + kModified64At);
    else if (auto s = w.U32BE(box + kModified32At))
        seconds = *s;
    // 0 is a blank header; anything past the year 3000 is no date.
    constexpr uint64_t kSecondsTo3000 = 34'700'000'000ull;
    if (!seconds || *seconds == 0 || *seconds > kSecondsTo3000)
        return 0;
    return (*seconds + kSeconds1601To1904) * kTicksPerSecond;
}

} // namespace content
