// PNG: chunks, each with its length and CRC, from IHDR to IEND.
#include "content/decoders.h"
#include "content/window_crc.h"

namespace content {

namespace {
constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint64_t kSignatureBytes = 8;
constexpr uint64_t kChunkHeader = 8;  // length, type
constexpr uint64_t kChunkCrc = 4;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

bool IsChunkType(std::span<const uint8_t> type) {
    for (uint8_t c : type)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

} // namespace

std::optional<Carved> DecodePng(SourceWindow& w) {
    if (!w.Matches(0, kSignature))
        return std::nullopt;
    uint64_t at = kSignatureBytes;
    bool first = true;
    for (;;) {
        auto length = w.U32BE(at);
        auto type = w.Bytes(at + 4, 4);
        if (!length || !type)
            return Broke(at, "png", "ends before IEND");
        const bool ihdr = std::equal(type->begin(), type->end(), "IHDR");
        if (first && !ihdr)
            return std::nullopt;  // the signature alone, met by chance
        first = false;
        if (!IsChunkType(*type))
            return Broke(at, "png", "no chunk where one should start");
        if (*length > kMaxChunkLength || *length > w.Limit() - std::min(w.Limit(), at + kChunkHeader + kChunkCrc))
            return Broke(at, "png", "chunk length past the end");
        const bool iend = std::equal(type->begin(), type->end(), "IEND");
        auto crc = WindowCrc32(w, at + 4, 4 + uint64_t{*length});
        auto stored = w.U32BE(at + kChunkHeader + *length);
        if (!crc || !stored)
            return Broke(at, "png", "ends inside a chunk");
        if (*crc != *stored)
            return Broke(at, "png", "chunk checksum does not match");
        at += kChunkHeader + *length + kChunkCrc;
        if (iend)
            return Carved{at, Certainty::Checked, "png", {}};
    }
}

} // namespace content
