#include "exfat/exfat_probe.h"

#include "exfat/exfat_geometry.h"
#include "exfat/exfat_layout.h"
#include "exfat/exfat_reader.h"
#include "volume/boot_probe.h"

namespace exfat {

bool AcceptsBootSector(std::span<const uint8_t> bootSector) {
    return static_cast<bool>(ParseGeometry(bootSector));
}

std::optional<std::vector<uint8_t>> FindBackupBootSector(const media::ByteSource& source) {
    for (const uint8_t shift : {uint8_t{9}, uint8_t{12}})
        if (auto sector = volume::ReadBootSector(source, layout::region::kBackupStartSector << shift)) {
            if (auto g = ParseGeometry(*sector); g && g->sectorShift == shift)
                return sector;
        }
    return std::nullopt;
}

std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context) {
    return std::make_unique<ExfatReader>(drive, context);
}

} // namespace exfat
