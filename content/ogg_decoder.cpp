// OGG: pages, each with its CRC, until every logical stream that began has
// ended (Vorbis, Opus and FLAC in OGG alike).
#include <array>
#include <vector>

#include "content/crc_table.h"
#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kFlagsAt = 5, kSerialAt = 14, kCrcAt = 22, kSegmentsAt = 26, kLacingAt = 27;
constexpr uint8_t kBeginsStream = 0x02, kEndsStream = 0x04;
constexpr size_t kMaxStreams = 64;

// The OGG CRC: polynomial 0x04C11DB7, not reflected, starting at zero.
constexpr std::array<uint32_t, 256> kCrcTable = MsbFirstCrcTable<uint32_t, 0x04C11DB7u>();
} // namespace

std::optional<Carved> DecodeOgg(SourceWindow& w) {
    if (!w.Matches(0, "OggS"))
        return std::nullopt;
    std::vector<uint32_t> open;
    bool first = true;
    uint64_t at = 0;
    for (;;) {
        auto segments = w.U8(at + kSegmentsAt);
        auto flags = w.U8(at + kFlagsAt);
        auto serial = w.U32LE(at + kSerialAt);
        auto stored = w.U32LE(at + kCrcAt);
        if (!w.Matches(at, "OggS") || !segments || !flags || !serial || !stored) {
            if (first)
                return std::nullopt;
            return Broke(at, "ogg", "a stream ends without its last page");
        }
        auto lacing = w.Bytes(at + kLacingAt, *segments);
        if (!lacing)
            return Broke(at, "ogg", "ends inside a page");
        uint64_t body = 0;
        for (uint8_t l : *lacing)
            body += l;
        const uint64_t pageBytes = kLacingAt + *segments + body;
        auto page = w.Bytes(at, static_cast<uint32_t>(pageBytes));
        if (!page)
            return Broke(at, "ogg", "ends inside a page");
        uint32_t crc = 0;
        for (uint64_t i = 0; i < pageBytes; ++i) {
            const uint8_t b = (i >= kCrcAt && i < kCrcAt + 4) ? 0 : (*page)[i];
            crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ b) & 0xFF];
        }
        if (crc != *stored) {
            if (first)
                return std::nullopt;
            return Broke(at, "ogg", "page checksum does not match");
        }
        if (*flags & kBeginsStream) {
            if (open.size() >= kMaxStreams)
                return Broke(at, "ogg", "too many streams");
            open.push_back(*serial);
        }
        if (*flags & kEndsStream)
            std::erase(open, *serial);
        first = false;
        at += pageBytes;
        if (open.empty())
            return Carved{at, Certainty::Checked, "ogg", {}};
    }
}

} // namespace content
