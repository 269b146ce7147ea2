#include "fat/fat_geometry.h"

#include <algorithm>
#include <string>

#include "fat/fat_layout.h"
#include "volume/byte_reader.h"
#include "volume/text.h"

namespace fat {

namespace boot = layout::boot;
using volume::ByteReader;

namespace {
constexpr uint16_t kUsualSectorBytes = 512;

bool IsSectorSize(uint16_t v) { return v >= 512 && v <= 4096 && !(v & (v - 1)); }
} // namespace

bool IsFat32(std::span<const uint8_t> bootSector) {
    return bootSector.size() >= boot::kSize &&
           volume::TrimControls(std::string(reinterpret_cast<const char*>(bootSector.data()) + boot::kFileSystemType,
                                            boot::kFileSystemTypeLength)) == "FAT32";
}

volume::Parsed<Geometry> ParseGeometry(std::span<const uint8_t> bootSector) {
    const ByteReader r(bootSector);
    if (!r.Has(0, boot::kRootCluster + sizeof(uint32_t)))  // the last field decoded
        return volume::Parsed<Geometry>::Refused("boot sector cut short");
    Geometry g;
    g.BytesPerSector = r.u16(boot::kBytesPerSector).value_or(0);
    g.SectorsPerCluster = r.u8(boot::kSectorsPerCluster).value_or(0);
    g.ReservedSectors = r.u16(boot::kReservedSectors).value_or(0);
    g.FatCount = r.u8(boot::kTableCount).value_or(0);
    const uint16_t narrowTable = r.u16(boot::kSectorsPerTable16).value_or(0);
    if (narrowTable == 0) {
        g.TotalSectors = r.u32(boot::kTotalSectors).value_or(0);
        g.SectorsPerFat = r.u32(boot::kSectorsPerTable).value_or(0);
        g.RootCluster = r.u32(boot::kRootCluster).value_or(0);
    } else {
        const uint16_t total16 = r.u16(boot::kTotalSectors16).value_or(0);
        g.TotalSectors = total16 ? total16 : r.u32(boot::kTotalSectors).value_or(0);
        g.SectorsPerFat = narrowTable;
        g.RootEntryCount = r.u16(boot::kRootEntryCount).value_or(0);
    }
    if (!IsSectorSize(g.BytesPerSector))
        return volume::Parsed<Geometry>::Refused("sector size");
    if (!g.SectorsPerCluster || (g.SectorsPerCluster & (g.SectorsPerCluster - 1)))
        return volume::Parsed<Geometry>::Refused("sectors per cluster");
    if (g.TotalSectors == 0 || g.SectorsPerFat == 0)
        return volume::Parsed<Geometry>::Refused("volume or table size");
    g.BytesPerCluster = uint32_t{g.BytesPerSector} * g.SectorsPerCluster;
    g.ClusterCount = g.TotalSectors / g.SectorsPerCluster;
    if (narrowTable != 0) {
        if (g.RootEntryCount == 0)
            return volume::Parsed<Geometry>::Refused("root folder size");
        g.RootSectors = (uint64_t{g.RootEntryCount} * layout::entry::kSize + g.BytesPerSector - 1) / g.BytesPerSector;
        const uint64_t before = g.RootRegionSector() + g.RootSectors;
        const uint64_t dataClusters = g.TotalSectors > before ? (g.TotalSectors - before) / g.SectorsPerCluster : 0;
        if (dataClusters == 0 || dataClusters >= layout::table::kFat16ClustersBelow)
            return volume::Parsed<Geometry>::Refused("cluster count");
        g.TableBits = dataClusters < layout::table::kFat12ClustersBelow ? 12 : 16;
    }
    const uint64_t dataStart = g.SectorsPerFat * g.FatCount + g.ReservedSectors + g.RootSectors;
    g.DataStartCluster = dataStart / g.SectorsPerCluster;
    g.DataStartRemainder = static_cast<uint32_t>(dataStart % g.SectorsPerCluster);
    return g;
}

uint8_t TableBitsOf(std::span<const uint8_t> bootSector) {
    const ByteReader r(bootSector);
    const uint8_t jump = r.u8(0).value_or(0), media = r.u8(boot::kMedia).value_or(0);
    if (jump != boot::kShortJump && jump != boot::kNearJump)
        return 0;
    if (media != boot::kFloppyMedia && media < boot::kLowestMedia)
        return 0;
    const auto geometry = ParseGeometry(bootSector);
    if (!geometry || geometry->FatCount == 0 || geometry->ReservedSectors == 0)
        return 0;
    return geometry->TableBits;
}

std::vector<uint64_t> BackupBootSectors(std::span<const uint8_t> primary, uint16_t& sectorBytes) {
    std::vector<uint64_t> sectors;
    sectorBytes = kUsualSectorBytes;
    if (primary.size() >= boot::kSize) {
        const ByteReader r(primary);
        const uint16_t named = r.u16(boot::kBackupBootSector).value_or(0);
        const uint16_t reserved = r.u16(boot::kReservedSectors).value_or(0);
        if (named > 0 && named != boot::kNoBackup && (reserved == 0 || named < reserved))
            sectors.push_back(named);
        const uint16_t size = r.u16(boot::kBytesPerSector).value_or(0);
        if (IsSectorSize(size))
            sectorBytes = size;
    }
    if (std::find(sectors.begin(), sectors.end(), boot::kUsualBackupBootSector) == sectors.end())
        sectors.push_back(boot::kUsualBackupBootSector);
    return sectors;
}

TableChoice ChooseTable(std::span<const uint8_t> bootSector, uint8_t tableCount, uint8_t tableBits) {
    TableChoice choice;
    if (tableBits != 32)
        return choice;
    const uint16_t flags = ByteReader(bootSector).u16(boot::kExtendedFlags).value_or(0);
    choice.mirrored = !(flags & boot::kMirroringOff);
    const uint64_t named = flags & boot::kActiveTableMask;
    choice.active = !choice.mirrored && named < tableCount ? named : 0;
    return choice;
}

uint64_t TableEntryOffset(uint64_t slot, uint8_t bits) { return slot * bits / 8; }

std::optional<uint32_t> RawTableEntry(std::span<const uint8_t> table, uint64_t slot, uint8_t bits) {
    if (slot > SIZE_MAX / layout::table::kEntrySize)
        return std::nullopt;
    const size_t at = static_cast<size_t>(TableEntryOffset(slot, bits));
    const ByteReader r(table);
    switch (bits) {
    case 12: {
        // Two entries share three bytes: the even one the low 12 bits, the odd one the high 12.
        const auto v = r.u16(at);
        if (!v)
            return std::nullopt;
        return slot % 2 ? uint32_t{*v} >> 4 : uint32_t{*v} & 0x0FFF;
    }
    case 16: {
        const auto v = r.u16(at);
        return v ? std::optional<uint32_t>(*v) : std::nullopt;
    }
    default:
        return r.u32(at);
    }
}

void PutRawTableEntry(std::span<uint8_t> table, uint64_t slot, uint8_t bits, uint32_t value) {
    const uint64_t at = TableEntryOffset(slot, bits);
    if (at + TableEntryBytes(bits) > table.size())
        return;
    uint8_t* p = table.data() + at;
    switch (bits) {
    case 12:
        if (slot % 2) {
            p[0] = static_cast<uint8_t>((p[0] & 0x0F) | ((value & 0x0F) << 4));
            p[1] = static_cast<uint8_t>(value >> 4);
        } else {
            p[0] = static_cast<uint8_t>(value);
            p[1] = static_cast<uint8_t>((p[1] & 0xF0) | ((value >> 8) & 0x0F));
        }
        return;
    case 16:
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        return;
    default:
        for (size_t k = 0; k < 4; ++k)
            p[k] = static_cast<uint8_t>(value >> (8 * k));
    }
}

std::optional<uint32_t> TableEntry(std::span<const uint8_t> table, uint64_t slot, uint8_t bits) {
    const auto v = RawTableEntry(table, slot, bits);
    if (!v)
        return std::nullopt;
    switch (bits) {
    case 12:
        return *v >= layout::table::kFat12ReservedFrom ? *v | (layout::table::kEntryMask & ~0x0FFFu) : *v;
    case 16:
        return *v >= layout::table::kFat16ReservedFrom ? *v | (layout::table::kEntryMask & ~0xFFFFu) : *v;
    default:
        return *v & layout::table::kEntryMask;
    }
}

} // namespace fat
