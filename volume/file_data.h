#pragma once
// Reading a found file's data back from its runs: the one path that recovery
// and preview share, for both file systems.
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "volume/records.h"
#include "volume/salvaging_read.h"

namespace volume {

enum class ReadStatus {
    Ok,
    Cancelled,
    ReadFailed,       // the volume refused a read
    OutsideVolume,    // an extent lies past the end of the volume
    Incomplete,       // the runs hold less than the file's size
    NoDataPosition,   // nothing says where the file's data lies
    DamagedRecord,    // the MFT record that holds the data is torn or damaged
    BadCompression,   // a compression unit does not decompress
    Encrypted,        // the file system encrypted the data: the volume holds only ciphertext
    UnreadableCompression,  // compressed in units NTFS never writes
};

const char* ReadStatusText(ReadStatus status);

// Receives the data in file order, `bytes` at a time. Returning false stops the read.
// `volumeRead` is true when the piece came from one read of the volume (a progress step).
using DataSink = std::function<bool(std::span<const uint8_t> bytes, bool volumeRead)>;

// Reads exactly `FileSize` bytes of `file` into `sink`: extents in 10 MiB
// sector-aligned pieces, holes as zeros, compressed units decompressed,
// resident data from its repaired MFT record. Encrypted data is not read:
// its ciphertext, under the file's name, would pass for the file.
//
// Sectors of a failing drive that stay unreadable are handed on as zeros and
// the read goes on: Ok then means every byte was delivered, and
// `unreadableBytes` (when given) says how many of them are such zeros. A file
// of which nothing at all could be read is ReadFailed. `damage` (may be null)
// receives the job's tally and the sector being retried, for progress texts.
ReadStatus ReadFileData(const TMyFile& file, const DataSink& sink, const std::atomic<bool>* cancel = nullptr,
                        ReadDamage* damage = nullptr, uint64_t* unreadableBytes = nullptr);

constexpr uint32_t kReadChunk = 10u << 20;

} // namespace volume
