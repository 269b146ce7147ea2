#pragma once
// The CRC-32 (zlib's, as PNG, 7z and RAR use it) of bytes of a candidate.
#include <cstdint>
#include <optional>

#include "content/source_window.h"

namespace content {

// Of `length` bytes from `offset`, read in pieces; empty when they cannot all be read.
std::optional<uint32_t> WindowCrc32(SourceWindow& window, uint64_t offset, uint64_t length);

} // namespace content
