#include "fat/fat_probe.h"

#include "fat/fat_disk.h"
#include "fat/fat_geometry.h"
#include "fat/fat_layout.h"
#include "volume/boot_probe.h"
#include "volume/byte_reader.h"
#include "volume/text.h"

namespace fat {

namespace boot = layout::boot;

bool AcceptsBootSector(std::span<const uint8_t> bootSector) {
    if (bootSector.size() < boot::kFileSystemType + boot::kFileSystemTypeLength)
        return false;
    if (const auto geometry = ParseGeometry(bootSector); geometry && geometry->TableBits != 32)
        return false;
    if (TableBitsOf(bootSector) == 32)
        return true;
    const std::string type(reinterpret_cast<const char*>(bootSector.data()) + boot::kFileSystemType, boot::kFileSystemTypeLength);
    return volume::TrimControls(type) == "FAT32";
}

bool AcceptsFat16BootSector(std::span<const uint8_t> bootSector) { return TableBitsOf(bootSector) == 16; }
bool AcceptsFat12BootSector(std::span<const uint8_t> bootSector) { return TableBitsOf(bootSector) == 12; }

bool CallsItselfFat12Or16(std::span<const uint8_t> bootSector) {
    namespace boot16 = layout::boot16;
    if (bootSector.size() < boot16::kFileSystemType + boot16::kFileSystemTypeLength)
        return false;
    const std::string type = volume::TrimBlanks(std::string(
        reinterpret_cast<const char*>(bootSector.data()) + boot16::kFileSystemType, boot16::kFileSystemTypeLength));
    return type == "FAT12" || type == "FAT16";
}

std::optional<std::vector<uint8_t>> NoBackupBootSector(const media::ByteSource&) { return std::nullopt; }

std::optional<std::vector<uint8_t>> FindBackupBootSector(const media::ByteSource& source) {
    for (const uint64_t sectorSize : {uint64_t{512}, uint64_t{4096}})
        if (auto sector = volume::ReadBootSector(source, boot::kUsualBackupBootSector * sectorSize);
            sector && AcceptsBootSector(*sector) && volume::ByteReader(*sector).u16(boot::kBytesPerSector) == sectorSize)
            return sector;
    return std::nullopt;
}

std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context) {
    return std::make_unique<TDISK_FAT>(drive, context);
}

} // namespace fat
