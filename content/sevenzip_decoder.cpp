// 7z: the start header, guarded by its CRC, names where the closing header
// lies and its CRC; the archive ends after it.
#include <zlib.h>

#include "content/decoders.h"

namespace content {

namespace {
constexpr uint8_t kSignature[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr uint64_t kStartCrcAt = 8, kNextOffsetAt = 12, kNextSizeAt = 20, kNextCrcAt = 28;
constexpr uint64_t kStartHeaderBytes = 32;
constexpr uint64_t kMaxNextHeader = 64u << 20;

std::optional<uint32_t> CrcOf(SourceWindow& w, uint64_t offset, uint64_t length) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (length > 0) {
        std::span<const uint8_t> piece = w.From(offset);
        if (piece.empty())
            return std::nullopt;
        const uint64_t take = std::min<uint64_t>(piece.size(), length);
        crc = crc32(crc, piece.data(), static_cast<uInt>(take));
        offset += take;
        length -= take;
    }
    return static_cast<uint32_t>(crc);
}
} // namespace

std::optional<Carved> DecodeSevenZip(SourceWindow& w) {
    if (!w.Matches(0, kSignature))
        return std::nullopt;
    auto startCrc = w.U32LE(kStartCrcAt);
    auto nextOffset = w.U64LE(kNextOffsetAt);
    auto nextSize = w.U64LE(kNextSizeAt);
    auto nextCrc = w.U32LE(kNextCrcAt);
    auto computed = CrcOf(w, kNextOffsetAt, kStartHeaderBytes - kNextOffsetAt);
    if (!startCrc || !nextOffset || !nextSize || !nextCrc || !computed || *computed != *startCrc)
        return std::nullopt;
    if (*nextOffset > w.Limit() || *nextSize > kMaxNextHeader ||
        kStartHeaderBytes + *nextOffset + *nextSize > w.Limit())
        return Broke(kStartHeaderBytes, "7z", "closing header past the end");
    const uint64_t header = kStartHeaderBytes + *nextOffset;
    auto crc = CrcOf(w, header, *nextSize);
    if (!crc || *crc != *nextCrc)
        return Broke(header, "7z", "closing header checksum does not match");
    return Carved{header + *nextSize, Certainty::Checked, "7z", {}};
}

} // namespace content
