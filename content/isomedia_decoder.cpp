// ISO base media (MP4, MOV, 3GP, M4A, HEIC): top-level boxes by their
// sizes. The kind comes from the `ftyp` brand. The file ends after the last
// box of a known top-level type once a movie or item box and its media data
// were seen; nothing checks that end itself, so it is an estimate.
#include <array>
#include <string_view>

#include "content/decoders.h"
#include "content/file_dates.h"

namespace content {

namespace {
constexpr uint64_t kBoxHeader = 8, kLargeSizeAt = 8, kLargeBoxHeader = 16;
constexpr uint64_t kBrandAt = 8;

constexpr std::array<std::string_view, 22> kTopLevel = {
    "ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "meta", "pdin", "moof", "mfra",
    "styp", "sidx", "ssix", "prft", "emsg", "idat", "iloc", "pnot", "junk", "jP  ", "mvhd"};

bool IsTopLevel(std::string_view type) {
    for (std::string_view known : kTopLevel)
        if (known == type)
            return true;
    return false;
}

std::string KindOfBrand(std::string_view brand) {
    if (brand == "qt  ")
        return "mov";
    if (brand.starts_with("3g"))
        return "3gp";
    if (brand == "M4A " || brand == "M4B " || brand == "M4P ")
        return "m4a";
    if (brand == "heic" || brand == "heix" || brand == "hevc" || brand == "heim" || brand == "heis" ||
        brand == "mif1" || brand == "msf1")
        return "heic";
    if (brand == "avif" || brand == "avis")
        return "avif";
    if (brand == "crx ")
        return "cr3";
    return "mp4";
}

bool IsBrand(std::span<const uint8_t> brand) {
    for (uint8_t c : brand)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}
} // namespace

namespace {
std::optional<Carved> WalkIsoMedia(SourceWindow& w, uint64_t& made) {
    if (!w.Matches(4, "ftyp"))
        return std::nullopt;
    auto ftypSize = w.U32BE(0);
    auto brand = w.Bytes(kBrandAt, 4);
    if (!ftypSize || !brand || !IsBrand(*brand) || *ftypSize < 16 || *ftypSize > 4096)
        return std::nullopt;
    const std::string kind = KindOfBrand(std::string_view(reinterpret_cast<const char*>(brand->data()), 4));
    bool sawMovie = false, sawData = false;
    uint64_t at = 0;
    for (;;) {
        auto size32 = w.U32BE(at);
        auto typeBytes = w.Bytes(at + 4, 4);
        const bool complete = sawData && sawMovie;
        if (!size32 || !typeBytes) {
            if (complete && at == w.Limit())
                return Carved{at, Certainty::Estimated, kind, {}};
            return Broke(at, kind, complete ? "ends inside a box header" : "ends before its media data");
        }
        const std::string_view type(reinterpret_cast<const char*>(typeBytes->data()), 4);
        if (!IsTopLevel(type)) {
            if (complete)
                return Carved{at, Certainty::Estimated, kind, {}};
            return Broke(at, kind, "no box where one should start");
        }
        uint64_t size = *size32;
        if (size == 1) {
            auto large = w.U64BE(at + kLargeSizeAt);
            if (!large || *large < kLargeBoxHeader)
                return Broke(at, kind, "64-bit box size broken");
            size = *large;
        } else if (size == 0) {
            // The box runs to the end of the file, which nothing here tells.
            return Broke(at, kind, "last box has no size");
        } else if (size < kBoxHeader) {
            return Broke(at, kind, "box smaller than its header");
        }
        if (size > w.Limit() - at)
            return Broke(at, kind, "box size past the end");
        if (type == "moov" || type == "meta" || type == "moof")
            sawMovie = true;
        // The movie header leads the movie box as its first child.
        if (type == "moov" && !made && w.Matches(at + kBoxHeader + 4, "mvhd"))
            made = MovieHeaderTime(w, at + kBoxHeader);
        if (type == "mdat" || type == "idat")
            sawData = true;
        at += size;
    }
}

} // namespace

std::optional<Carved> DecodeIsoMedia(SourceWindow& w) { return WithFileDate(w, WalkIsoMedia); }

} // namespace content
