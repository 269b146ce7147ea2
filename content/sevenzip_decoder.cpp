// 7z: the start header, guarded by its CRC, names where the closing header
// lies and its CRC; the archive ends after it.
#include "content/decoders.h"
#include "content/window_crc.h"

namespace content {

namespace {
constexpr uint8_t kSignature[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr uint64_t kStartCrcAt = 8, kNextOffsetAt = 12, kNextSizeAt = 20, kNextCrcAt = 28;
constexpr uint64_t kStartHeaderBytes = 32;
constexpr uint64_t kMaxNextHeader = 64u << 20;
} // namespace

std::optional<Carved> DecodeSevenZip(SourceWindow& w) {
    if (!w.Matches(0, kSignature))
        return std::nullopt;
    auto startCrc = w.U32LE(kStartCrcAt);
    auto nextOffset = w.U64LE(kNextOffsetAt);
    auto nextSize = w.U64LE(kNextSizeAt);
    auto nextCrc = w.U32LE(kNextCrcAt);
    auto computed = WindowCrc32(w, kNextOffsetAt, kStartHeaderBytes - kNextOffsetAt);
    if (!startCrc || !nextOffset || !nextSize || !nextCrc || !computed || *computed != *startCrc)
        return std::nullopt;
    if (*nextOffset > w.Limit() || *nextSize > kMaxNextHeader ||
        kStartHeaderBytes + *nextOffset + *nextSize > w.Limit())
        return Broke(kStartHeaderBytes, "7z", "closing header past the end");
    const uint64_t header = kStartHeaderBytes + *nextOffset;
    auto crc = WindowCrc32(w, header, *nextSize);
    if (!crc || *crc != *nextCrc)
        return Broke(header, "7z", "closing header checksum does not match");
    return Carved{header + *nextSize, Certainty::Checked, "7z", {}};
}

} // namespace content
