#include "content/window_crc.h"

#include <zlib.h>

#include <algorithm>

namespace content {

std::optional<uint32_t> WindowCrc32(SourceWindow& window, uint64_t offset, uint64_t length) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (length > 0) {
        const std::span<const uint8_t> piece = window.From(offset);
        if (piece.empty())
            return std::nullopt;
        const uint64_t take = std::min<uint64_t>(piece.size(), length);
        crc = crc32(crc, piece.data(), static_cast<uInt>(take));
        offset += take;
        length -= take;
    }
    return static_cast<uint32_t>(crc);
}

} // namespace content
