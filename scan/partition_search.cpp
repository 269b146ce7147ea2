#include "scan/partition_search.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "exfat/exfat_geometry.h"
#include "exfat/exfat_layout.h"
#include "fat/fat_geometry.h"
#include "fat/fat_probe.h"
#include "fat/fat_layout.h"
#include "ntfs/ntfs_geometry.h"
#include "ntfs/ntfs_layout.h"

namespace scan {

namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kMiB = 1 << 20;
// DOS-era tools started the first volume at sector 63, later ones at 1 MiB;
// resized or hand-made layouts anywhere on a 1 MiB boundary near the start.
constexpr uint64_t kOldFirstVolume = 63 * kSector;
constexpr uint64_t kNearStart = 16 * kMiB;
// After a volume's end the next one usually starts within a few boundaries.
constexpr int kBoundariesAfterAVolume = 4;
// The full search reads this much at a time.
constexpr uint32_t kSearchBlock = 16 * kMiB;

// The FAT's first entry carries the boot sector's media byte in its low byte.
constexpr size_t kMediaDescriptor = 0x15;
constexpr uint32_t kFirstEntryHighBits = 0x0FFFFF00;
// The second entry: end-of-chain, with the clean-shutdown and no-error bits (27, 26) either way.
constexpr uint32_t kSecondEntryFlags = 0x0C000000;
constexpr char kMftRecordMagic[] = "FILE";

std::optional<std::vector<uint8_t>> ReadAt(const media::ByteSource& disk, uint64_t offset, uint32_t count) {
    std::vector<uint8_t> bytes(count);
    if (offset > disk.Size() || count > disk.Size() - offset ||
        !disk.Read(bytes.data(), count, offset, nullptr, 0).Ok())
        return std::nullopt;
    return bytes;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

// An NTFS volume whose boot sector is `boot` and starts at `start`: its length
// when record 0 of its MFT is where the boot sector puts it.
std::optional<uint64_t> NtfsVolumeAt(const media::ByteSource& disk, uint64_t start, std::span<const uint8_t> boot) {
    if (!ntfs::HasNtfsName(boot))
        return std::nullopt;
    const auto geometry = ntfs::ParseGeometry(boot);
    if (!geometry || geometry->TotalSectors <= 0 || geometry->MftOffset() <= 0)
        return std::nullopt;
    const uint64_t mft = start + static_cast<uint64_t>(geometry->MftOffset());
    const auto record = ReadAt(disk, mft, 4);
    if (!record || std::memcmp(record->data() + ntfs::layout::record::kMagic, kMftRecordMagic, 4) != 0)
        return std::nullopt;
    // The backup boot sector takes the sector after the declared ones.
    return (static_cast<uint64_t>(geometry->TotalSectors) + 1) * geometry->SectorSize;
}

std::optional<uint64_t> Fat32VolumeAt(const media::ByteSource& disk, uint64_t start, std::span<const uint8_t> boot) {
    if (!fat::IsFat32(boot))
        return std::nullopt;
    const auto geometry = fat::ParseGeometry(boot);
    if (!geometry || geometry->TotalSectors == 0)
        return std::nullopt;
    const auto entries = ReadAt(disk, start + geometry->ReservedSectors * geometry->BytesPerSector, 8);
    if (!entries)
        return std::nullopt;
    const uint32_t first = Le32(*entries, 0) & fat::layout::table::kEntryMask;
    const uint32_t second = Le32(*entries, 4) & fat::layout::table::kEntryMask;
    if (first != (kFirstEntryHighBits | boot[kMediaDescriptor]) ||
        (second | kSecondEntryFlags) != fat::layout::table::kEntryMask)
        return std::nullopt;
    return geometry->TotalSectors * geometry->BytesPerSector;
}

// A FAT12 or FAT16 volume: its table's first entry repeats the media
// descriptor with every higher bit set, whatever the width.
std::optional<uint64_t> Fat1216VolumeAt(const media::ByteSource& disk, uint64_t start, std::span<const uint8_t> boot) {
    if (!fat::AcceptsFat16BootSector(boot) && !fat::AcceptsFat12BootSector(boot))
        return std::nullopt;
    const auto geometry = fat::ParseGeometry(boot);
    if (!geometry || geometry->TotalSectors == 0)
        return std::nullopt;
    const auto entries = ReadAt(disk, start + geometry->ReservedSectors * geometry->BytesPerSector, 3);
    if (!entries || (*entries)[0] != boot[kMediaDescriptor] || (*entries)[1] != 0xFF || (*entries)[2] != 0xFF)
        return std::nullopt;
    return geometry->TotalSectors * geometry->BytesPerSector;
}

// An exFAT volume: its boot region of twelve sectors carries its own
// checksum. Where the main region's fails, its backup, the next twelve
// sectors, stands for it, as the reader then takes the backup.
std::optional<uint64_t> ExfatVolumeAt(const media::ByteSource& disk, uint64_t start, std::span<const uint8_t> boot) {
    const auto geometry = exfat::ParseGeometry(boot);
    if (!geometry)
        return std::nullopt;
    const uint32_t sectorBytes = geometry->BytesPerSector();
    const uint32_t regionBytes = static_cast<uint32_t>((exfat::layout::region::kChecksumSector + 1) * sectorBytes);
    for (const uint64_t at : {start, start + exfat::layout::region::kBackupStartSector * sectorBytes}) {
        const auto region = ReadAt(disk, at, regionBytes);
        if (!region || !exfat::BootChecksumMatches(*region, sectorBytes))
            continue;
        const auto held = exfat::ParseGeometry(*region);
        if (held && held->sectorShift == geometry->sectorShift)
            return held->VolumeBytes();
    }
    return std::nullopt;
}

struct Found {
    uint64_t start = 0, length = 0;
    const char* fileSystem = "";
};

std::optional<Found> VolumeAt(const media::ByteSource& disk, uint64_t start, std::span<const uint8_t> boot) {
    if (auto length = NtfsVolumeAt(disk, start, boot))
        return Found{start, *length, "NTFS"};
    if (auto length = Fat32VolumeAt(disk, start, boot))
        return Found{start, *length, "FAT32"};
    if (auto length = Fat1216VolumeAt(disk, start, boot))
        return Found{start, *length, fat::AcceptsFat16BootSector(boot) ? "FAT16" : "FAT12"};
    if (auto length = ExfatVolumeAt(disk, start, boot))
        return Found{start, *length, "exFAT"};
    return std::nullopt;
}

// The sector before a boundary may be an NTFS volume's backup boot sector,
// standing in for a primary that was overwritten.
std::optional<Found> VolumeEndingAt(const media::ByteSource& disk, uint64_t backupAt, std::span<const uint8_t> boot) {
    if (!ntfs::HasNtfsName(boot))
        return std::nullopt;
    const auto geometry = ntfs::ParseGeometry(boot);
    if (!geometry || geometry->TotalSectors <= 0)
        return std::nullopt;
    const uint64_t declared = static_cast<uint64_t>(geometry->TotalSectors) * geometry->SectorSize;
    if (declared > backupAt)
        return std::nullopt;
    const uint64_t start = backupAt - declared;
    const auto record = ReadAt(disk, start + static_cast<uint64_t>(geometry->MftOffset()), 4);
    if (!record || std::memcmp(record->data(), kMftRecordMagic, 4) != 0)
        return std::nullopt;
    return Found{start, declared + geometry->SectorSize, "NTFS"};
}

class Search {
public:
    explicit Search(const media::ByteSource& disk) : disk_(disk), size_(disk.Size()) {}

    // Looks at `offset` (and the sector before it, for a backup) unless a found volume covers it.
    void Try(uint64_t offset) {
        if (offset == 0 || offset >= size_ || !tried_.insert(offset).second || Covered(offset))
            return;
        if (auto sector = ReadAt(disk_, offset, kSector))
            Consider(offset, *sector, false);
        else
            ++unreadable_;
        if (offset >= kSector && !Covered(offset - kSector)) {
            if (auto sector = ReadAt(disk_, offset - kSector, kSector))
                Consider(offset - kSector, *sector, true);
            else
                ++unreadable_;
        }
    }

    uint64_t Unreadable() const { return unreadable_; }

    // A sector read by the full search: as a volume's start, or as the backup before a boundary.
    void Consider(uint64_t at, std::span<const uint8_t> sector, bool backup) {
        std::optional<Found> found = backup ? VolumeEndingAt(disk_, at, sector) : VolumeAt(disk_, at, sector);
        if (!found || Covered(found->start) || Overlaps(*found))
            return;
        found->length = std::min(found->length, size_ - found->start);
        found_.push_back(*found);
        const uint64_t end = found->start + found->length;
        Try(end);
        for (int i = 1; i <= kBoundariesAfterAVolume; ++i)
            Try((end + kMiB - 1) / kMiB * kMiB + (i - 1) * kMiB);
    }

    std::vector<media::Partition> Result() const {
        std::vector<Found> sorted = found_;
        std::sort(sorted.begin(), sorted.end(), [](const Found& a, const Found& b) { return a.start < b.start; });
        std::vector<media::Partition> partitions;
        for (const Found& f : sorted) {
            media::Partition p;
            p.Number = static_cast<uint32_t>(partitions.size() + 1);
            p.Scheme = media::PartitionScheme::Found;
            p.Start = f.start;
            p.Length = f.length;
            p.Type = "found";
            p.TypeName = f.fileSystem;
            partitions.push_back(std::move(p));
        }
        return partitions;
    }

    bool Covered(uint64_t offset) const {
        return std::any_of(found_.begin(), found_.end(),
                           [offset](const Found& f) { return offset >= f.start && offset < f.start + f.length; });
    }

private:
    bool Overlaps(const Found& n) const {
        return std::any_of(found_.begin(), found_.end(), [&n](const Found& f) {
            return n.start < f.start + f.length && f.start < n.start + n.length;
        });
    }

    const media::ByteSource& disk_;
    uint64_t size_;
    std::set<uint64_t> tried_;
    std::vector<Found> found_;
    uint64_t unreadable_ = 0;
};

bool Stopped(const PartitionSearch& how) { return how.Stop && how.Stop->load(std::memory_order_relaxed); }

// Every 1 MiB boundary, in order, in blocks of kSearchBlock: the disk is read
// once at its sequential speed, and each boundary's sector (and the one
// before it) is looked at in memory.
void SearchWholeDisk(const media::ByteSource& disk, Search& search, const PartitionSearch& how) {
    const uint64_t size = disk.Size();
    std::vector<uint8_t> block(kSearchBlock);
    for (uint64_t at = 0; at < size && !Stopped(how); at += kSearchBlock) {
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kSearchBlock, size - at));
        const media::ReadResult read = disk.Read(block.data(), count, at, how.Stop, 0);
        // An unreadable block is passed over: its boundaries are tried one by one.
        for (uint64_t boundary = at; boundary < at + count; boundary += kMiB) {
            if (!read.Ok()) {
                search.Try(boundary);
                continue;
            }
            const uint64_t inBlock = boundary - at;
            if (boundary && inBlock + kSector <= count && !search.Covered(boundary))
                search.Consider(boundary, std::span<const uint8_t>(block.data() + inBlock, kSector), false);
            if (inBlock >= kSector && !search.Covered(boundary - kSector))
                search.Consider(boundary - kSector, std::span<const uint8_t>(block.data() + inBlock - kSector, kSector),
                                true);
        }
        if (how.Progress)
            how.Progress(at + count, size);
    }
}

} // namespace

std::vector<media::Partition> FindLostPartitions(const media::ByteSource& disk, const PartitionSearch& how) {
    Search search(disk);
    search.Try(kOldFirstVolume);
    for (uint64_t at = kMiB; at <= kNearStart; at += kMiB)
        search.Try(at);
    if (how.Full)
        SearchWholeDisk(disk, search, how);
    if (how.Unreadable)
        *how.Unreadable = search.Unreadable();
    return search.Result();
}

} // namespace scan
