// TIFF and the camera raws built on it (CR2, NEF, ARW, DNG, ORF, RW2): no
// field states the file's size, so the end is the furthest byte any IFD,
// entry value, strip, tile or embedded preview names. The kind comes from
// the header's variant and the camera maker.
#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "content/decoders.h"
#include "content/file_dates.h"

namespace content {

namespace {
constexpr uint16_t kMake = 271, kStripOffsets = 273, kStripByteCounts = 279, kTileOffsets = 324,
                   kTileByteCounts = 325, kSubIfds = 330, kJpegOffset = 513, kJpegLength = 514, kExifIfd = 34665,
                   kDngVersion = 50706;
constexpr uint64_t kEntryBytes = 12;
constexpr uint32_t kMaxIfds = 256;
constexpr uint32_t kMaxValues = 1u << 16;  // strips or tiles of one image read

uint32_t TypeBytes(uint16_t type) {
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}

struct Walk {
    Walk(SourceWindow& window, bool littleEndian) : w(window), little(littleEndian) {}
    SourceWindow& w;
    bool little;
    uint64_t end = 8;
    std::string make;
    bool dng = false;
    std::vector<uint64_t> pending;
    std::unordered_set<uint64_t> seen;

    std::optional<uint16_t> U16(uint64_t at) { return little ? w.U16LE(at) : w.U16BE(at); }
    std::optional<uint32_t> U32(uint64_t at) { return little ? w.U32LE(at) : w.U32BE(at); }
    std::optional<uint32_t> Value(uint16_t type, uint64_t at) {
        if (type == 3) {
            auto v = U16(at);
            return v ? std::optional<uint32_t>(*v) : std::nullopt;
        }
        return U32(at);
    }
    // The values of an entry: inline when they fit in four bytes, else at the offset it holds.
    std::vector<uint32_t> Values(uint64_t entry, uint16_t type, uint32_t count) {
        std::vector<uint32_t> values;
        const uint32_t width = TypeBytes(type);
        if ((type != 3 && type != 4 && type != 13) || count > kMaxValues)
            return values;
        uint64_t at = entry + 8;
        if (uint64_t{width} * count > 4) {
            auto offset = U32(entry + 8);
            if (!offset)
                return values;
            at = *offset;
        }
        for (uint32_t i = 0; i < count; ++i) {
            auto v = Value(type, at + uint64_t{i} * width);
            if (!v)
                break;
            values.push_back(*v);
        }
        return values;
    }

    // Reads one IFD; false when it cannot be read at all.
    bool Ifd(uint64_t at) {
        auto count = U16(at);
        if (!count || *count == 0)
            return false;
        const uint64_t next = at + 2 + uint64_t{*count} * kEntryBytes;
        end = std::max(end, next + 4);
        std::vector<uint32_t> offsets[3], lengths[3];  // strips, tiles, preview
        for (uint16_t i = 0; i < *count; ++i) {
            const uint64_t entry = at + 2 + uint64_t{i} * kEntryBytes;
            auto tag = U16(entry);
            auto type = U16(entry + 2);
            auto n = U32(entry + 4);
            if (!tag || !type || !n)
                return false;
            const uint64_t bytes = uint64_t{TypeBytes(*type)} * *n;
            if (bytes > 4) {
                if (auto offset = U32(entry + 8))
                    end = std::max(end, *offset + bytes);
            }
            switch (*tag) {
            case kMake:
                if (auto offset = bytes > 4 ? U32(entry + 8) : std::optional<uint32_t>(static_cast<uint32_t>(entry + 8)))
                    if (auto text = w.Bytes(*offset, static_cast<uint32_t>(std::min<uint64_t>(bytes, 32))))
                        make.assign(reinterpret_cast<const char*>(text->data()), text->size());
                break;
            case kDngVersion: dng = true; break;
            case kStripOffsets: offsets[0] = Values(entry, *type, *n); break;
            case kStripByteCounts: lengths[0] = Values(entry, *type, *n); break;
            case kTileOffsets: offsets[1] = Values(entry, *type, *n); break;
            case kTileByteCounts: lengths[1] = Values(entry, *type, *n); break;
            case kJpegOffset: offsets[2] = Values(entry, *type, 1); break;
            case kJpegLength: lengths[2] = Values(entry, *type, 1); break;
            case kSubIfds:
            case kExifIfd:
                for (uint32_t child : Values(entry, *type == 13 ? 4 : *type, *n))
                    pending.push_back(child);
                break;
            default: break;
            }
        }
        for (int k = 0; k < 3; ++k)
            for (size_t i = 0; i < std::min(offsets[k].size(), lengths[k].size()); ++i)
                end = std::max(end, uint64_t{offsets[k][i]} + lengths[k][i]);
        if (auto following = U32(next); following && *following != 0)
            pending.push_back(*following);
        return true;
    }
};

std::string KindOf(const Walk& walk, SourceWindow& w) {
    if (walk.dng)
        return "dng";
    if (w.Matches(8, "CR"))
        return "cr2";
    const std::string& make = walk.make;
    if (make.starts_with("NIKON"))
        return "nef";
    if (make.starts_with("SONY"))
        return "arw";
    if (make.starts_with("OLYMPUS") || make.starts_with("OM Digital"))
        return "orf";
    if (make.starts_with("Panasonic"))
        return "rw2";
    return "tif";
}
} // namespace

std::optional<Carved> DecodeTiff(SourceWindow& w) {
    bool little;
    if (w.Matches(0, "II*") || w.Matches(0, "IIRO") || w.Matches(0, "IIRS") || w.Matches(0, "IIU"))
        little = true;
    else if (w.Matches(0, "MM"))
        little = false;
    else
        return std::nullopt;
    Walk walk(w, little);
    auto first = walk.U32(4);
    auto marker = walk.U16(2);
    if (!first || !marker || *first < 8 || (!little && *marker != 42))
        return std::nullopt;
    walk.pending.push_back(*first);
    bool any = false;
    for (uint32_t read = 0; !walk.pending.empty() && read < kMaxIfds; ++read) {
        const uint64_t at = walk.pending.back();
        walk.pending.pop_back();
        if (!walk.seen.insert(at).second)
            continue;  // IFDs that name each other in a loop
        if (!walk.Ifd(at)) {
            if (!any)
                return std::nullopt;
            return Broke(walk.end, KindOf(walk, w), "an IFD could not be read");
        }
        any = true;
    }
    const std::string kind = KindOf(walk, w);
    if (walk.end > w.Limit())
        return Broke(w.Limit(), kind, "ends before the data its IFDs name");
    Carved carved{walk.end, Certainty::Estimated, kind, {}};
    carved.modified = ExifTime(w, 0, walk.end);
    return carved;
}

} // namespace content
