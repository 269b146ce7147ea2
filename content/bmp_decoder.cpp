// BMP: the header states the file's size; the picture's own dimensions
// must fit inside it. Nothing checks the end itself, so it is an estimate.
#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kFileSizeAt = 2, kReservedAt = 6, kPixelOffsetAt = 10, kInfoSizeAt = 14;
constexpr uint64_t kWidthAt = 18, kHeightAt = 22, kPlanesAt = 26, kBitCountAt = 28, kCompressionAt = 30;
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kRgb = 0, kBitFields = 3;
} // namespace

std::optional<Carved> DecodeBmp(SourceWindow& w) {
    if (!w.Matches(0, "BM"))
        return std::nullopt;
    auto size = w.U32LE(kFileSizeAt);
    auto reserved = w.U32LE(kReservedAt);
    auto pixels = w.U32LE(kPixelOffsetAt);
    auto info = w.U32LE(kInfoSizeAt);
    if (!size || !reserved || !pixels || !info || *reserved != 0)
        return std::nullopt;
    if (*info != kCoreHeader && *info != 40 && *info != 52 && *info != 56 && *info != 108 && *info != 124)
        return std::nullopt;
    if (*pixels < kInfoSizeAt + *info || *pixels > *size)
        return std::nullopt;
    if (*info == kCoreHeader)
        return *size <= w.Limit() ? std::optional<Carved>(Carved{*size, Certainty::Estimated, "bmp", {}})
                                  : Broke(w.Limit(), "bmp", "ends before its stated size");
    auto width = w.U32LE(kWidthAt);
    auto height = w.U32LE(kHeightAt);
    auto planes = w.U16LE(kPlanesAt);
    auto bits = w.U16LE(kBitCountAt);
    auto compression = w.U32LE(kCompressionAt);
    if (!width || !height || !planes || !bits || !compression || *planes != 1)
        return std::nullopt;
    const int32_t signedWidth = static_cast<int32_t>(*width);
    const int32_t signedHeight = static_cast<int32_t>(*height);
    if (signedWidth <= 0 || signedHeight == 0 || signedHeight == INT32_MIN)
        return std::nullopt;
    if (*bits != 1 && *bits != 4 && *bits != 8 && *bits != 16 && *bits != 24 && *bits != 32)
        return std::nullopt;
    if (*compression == kRgb || *compression == kBitFields) {
        const uint64_t row = (uint64_t{*width} * *bits + 31) / 32 * 4;
        const uint64_t rows = static_cast<uint64_t>(signedHeight < 0 ? -int64_t{signedHeight} : signedHeight);
        if (*pixels + row * rows > *size)
            return std::nullopt;
    }
    if (*size > w.Limit())
        return Broke(w.Limit(), "bmp", "ends before its stated size");
    return Carved{*size, Certainty::Estimated, "bmp", {}};
}

} // namespace content
