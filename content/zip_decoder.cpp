// ZIP and the formats built on it: local entries one after another, then the
// central directory, to the end-of-central-directory record. The end is
// checked when the end record names the directory the walk found, with as
// many entries as it read. Office and OpenDocument files and EPUB are told
// apart by the entries they hold.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "content/decoders.h"

namespace content {

namespace {
constexpr uint32_t kLocalHeader = 0x04034B50, kCentralHeader = 0x02014B50, kEndRecord = 0x06054B50;
constexpr uint32_t kZip64EndRecord = 0x06064B50, kZip64Locator = 0x07064B50, kDescriptor = 0x08074B50;
// Local header fields.
constexpr uint64_t kFlagsAt = 6, kCompressedAt = 18, kNameLengthAt = 26, kExtraLengthAt = 28, kLocalFixed = 30;
constexpr uint16_t kFlagDescriptor = 0x0008;
// Central header fields.
constexpr uint64_t kCentralNameAt = 28, kCentralExtraAt = 30, kCentralCommentAt = 32, kCentralFixed = 46;
// End record fields.
constexpr uint64_t kEndEntriesAt = 10, kEndDirectorySizeAt = 12, kEndDirectoryAt = 16, kEndCommentAt = 20;
constexpr uint64_t kEndFixed = 22, kZip64LocatorBytes = 20;
constexpr uint64_t kZip64EndSizeAt = 4, kZip64EndFixedPart = 12;
constexpr uint32_t kMaxEntries = 1u << 20;
constexpr uint32_t kMaxMimetype = 64;

struct Kind {
    std::string extension = "zip";
    bool contentTypes = false, word = false, excel = false, powerPoint = false;
    std::string mimetype;
};

std::string KindOf(const Kind& k) {
    if (k.mimetype == "application/vnd.oasis.opendocument.text")
        return "odt";
    if (k.mimetype == "application/vnd.oasis.opendocument.spreadsheet")
        return "ods";
    if (k.mimetype == "application/vnd.oasis.opendocument.presentation")
        return "odp";
    if (k.mimetype == "application/epub+zip")
        return "epub";
    if (k.contentTypes && k.word)
        return "docx";
    if (k.contentTypes && k.excel)
        return "xlsx";
    if (k.contentTypes && k.powerPoint)
        return "pptx";
    return "zip";
}

void NoteName(Kind& kind, std::string_view name) {
    if (name == "[Content_Types].xml")
        kind.contentTypes = true;
    else if (name.starts_with("word/"))
        kind.word = true;
    else if (name.starts_with("xl/"))
        kind.excel = true;
    else if (name.starts_with("ppt/"))
        kind.powerPoint = true;
}

// Entries whose sizes follow their data: the data ends where a descriptor
// (with or without its signature) holding the distance walked is followed by
// the next header. Returns the offset after the descriptor.
std::optional<uint64_t> FindDescriptorEnd(SourceWindow& w, uint64_t data) {
    for (uint64_t at = data; at + 4 <= w.Limit();) {
        std::span<const uint8_t> piece = w.From(at);
        if (piece.empty())
            return std::nullopt;
        const void* hit = std::memchr(piece.data(), 'P', piece.size());
        if (!hit) {
            at += piece.size();
            continue;
        }
        const uint64_t p = at + static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - piece.data());
        at = p + 1;
        auto sig = w.U32LE(p);
        if (!sig)
            return std::nullopt;
        if (*sig == kDescriptor) {
            auto compressed = w.U32LE(p + 8);
            if (compressed && *compressed == p - data)
                return p + 16;
        } else if ((*sig == kLocalHeader || *sig == kCentralHeader) && p >= data + 12) {
            auto compressed = w.U32LE(p - 8);
            if (compressed && *compressed == p - 12 - data)
                return p;
        }
    }
    return std::nullopt;
}
} // namespace

std::optional<Carved> DecodeZip(SourceWindow& w) {
    auto first = w.U32LE(0);
    if (!first || *first != kLocalHeader)
        return std::nullopt;
    Kind kind;
    uint64_t at = 0;
    std::vector<uint64_t> localOffsets;
    // Local entries.
    for (;;) {
        auto sig = w.U32LE(at);
        if (!sig)
            return Broke(at, KindOf(kind), "ends before its central directory");
        if (*sig != kLocalHeader)
            break;
        auto flags = w.U16LE(at + kFlagsAt);
        auto compressed = w.U32LE(at + kCompressedAt);
        auto nameLength = w.U16LE(at + kNameLengthAt);
        auto extraLength = w.U16LE(at + kExtraLengthAt);
        if (!flags || !compressed || !nameLength || !extraLength)
            return Broke(at, KindOf(kind), "ends inside a local header");
        auto name = w.Bytes(at + kLocalFixed, *nameLength);
        if (!name)
            return Broke(at, KindOf(kind), "ends inside a local header");
        const std::string_view nameText(reinterpret_cast<const char*>(name->data()), name->size());
        NoteName(kind, nameText);
        const uint64_t data = at + kLocalFixed + *nameLength + *extraLength;
        if (localOffsets.empty() && nameText == "mimetype" && *compressed <= kMaxMimetype) {
            if (auto type = w.Bytes(data, *compressed))
                kind.mimetype.assign(reinterpret_cast<const char*>(type->data()), type->size());
        }
        if (localOffsets.size() >= kMaxEntries)
            return Broke(at, KindOf(kind), "too many entries");
        localOffsets.push_back(at);
        if ((*flags & kFlagDescriptor) && *compressed == 0) {
            auto next = FindDescriptorEnd(w, data);
            if (!next)
                return Broke(at, KindOf(kind), "entry data without an end");
            at = *next;
            continue;
        }
        if (*compressed > w.Limit() - std::min(w.Limit(), data))
            return Broke(at, KindOf(kind), "entry length past the end");
        at = data + *compressed;
        if (*flags & kFlagDescriptor) {
            auto maybeSig = w.U32LE(at);
            at += (maybeSig && *maybeSig == kDescriptor) ? 16 : 12;
        }
    }
    // The central directory: one header per local entry, each naming one.
    const uint64_t directory = at;
    uint32_t entries = 0;
    std::sort(localOffsets.begin(), localOffsets.end());
    bool consistent = true;
    for (;;) {
        auto sig = w.U32LE(at);
        if (!sig)
            return Broke(at, KindOf(kind), "ends inside its central directory");
        if (*sig != kCentralHeader)
            break;
        auto nameLength = w.U16LE(at + kCentralNameAt);
        auto extraLength = w.U16LE(at + kCentralExtraAt);
        auto commentLength = w.U16LE(at + kCentralCommentAt);
        auto local = w.U32LE(at + 42);
        if (!nameLength || !extraLength || !commentLength || !local)
            return Broke(at, KindOf(kind), "ends inside its central directory");
        if (*local != UINT32_MAX && !std::binary_search(localOffsets.begin(), localOffsets.end(), *local))
            consistent = false;
        if (++entries > kMaxEntries)
            return Broke(at, KindOf(kind), "too many entries");
        at += kCentralFixed + *nameLength + *extraLength + *commentLength;
    }
    // ZIP64 end record and locator, then the end record.
    if (auto sig = w.U32LE(at); sig && *sig == kZip64EndRecord) {
        auto size = w.U64LE(at + kZip64EndSizeAt);
        if (!size || *size > w.Limit())
            return Broke(at, KindOf(kind), "ZIP64 end record past the end");
        at += kZip64EndFixedPart + *size;
        if (auto locator = w.U32LE(at); locator && *locator == kZip64Locator)
            at += kZip64LocatorBytes;
    }
    auto endSig = w.U32LE(at);
    if (!endSig || *endSig != kEndRecord)
        return Broke(at, KindOf(kind), "no end of central directory record");
    auto count = w.U16LE(at + kEndEntriesAt);
    auto size = w.U32LE(at + kEndDirectorySizeAt);
    auto offset = w.U32LE(at + kEndDirectoryAt);
    auto commentLength = w.U16LE(at + kEndCommentAt);
    if (!count || !size || !offset || !commentLength)
        return Broke(at, KindOf(kind), "ends inside its end record");
    const uint64_t end = at + kEndFixed + *commentLength;
    if (end > w.Limit())
        return Broke(at, KindOf(kind), "comment past the end");
    const bool zip64 = *count == UINT16_MAX || *offset == UINT32_MAX;
    consistent = consistent && entries == localOffsets.size() &&
                 (zip64 || (*count == (entries & 0xFFFF) && *offset == directory && *size == at - directory));
    return Carved{end, consistent ? Certainty::Checked : Certainty::Estimated, KindOf(kind), {}};
}

} // namespace content
