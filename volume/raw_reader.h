#pragma once
// Raw reads of a volume at byte offsets: the only way the readers, the
// recovery and the preview reach a volume's bytes.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/byte_source.h"

namespace volume {

// Opens a drive ("C:", a block device, or a volume image) for reading.
std::unique_ptr<media::ByteSource> OpenVolume(const std::string& drive);

// Reads `count` bytes at `offset`. With `timeLimit` the read gives up after
// 10 seconds; a set `cancel` flag ends it early. `count` receives the bytes read.
bool ReadBlock(const media::ByteSource* source, void* buffer, uint32_t& count, bool timeLimit,
               const std::atomic<bool>* cancel, uint64_t offset);

// The same into a new buffer; nothing when the read fails.
std::optional<std::vector<uint8_t>> ReadBytes(const media::ByteSource* source, uint64_t offset,
                                              uint32_t count, const std::atomic<bool>* cancel = nullptr);

// Pause after every read. The desktop window keeps 10 ms so that a scan leaves
// the disk to others now and then; the command line runs without it.
void SetReadPause(uint32_t ms);

} // namespace volume
