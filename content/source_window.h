#pragma once
// What a decoder sees of a candidate file: the bytes of a byte source from
// the candidate's first byte up to a bound, read through a small cache. Every
// read is checked against the bound and the source, so a length field read
// from the candidate can never carry a decoder past either: it gets nothing.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "media/byte_source.h"

namespace content {

class SourceWindow {
public:
    // The bytes [start, start + bound) of `source`, cut at the source's end.
    SourceWindow(const media::ByteSource& source, uint64_t start, uint64_t bound,
                 const std::atomic<bool>* cancel = nullptr);

    // Bytes the decoder may read: the bound, cut at the source's end.
    uint64_t Limit() const { return limit_; }
    uint64_t Start() const { return start_; }
    const media::ByteSource& Source() const { return source_; }
    const std::atomic<bool>* Cancel() const { return cancel_; }

    // `count` bytes at `offset` (from the candidate's first byte); empty when
    // they do not all lie inside the window or cannot be read. At most
    // kMaxSpan bytes at a time.
    std::optional<std::span<const uint8_t>> Bytes(uint64_t offset, uint32_t count);
    // Whatever the cache holds from `offset` on (at least one byte), for the
    // walks that scan data byte by byte; empty at the limit or on a failed read.
    std::span<const uint8_t> From(uint64_t offset);

    std::optional<uint8_t> U8(uint64_t offset);
    std::optional<uint16_t> U16BE(uint64_t offset);
    std::optional<uint32_t> U32BE(uint64_t offset);
    std::optional<uint64_t> U64BE(uint64_t offset);
    std::optional<uint16_t> U16LE(uint64_t offset);
    std::optional<uint32_t> U32LE(uint64_t offset);
    std::optional<uint64_t> U64LE(uint64_t offset);
    // The bytes at `offset` are exactly `expected`.
    bool Matches(uint64_t offset, std::span<const uint8_t> expected);
    bool Matches(uint64_t offset, const char* text);

    // A read failed (the source, not the bound): a walk that stops on it says so.
    bool ReadFailed() const { return readFailed_; }

    static constexpr uint32_t kMaxSpan = 64 * 1024;

private:
    bool Fill(uint64_t offset);

    const media::ByteSource& source_;
    uint64_t start_;
    uint64_t limit_;
    const std::atomic<bool>* cancel_;
    std::vector<uint8_t> cache_;
    uint64_t cacheAt_ = 0;    // window offset of cache_[0]
    uint32_t cacheHeld_ = 0;  // valid bytes in cache_
    uint32_t nextFill_ = 0;   // bytes the next read asks for: small at first, as most candidates are
    bool readFailed_ = false;
};

} // namespace content
