// MP3: an ID3v2 tag sized by its header, then MPEG audio frames, each sized by
// its own header, to the first bytes that are no frame of the same stream;
// an ID3v1 tag after them belongs to the file. A Xing or Info header in the
// first frame counts the frames, which confirms the end.
#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kId3HeaderBytes = 10, kId3SizeAt = 6, kId3FlagsAt = 5;
constexpr uint8_t kId3HasFooter = 0x10;
constexpr uint64_t kId3v1Bytes = 128;
constexpr size_t kMinFramesWithoutTag = 8;  // a bare frame sync met by chance rarely repeats so often
constexpr uint32_t kXingHasFrames = 0x1;

enum Version { kMpeg25 = 0, kMpeg2 = 2, kMpeg1 = 3 };
enum Layer { kLayer3 = 1, kLayer2 = 2, kLayer1 = 3 };

// Kilobits per second by bitrate index (1–14), per version family and layer.
constexpr uint16_t kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},   // MPEG-1 layer I
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},      // layer II
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},      // layer III
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},      // MPEG-2 and 2.5 layer I
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},           // layer II
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};         // layer III
constexpr uint32_t kSampleRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

struct Frame {
    uint32_t length = 0;
    uint32_t stream = 0;  // version, layer and sample rate: what every frame of one file shares
    uint32_t sideInfo = 0;  // bytes after the header before a Xing tag
};

std::optional<Frame> FrameAt(SourceWindow& w, uint64_t at) {
    auto header = w.U32BE(at);
    if (!header || (*header >> 21) != 0x7FF)
        return std::nullopt;
    const uint32_t version = (*header >> 19) & 3, layer = (*header >> 17) & 3;
    const uint32_t bitrateIndex = (*header >> 12) & 15, rateIndex = (*header >> 10) & 3;
    const uint32_t padding = (*header >> 9) & 1, mono = ((*header >> 6) & 3) == 3;
    const bool crc = !((*header >> 16) & 1);
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;  // reserved, or free format (whose frames cannot be sized)
    const uint32_t kbps = kBitrates[version == kMpeg1 ? 0 : 1][3 - layer][bitrateIndex];
    const uint32_t rate = kSampleRates[version][rateIndex];
    Frame f;
    if (layer == kLayer1)
        f.length = (12 * kbps * 1000 / rate + padding) * 4;
    else if (layer == kLayer3 && version != kMpeg1)
        f.length = 72 * kbps * 1000 / rate + padding;
    else
        f.length = 144 * kbps * 1000 / rate + padding;
    f.stream = (version << 4) | (layer << 2) | rateIndex;
    f.sideInfo = (version == kMpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17)) + (crc ? 2 : 0);
    return f;
}

// The frame count a Xing or Info header gives, when the first frame has one.
std::optional<uint32_t> XingFrames(SourceWindow& w, uint64_t frameAt, const Frame& f) {
    const uint64_t tag = frameAt + 4 + f.sideInfo;
    if (!w.Matches(tag, "Xing") && !w.Matches(tag, "Info"))
        return std::nullopt;
    auto flags = w.U32BE(tag + 4);
    auto frames = w.U32BE(tag + 8);
    if (!flags || !frames || !(*flags & kXingHasFrames))
        return std::nullopt;
    return *frames;
}

// The ID3v2 tag's length, header and footer included.
std::optional<uint64_t> Id3Length(SourceWindow& w) {
    auto flags = w.U8(kId3FlagsAt);
    auto size = w.Bytes(kId3SizeAt, 4);
    if (!flags || !size)
        return std::nullopt;
    uint64_t length = 0;
    for (uint8_t b : *size) {
        if (b & 0x80)
            return std::nullopt;  // sizes are stored seven bits a byte
        length = (length << 7) | b;
    }
    return kId3HeaderBytes + length + ((*flags & kId3HasFooter) ? kId3HeaderBytes : 0);
}
} // namespace

std::optional<Carved> DecodeMp3(SourceWindow& w) {
    uint64_t at = 0;
    const bool tagged = w.Matches(0, "ID3");
    if (tagged) {
        auto length = Id3Length(w);
        if (!length)
            return std::nullopt;
        at = *length;
    }
    auto first = FrameAt(w, at);
    if (!first)
        return tagged ? std::optional<Carved>(Broke(at, "mp3", "no audio after its tag")) : std::nullopt;
    const std::optional<uint32_t> counted = XingFrames(w, at, *first);
    size_t frames = 0;
    for (;;) {
        auto frame = FrameAt(w, at);
        if (!frame || frame->stream != first->stream)
            break;
        if (at + frame->length > w.Limit()) {
            if (!tagged && frames < kMinFramesWithoutTag)
                return std::nullopt;
            return Broke(at, "mp3", "ends inside a frame");
        }
        at += frame->length;
        ++frames;
    }
    if (!tagged && frames < kMinFramesWithoutTag)
        return std::nullopt;
    if (w.Matches(at, "TAG") && at + kId3v1Bytes <= w.Limit())
        at += kId3v1Bytes;
    // The Xing frame itself is counted by some encoders and not by others.
    const bool confirmed = counted && (frames == *counted || frames == *counted + 1);
    if (counted && !confirmed && frames < *counted)
        return Broke(at, "mp3", "fewer frames than its header counts");
    return Carved{at, confirmed ? Certainty::Checked : Certainty::Estimated, "mp3", {}};
}

} // namespace content
