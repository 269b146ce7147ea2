#pragma once
// Recognising an NTFS volume, and making its reader: the registry's entry.
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

namespace ntfs {

bool AcceptsBootSector(std::span<const uint8_t> bootSector);
// NTFS keeps its backup in the volume's last sector, at total sectors times
// sector size; it counts only where its own numbers put it, so that the last
// partition's backup at the end of a whole disk is not taken for this volume's.
std::optional<std::vector<uint8_t>> FindBackupBootSector(const media::ByteSource& source);
std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context);

} // namespace ntfs
