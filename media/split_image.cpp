#include "media/split_image.h"

#include <algorithm>

#include "platform/drives.h"

namespace media {

namespace {

// More pieces than any imaging tool writes: a bound, not a format.
constexpr size_t kMaxPieces = 100000;
constexpr size_t kMinDigits = 3;

// `stem` and the number's text after it, when `path` ends in ".<digits>".
bool SplitName(const std::string& path, std::string& stem, std::string& digits) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.size() - dot - 1 < kMinDigits)
        return false;
    digits = path.substr(dot + 1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    stem = path.substr(0, dot + 1);
    return true;
}

std::string Numbered(const std::string& stem, uint64_t number, size_t width) {
    std::string digits = std::to_string(number);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    return stem + digits;
}

bool Exists(const std::string& path) {
    const uint32_t type = platform::DriveTypeOf(path);
    return type == platform::kDriveFixed || type == platform::kDriveRemovable;
}

} // namespace

SplitImageSource::SplitImageSource(std::vector<Piece> pieces, std::string path)
    : pieces_(std::move(pieces)), path_(std::move(path)) {
    uint64_t at = 0;
    for (Piece& piece : pieces_) {
        piece.start = at;
        at += piece.source->Size();
    }
    size_ = at;
}

ReadResult SplitImageSource::Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                                  uint32_t limitMs) const {
    ReadResult result;
    auto* out = static_cast<uint8_t*>(buffer);
    // The last piece that starts at or before the offset.
    auto piece = std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                                  [](uint64_t at, const Piece& p) { return at < p.start; });
    if (piece == pieces_.begin())
        return {0, count ? ReadError::PastEnd : ReadError::None};
    --piece;
    while (result.Done < count) {
        if (piece == pieces_.end()) {
            result.Error = ReadError::PastEnd;
            return result;
        }
        const uint64_t at = offset + result.Done - piece->start;
        const uint64_t left = piece->source->Size() > at ? piece->source->Size() - at : 0;
        const uint32_t part = static_cast<uint32_t>(std::min<uint64_t>(left, count - result.Done));
        if (part) {
            const ReadResult read = piece->source->Read(out + result.Done, part, at, cancel, limitMs);
            result.Done += read.Done;
            if (!read.Ok()) {
                // A piece that ends early is a read error of the whole image, not its end.
                result.Error = read.Error == ReadError::PastEnd ? ReadError::Unreadable : read.Error;
                return result;
            }
        }
        ++piece;
    }
    return result;
}

std::vector<std::string> SplitImagePieces(const std::string& path) {
    std::string stem, digits;
    if (!SplitName(path, stem, digits))
        return {};
    const uint64_t first = std::stoull(digits);
    if (first > 1 || !Exists(Numbered(stem, first + 1, digits.size())))
        return {};
    std::vector<std::string> pieces;
    for (uint64_t n = first; pieces.size() < kMaxPieces; ++n) {
        const std::string name = Numbered(stem, n, digits.size());
        if (!Exists(name))
            break;
        pieces.push_back(name);
    }
    return pieces;
}

} // namespace media
