#include "ntfs/ntfs_probe.h"

#include "ntfs/ntfs_disk.h"
#include "ntfs/ntfs_layout.h"
#include "volume/boot_probe.h"
#include "volume/byte_reader.h"
#include "volume/text.h"

namespace ntfs {

namespace boot = layout::boot;

bool AcceptsBootSector(std::span<const uint8_t> bootSector) {
    if (bootSector.size() < boot::kOemName + boot::kOemNameLength)
        return false;
    const std::string name(reinterpret_cast<const char*>(bootSector.data()) + boot::kOemName, boot::kOemNameLength);
    return volume::TrimControls(name) == "NTFS";
}

std::optional<std::vector<uint8_t>> FindBackupBootSector(const media::ByteSource& source) {
    const uint64_t size = source.Size();
    for (const uint64_t sectorSize : {uint64_t{512}, uint64_t{4096}}) {
        if (size < sectorSize)
            continue;
        auto sector = volume::ReadBootSector(source, size - sectorSize);
        if (!sector || !AcceptsBootSector(*sector))
            continue;
        const volume::ByteReader r(*sector);
        const uint64_t total = static_cast<uint64_t>(r.i64(boot::kTotalSectors).value_or(0));
        if (r.u16(boot::kBytesPerSector) == sectorSize && total > 0 && total < UINT64_MAX / sectorSize &&
            total * sectorSize == size - sectorSize)
            return sector;
    }
    return std::nullopt;
}

std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context) {
    return std::make_unique<TNTFS_Disk>(drive, context);
}

} // namespace ntfs
