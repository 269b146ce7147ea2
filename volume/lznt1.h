#pragma once
// LZNT1, the codec of NTFS-compressed files.
#include <cstdint>
#include <span>
#include <vector>

namespace volume {

// Decompresses one compression unit into `out` (resized to `unitSize`, the
// tail zero-filled). False when the data is not valid LZNT1.
bool DecompressLznt1(std::span<const uint8_t> in, size_t unitSize, std::vector<uint8_t>& out);

} // namespace volume
