#include "content/source_window.h"

#include <algorithm>
#include <cstring>

#include "volume/byte_reader.h"

namespace content {

namespace {
// Large enough that a walk over a picture's scan data reads its source in a
// few requests; small enough that a candidate costs little memory.
constexpr uint32_t kCacheBytes = 1u << 20;
constexpr uint32_t kFirstFillBytes = 128u << 10;  // at least two of the largest spans a walk asks for
} // namespace

SourceWindow::SourceWindow(const media::ByteSource& source, uint64_t start, uint64_t bound,
                           const std::atomic<bool>* cancel)
    : source_(source), start_(start), cancel_(cancel) {
    const uint64_t size = source.Size();
    const uint64_t available = size > start ? size - start : 0;
    limit_ = std::min(bound, available);
}

bool SourceWindow::Fill(uint64_t offset) {
    if (offset >= limit_)
        return false;
    // Reads grow from a small first one: most candidates are small files or
    // chance matches, and a walk that goes on reads in ever larger pieces.
    nextFill_ = nextFill_ == 0 ? kFirstFillBytes : std::min(nextFill_ * 2, kCacheBytes);
    if (cache_.size() < nextFill_)
        cache_.resize(nextFill_);
    const uint64_t want = std::min<uint64_t>(nextFill_, limit_ - offset);
    const media::ReadResult read =
        source_.Read(cache_.data(), static_cast<uint32_t>(want), start_ + offset, cancel_, 0);
    cacheAt_ = offset;
    cacheHeld_ = read.Done;
    if (!read.Ok())
        readFailed_ = true;
    return cacheHeld_ > 0;
}

std::optional<std::span<const uint8_t>> SourceWindow::Bytes(uint64_t offset, uint32_t count) {
    if (count > kMaxSpan || offset > limit_ || count > limit_ - offset)
        return std::nullopt;
    if (count == 0)
        return std::span<const uint8_t>();
    const bool cached = offset >= cacheAt_ && offset - cacheAt_ <= cacheHeld_ &&
                        count <= cacheHeld_ - (offset - cacheAt_);
    if (!cached) {
        if (!Fill(offset) || cacheHeld_ < count)
            return std::nullopt;
    }
    return std::span<const uint8_t>(cache_.data() + (offset - cacheAt_), count);
}

std::span<const uint8_t> SourceWindow::From(uint64_t offset) {
    if (offset >= limit_)
        return {};
    const bool cached = offset >= cacheAt_ && offset - cacheAt_ < cacheHeld_;
    if (!cached && !Fill(offset))
        return {};
    return std::span<const uint8_t>(cache_.data() + (offset - cacheAt_), cacheHeld_ - (offset - cacheAt_));
}

namespace {
template <typename T>
std::optional<T> BigEndian(std::optional<std::span<const uint8_t>> bytes) {
    if (!bytes)
        return std::nullopt;
    T value = 0;
    for (uint8_t b : *bytes)
        value = static_cast<T>(value << 8 | b);
    return value;
}
} // namespace

std::optional<uint8_t> SourceWindow::U8(uint64_t offset) {
    auto b = Bytes(offset, 1);
    return b ? std::optional<uint8_t>((*b)[0]) : std::nullopt;
}
std::optional<uint16_t> SourceWindow::U16BE(uint64_t offset) { return BigEndian<uint16_t>(Bytes(offset, 2)); }
std::optional<uint32_t> SourceWindow::U32BE(uint64_t offset) { return BigEndian<uint32_t>(Bytes(offset, 4)); }
std::optional<uint64_t> SourceWindow::U64BE(uint64_t offset) { return BigEndian<uint64_t>(Bytes(offset, 8)); }

std::optional<uint16_t> SourceWindow::U16LE(uint64_t offset) {
    auto b = Bytes(offset, 2);
    return b ? volume::ByteReader(*b).u16(0) : std::nullopt;
}
std::optional<uint32_t> SourceWindow::U32LE(uint64_t offset) {
    auto b = Bytes(offset, 4);
    return b ? volume::ByteReader(*b).u32(0) : std::nullopt;
}
std::optional<uint64_t> SourceWindow::U64LE(uint64_t offset) {
    auto b = Bytes(offset, 8);
    return b ? volume::ByteReader(*b).u64(0) : std::nullopt;
}

bool SourceWindow::Matches(uint64_t offset, std::span<const uint8_t> expected) {
    auto b = Bytes(offset, static_cast<uint32_t>(expected.size()));
    return b && std::equal(b->begin(), b->end(), expected.begin());
}

bool SourceWindow::Matches(uint64_t offset, const char* text) {
    return Matches(offset, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text), std::strlen(text)));
}

} // namespace content
