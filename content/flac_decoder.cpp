// FLAC: the metadata blocks, sized by their headers, then the frames. A frame
// has no length: it ends where the next frame's header (its own CRC-8, the
// next frame or sample number) begins and the CRC-16 over it comes out right.
// The stream info's sample count says which frame is the last, and its frame
// sizes bound where that one may end.
#include <array>

#include "content/crc_table.h"
#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kMarkerBytes = 4;
constexpr uint64_t kBlockHeaderBytes = 4;
constexpr uint8_t kLastBlock = 0x80, kBlockTypeMask = 0x7F, kStreamInfo = 0, kInvalidBlock = 127;
constexpr uint32_t kStreamInfoBytes = 34;
// In the stream info: frame sizes (24 bits each), then sample rate, channels,
// bits per sample and the total sample count packed into 64 bits.
constexpr uint64_t kFrameSizesAt = 4, kPackedAt = 10;
constexpr size_t kMaxMetadataBlocks = 4096;
constexpr uint32_t kLargestFrame = 16u << 20;  // no encoder writes frames near this

// Frame headers end in a CRC-8 (polynomial 0x07), frames in a CRC-16 (0x8005).
constexpr std::array<uint8_t, 256> kCrc8Table = MsbFirstCrcTable<uint8_t, 0x07>();
constexpr std::array<uint16_t, 256> kCrc16Table = MsbFirstCrcTable<uint16_t, 0x8005>();

struct FrameHeader {
    uint32_t length = 0;      // bytes, its CRC-8 included
    uint64_t number = 0;      // frame number (fixed block size) or first sample (variable)
    bool variable = false;    // numbered by sample
    uint32_t blockSize = 0;   // samples
};

// The header at `at`, when its sync, codes and CRC-8 hold.
std::optional<FrameHeader> HeaderAt(SourceWindow& w, uint64_t at) {
    auto bytes = w.Bytes(at, 4);
    if (!bytes || (*bytes)[0] != 0xFF || ((*bytes)[1] & 0xFE) != 0xF8)
        return std::nullopt;
    FrameHeader h;
    h.variable = (*bytes)[1] & 1;
    const uint32_t sizeCode = (*bytes)[2] >> 4, rateCode = (*bytes)[2] & 15;
    const uint32_t channels = (*bytes)[3] >> 4, depthCode = ((*bytes)[3] >> 1) & 7;
    if (sizeCode == 0 || rateCode == 15 || channels > 10 || depthCode == 3 || ((*bytes)[3] & 1))
        return std::nullopt;  // reserved values
    // The number, UTF-8 style: up to 36 bits in 7 bytes.
    uint64_t at2 = at + 4;
    auto lead = w.U8(at2++);
    if (!lead)
        return std::nullopt;
    int more = 0;
    if (*lead < 0x80) {
        h.number = *lead;
    } else {
        uint8_t mask = 0x40;
        while (more < 6 && (*lead & mask)) {
            ++more;
            mask >>= 1;
        }
        if (more == 0 || (!h.variable && more > 5))
            return std::nullopt;
        h.number = *lead & (mask - 1);
        for (int i = 0; i < more; ++i) {
            auto next = w.U8(at2++);
            if (!next || (*next & 0xC0) != 0x80)
                return std::nullopt;
            h.number = (h.number << 6) | (*next & 0x3F);
        }
    }
    if (sizeCode == 1) {
        h.blockSize = 192;
    } else if (sizeCode <= 5) {
        h.blockSize = 576u << (sizeCode - 2);
    } else if (sizeCode == 6) {
        auto v = w.U8(at2++);
        if (!v)
            return std::nullopt;
        h.blockSize = *v + 1u;
    } else if (sizeCode == 7) {
        auto v = w.U16BE(at2);
        at2 += 2;
        if (!v)
            return std::nullopt;
        h.blockSize = *v + 1u;
    } else {
        h.blockSize = 256u << (sizeCode - 8);
    }
    if (rateCode == 12)
        at2 += 1;
    else if (rateCode == 13 || rateCode == 14)
        at2 += 2;
    auto header = w.Bytes(at, static_cast<uint32_t>(at2 - at + 1));
    if (!header)
        return std::nullopt;
    uint8_t crc = 0;
    for (size_t i = 0; i + 1 < header->size(); ++i)
        crc = kCrc8Table[crc ^ (*header)[i]];
    if (crc != header->back())
        return std::nullopt;
    h.length = static_cast<uint32_t>(header->size());
    return h;
}
} // namespace

std::optional<Carved> DecodeFlac(SourceWindow& w) {
    if (!w.Matches(0, "fLaC"))
        return std::nullopt;
    // The metadata: the stream info first.
    uint64_t at = kMarkerBytes;
    uint64_t totalSamples = 0;
    uint32_t minFrame = 0, maxFrame = 0;
    for (size_t n = 0;; ++n) {
        auto kind = w.U8(at);
        auto length = w.Bytes(at + 1, 3);
        if (!kind || !length || n >= kMaxMetadataBlocks)
            return n == 0 ? std::nullopt : std::optional<Carved>(Broke(at, "flac", "ends inside its metadata"));
        const uint32_t bytes = uint32_t{(*length)[0]} << 16 | uint32_t{(*length)[1]} << 8 | (*length)[2];
        const uint8_t type = *kind & kBlockTypeMask;
        if (n == 0) {
            if (type != kStreamInfo || bytes != kStreamInfoBytes)
                return std::nullopt;
            auto packed = w.U64BE(at + kBlockHeaderBytes + kPackedAt);
            auto minBytes = w.Bytes(at + kBlockHeaderBytes + kFrameSizesAt, 6);
            if (!packed || !minBytes)
                return std::nullopt;
            totalSamples = *packed & ((uint64_t{1} << 36) - 1);
            minFrame = uint32_t{(*minBytes)[0]} << 16 | uint32_t{(*minBytes)[1]} << 8 | (*minBytes)[2];
            maxFrame = uint32_t{(*minBytes)[3]} << 16 | uint32_t{(*minBytes)[4]} << 8 | (*minBytes)[5];
        } else if (type == kInvalidBlock) {
            return Broke(at, "flac", "a metadata block is damaged");
        }
        at += kBlockHeaderBytes + bytes;
        if (at > w.Limit())
            return Broke(at, "flac", "a metadata block runs past the end");
        if (*kind & kLastBlock)
            break;
    }
    const uint32_t frameBound = maxFrame ? maxFrame : kLargestFrame;

    // The frames: each runs to the first place where its CRC-16 comes out
    // right and the next header follows. The last one (by the sample count,
    // or, without one, the one no header follows) ends where its CRC-16 comes
    // out right: certain when that happens at one place only within the
    // largest frame size.
    auto first = HeaderAt(w, at);
    if (!first)
        return Broke(at, "flac", "no audio after its metadata");
    FrameHeader frame = *first;
    uint64_t samplesDone = 0;
    for (;;) {
        const uint64_t start = at;
        const uint64_t expected = frame.variable ? frame.number + frame.blockSize : frame.number + 1;
        const bool counted = totalSamples != 0;
        const bool last = counted && samplesDone + frame.blockSize >= totalSamples;
        uint16_t crc = 0;  // of [start, p)
        uint64_t firstEnd = 0, ends = 0;
        // Zeros after a frame keep its CRC at zero: only a place past other
        // bytes counts as another possible end.
        bool otherBytesSinceEnd = false;
        std::optional<FrameHeader> next;
        uint64_t p = start;
        // Whether the frame may end at p; true when the next frame starts there.
        auto endsAt = [&]() {
            if (crc != 0 || p - start < frame.length + 2 || p - start < minFrame)
                return false;
            if (ends == 0 || otherBytesSinceEnd) {
                if (ends++ == 0)
                    firstEnd = p;
                otherBytesSinceEnd = false;
            }
            if (last)
                return false;
            if (auto h = HeaderAt(w, p); h && h->variable == frame.variable && h->number == expected) {
                next = h;
                return true;
            }
            return false;
        };
        bool nextFound = false;
        while (!nextFound && p - start <= frameBound && p < w.Limit()) {
            const std::span<const uint8_t> piece = w.From(p);
            if (piece.empty())
                break;
            for (size_t i = 0; i < piece.size() && p - start <= frameBound; ++i) {
                if (endsAt()) {
                    nextFound = true;
                    break;
                }
                if (ends > 0 && piece[i] != 0)
                    otherBytesSinceEnd = true;
                crc = static_cast<uint16_t>((crc << 8) ^ kCrc16Table[((crc >> 8) ^ piece[i]) & 0xFF]);
                ++p;
            }
        }
        if (!nextFound && p - start <= frameBound)
            nextFound = endsAt();  // at the window's end
        samplesDone += frame.blockSize;
        if (nextFound) {
            at = p;
            frame = *next;
            continue;
        }
        if (firstEnd == 0 || (counted && !last))
            return Broke(start, "flac", last ? "the last frame is cut off" : "a frame is damaged or the stream ends early");
        // One place only: checked. Several (a chance CRC match inside the
        // frame), or no sample count to say this is the last: estimated.
        const bool sure = last && ends == 1;
        return Carved{firstEnd, sure ? Certainty::Checked : Certainty::Estimated, "flac", {}};
    }
}

} // namespace content
