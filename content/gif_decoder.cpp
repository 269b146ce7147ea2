// GIF: the screen descriptor and colour table, then images and extensions,
// each a run of length-prefixed sub-blocks, to the trailer byte.
#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kHeaderBytes = 6;
constexpr uint64_t kScreenDescriptorBytes = 7;
constexpr uint64_t kImageDescriptorBytes = 10;  // the separator and nine bytes
constexpr uint8_t kImage = 0x2C, kExtension = 0x21, kTrailer = 0x3B;
constexpr uint8_t kColourTableFlag = 0x80;

uint64_t ColourTableBytes(uint8_t packed) { return 3ull << ((packed & 7) + 1); }

// Skips sub-blocks from `at`; the offset after the zero block, or empty.
std::optional<uint64_t> SkipSubBlocks(SourceWindow& w, uint64_t at) {
    for (;;) {
        auto size = w.U8(at);
        if (!size)
            return std::nullopt;
        at += 1 + *size;
        if (*size == 0)
            return at;
    }
}
} // namespace

std::optional<Carved> DecodeGif(SourceWindow& w) {
    if (!w.Matches(0, "GIF87a") && !w.Matches(0, "GIF89a"))
        return std::nullopt;
    auto packed = w.U8(kHeaderBytes + 4);
    if (!packed)
        return std::nullopt;
    uint64_t at = kHeaderBytes + kScreenDescriptorBytes;
    if (*packed & kColourTableFlag)
        at += ColourTableBytes(*packed);
    bool sawImage = false;
    for (;;) {
        auto block = w.U8(at);
        if (!block)
            return Broke(at, "gif", "ends before its trailer");
        if (*block == kTrailer) {
            if (!sawImage)
                return Broke(at + 1, "gif", "holds no picture");
            return Carved{at + 1, Certainty::Checked, "gif", {}};
        }
        std::optional<uint64_t> next;
        if (*block == kExtension) {
            next = SkipSubBlocks(w, at + 2);
        } else if (*block == kImage) {
            auto imagePacked = w.U8(at + 9);
            if (!imagePacked)
                return Broke(at, "gif", "ends inside an image");
            uint64_t data = at + kImageDescriptorBytes;
            if (*imagePacked & kColourTableFlag)
                data += ColourTableBytes(*imagePacked);
            auto codeSize = w.U8(data);
            if (!codeSize || *codeSize > 12)
                return Broke(at, "gif", "image data broken");
            next = SkipSubBlocks(w, data + 1);
            sawImage = true;
        } else {
            return Broke(at, "gif", "no block where one should start");
        }
        if (!next)
            return Broke(at, "gif", "ends inside a block");
        at = *next;
    }
}

} // namespace content
