#pragma once
// Recognising an exFAT volume, and making its reader: the registry's entry.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "volume/reader_context.h"
#include "volume/volume_reader.h"

namespace media {
class ByteSource;
}
struct TDriverInfo;

namespace exfat {

bool AcceptsBootSector(std::span<const uint8_t> bootSector);
// The backup boot region starts at sector 12 (512 or 4096 bytes a sector).
std::optional<std::vector<uint8_t>> FindBackupBootSector(const media::ByteSource& source);
std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context);

} // namespace exfat
