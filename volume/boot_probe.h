#pragma once
// How a reader recognises its file system from a volume's first sectors.
// Each reader's folder provides one; the registry above the readers lists
// them, and a drive's examination asks them in its order.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace media {
class ByteSource;
}

namespace volume {

struct BootProbe {
    uint8_t fileSystem = 0;  // the kFileSystem* code of a volume it accepts
    // Whether a (primary) boot sector is of this file system.
    bool (*accepts)(std::span<const uint8_t> bootSector) = nullptr;
    // A backup boot sector where this file system keeps one, for a primary
    // that cannot be read or decoded; nothing when none lies there.
    std::optional<std::vector<uint8_t>> (*findBackup)(const media::ByteSource& source) = nullptr;
};

// Reads one 512-byte sector at `offset`; nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadBootSector(const media::ByteSource& source, uint64_t offset);

} // namespace volume
