// PNG: chunks, each with its length and CRC, from IHDR to IEND.
#include <zlib.h>

#include "content/decoders.h"

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

// The CRC of `length` bytes from `offset`, read in pieces; empty when they cannot be read.
std::optional<uint32_t> CrcOf(SourceWindow& w, uint64_t offset, uint64_t length) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (length > 0) {
        std::span<const uint8_t> chunk = w.From(offset);
        if (chunk.empty())
            return std::nullopt;
        const uint64_t take = std::min<uint64_t>(chunk.size(), length);
        crc = crc32(crc, chunk.data(), static_cast<uInt>(take));
        offset += take;
        length -= take;
    }
    return static_cast<uint32_t>(crc);
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
        auto crc = CrcOf(w, at + 4, 4 + uint64_t{*length});
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
