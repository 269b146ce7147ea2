#pragma once
// Recognising a FAT volume of each width, and making its reader: the registry's entries.
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

namespace fat {

// A FAT32 boot sector: one that decodes with the FAT32 form, or one that
// calls itself FAT32 and does not decode as narrower (its backup may).
bool AcceptsBootSector(std::span<const uint8_t> bootSector);
// FAT16 and FAT12 by their cluster count, whatever their label says.
bool AcceptsFat16BootSector(std::span<const uint8_t> bootSector);
bool AcceptsFat12BootSector(std::span<const uint8_t> bootSector);
// Whether the extended boot record's informative type says FAT12 or FAT16
// (whether or not the rest decodes).
bool CallsItselfFat12Or16(std::span<const uint8_t> bootSector);
// FAT12/16 keep no backup boot sector: a primary that does not decode leaves nothing to read.
std::optional<std::vector<uint8_t>> NoBackupBootSector(const media::ByteSource& source);
// FAT32 keeps a backup of its boot sector in sector 6 of the reserved area
// (512 or 4096 bytes a sector).
std::optional<std::vector<uint8_t>> FindBackupBootSector(const media::ByteSource& source);
std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context);

} // namespace fat
