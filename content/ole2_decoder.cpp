// OLE2 compound files (DOC, XLS, PPT): the file ends after the furthest
// sector its allocation table uses. The kind comes from the streams named
// in the first directory sector.
#include <algorithm>
#include <string>

#include "content/decoders.h"

namespace content {

namespace {
constexpr uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint64_t kSectorShiftAt = 30, kFatSectorsAt = 44, kDirectoryAt = 48, kDifatAt = 76;
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kFreeSector = 0xFFFFFFFF, kMaxRegular = 0xFFFFFFFA;
constexpr uint64_t kDirectoryEntryBytes = 128, kNameLengthAt = 64;

// The UTF-16 name of a directory entry, as ASCII (other units become '?').
std::string EntryName(SourceWindow& w, uint64_t entry) {
    auto length = w.U16LE(entry + kNameLengthAt);
    auto name = w.Bytes(entry, 64);
    std::string text;
    if (!length || !name || *length < 2 || *length > 64)
        return text;
    for (size_t i = 0; i + 2 <= *length - 2u; i += 2)
        text += (*name)[i + 1] == 0 && (*name)[i] >= 0x20 && (*name)[i] < 0x7F ? static_cast<char>((*name)[i]) : '?';
    return text;
}
} // namespace

std::optional<Carved> DecodeOle2(SourceWindow& w) {
    if (!w.Matches(0, kSignature))
        return std::nullopt;
    auto shift = w.U16LE(kSectorShiftAt);
    auto fatSectors = w.U32LE(kFatSectorsAt);
    auto directory = w.U32LE(kDirectoryAt);
    if (!shift || !fatSectors || !directory || (*shift != 9 && *shift != 12))
        return std::nullopt;
    const uint64_t sectorBytes = uint64_t{1} << *shift;
    auto sectorAt = [&](uint32_t index) { return (uint64_t{index} + 1) * sectorBytes; };
    // Only the table sectors the header lists are read: beyond 109 of them
    // (files over 6.8 MB with 512-byte sectors) the end is a lower bound.
    const uint32_t listed = std::min(*fatSectors, kHeaderDifatEntries);
    uint64_t last = 0;
    bool complete = listed == *fatSectors;
    for (uint32_t i = 0; i < listed; ++i) {
        auto fatSector = w.U32LE(kDifatAt + uint64_t{i} * 4);
        if (!fatSector || *fatSector > kMaxRegular)
            return Broke(sectorBytes, "ole", "allocation table list broken");
        last = std::max<uint64_t>(last, *fatSector);
        const uint64_t entries = sectorBytes / 4;
        for (uint64_t e = 0; e < entries; ++e) {
            auto next = w.U32LE(sectorAt(*fatSector) + e * 4);
            if (!next)
                return Broke(sectorAt(*fatSector), "ole", "ends inside its allocation table");
            if (*next != kFreeSector)
                last = std::max<uint64_t>(last, uint64_t{i} * entries + e);
        }
    }
    std::string kind = "ole";
    for (uint64_t e = 0; e < sectorBytes / kDirectoryEntryBytes; ++e) {
        const std::string name = EntryName(w, sectorAt(*directory) + e * kDirectoryEntryBytes);
        if (name == "WordDocument")
            kind = "doc";
        else if (name == "Workbook" || name == "Book")
            kind = "xls";
        else if (name == "PowerPoint Document")
            kind = "ppt";
    }
    const uint64_t end = (last + 2) * sectorBytes;
    if (end > w.Limit())
        return Broke(w.Limit(), kind, "ends before its last sector");
    if (!complete)
        return Broke(end, kind, "allocation table beyond the header's list");
    return Carved{end, Certainty::Estimated, kind, {}};
}

} // namespace content
