#include "media/partition_table.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "media/gpt_layout.h"
#include "media/le_bytes.h"
#include "media/mbr_layout.h"

namespace media {

namespace {

// An extended partition's chain is as long as its EBRs say; a real disk has
// a few dozen logical partitions at most.
constexpr size_t kMaxLogicalPartitions = 256;
// GPT disks come with 512- or 4096-byte sectors; the header says which by where it is.
constexpr uint32_t kGptSectorSizes[] = {512, 4096};

class TableSource {
public:
    explicit TableSource(const ByteSource& disk, uint32_t& reads) : disk_(disk), reads_(reads) {}
    uint64_t Size() const { return disk_.Size(); }

    std::optional<std::vector<uint8_t>> Read(uint64_t offset, uint64_t count) {
        const uint64_t size = disk_.Size();
        if (count > UINT32_MAX || (size && (offset > size || count > size - offset)))
            return std::nullopt;
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        ++reads_;
        if (count && !disk_.Read(bytes.data(), static_cast<uint32_t>(count), offset, nullptr, 0).Ok())
            return std::nullopt;
        return bytes;
    }

private:
    const ByteSource& disk_;
    uint32_t& reads_;
};

bool HasText(const LeBytes& bytes, size_t offset, const char* text) {
    const size_t length = std::strlen(text);
    auto span = bytes.Bytes(offset, length);
    return span && std::memcmp(span->data(), text, length) == 0;
}

// A volume's own boot sector ends in 0x55AA like an MBR; its names tell it apart.
bool IsVolumeBootSector(const LeBytes& sector) {
    return HasText(sector, mbr::kOemName, "NTFS    ") || HasText(sector, mbr::kOemName, "EXFAT   ") ||
           HasText(sector, mbr::kFat32TypeName, "FAT32   ") || HasText(sector, mbr::kFat16TypeName, "FAT12   ") ||
           HasText(sector, mbr::kFat16TypeName, "FAT16   ");
}

std::string Hex(uint64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
    return text;
}

std::string MbrTypeName(uint8_t type) {
    switch (type) {
    case 0x01: return "FAT12";
    case 0x04: case 0x06: case 0x0E: return "FAT16";
    case 0x07: return "NTFS/exFAT";
    case 0x0B: case 0x0C: return "FAT32";
    case 0x27: return "Windows recovery";
    case 0x82: return "Linux swap";
    case 0x83: return "Linux";
    case 0xEF: return "EFI System";
    default: return "";
    }
}

// A GUID as written: its first three fields are stored little-endian.
std::string GuidText(std::span<const uint8_t> g) {
    const LeBytes b(g);
    std::string text = Hex(*b.u32(0), 8) + "-" + Hex(*b.u16(4), 4) + "-" + Hex(*b.u16(6), 4) + "-";
    for (size_t i = 8; i < 16; ++i) {
        if (i == 10)
            text += "-";
        text += Hex(g[i], 2);
    }
    return text;
}

std::string GptTypeName(const std::string& guid) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"EBD0A0A2-B9E5-4433-87C0-68B6B72699C7", "Microsoft basic data"},
        {"C12A7328-F81F-11D2-BA4B-00A0C93EC93B", "EFI System"},
        {"E3C9E316-0B5C-4DB8-817D-F92DF00215AE", "Microsoft reserved"},
        {"DE94BBA4-06D1-4D40-A16A-BFD50179D6AC", "Windows recovery"},
        {"0FC63DAF-8483-4772-8E79-3D69D8477DE4", "Linux filesystem"},
        {"0657FD6D-A4AB-43C4-84E5-0933C84B4F4F", "Linux swap"},
    };
    for (const auto& [id, name] : kNames)
        if (guid == id)
            return name;
    return "";
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A GPT name: UTF-16LE up to the first NUL; a lone surrogate becomes U+FFFD.
std::string NameFromUtf16(const LeBytes& name) {
    std::string text;
    for (size_t i = 0; name.Has(i, 2); i += 2) {
        uint32_t c = *name.u16(i);
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xDC00 && name.Has(i + 2, 2)) {
            const uint32_t low = *name.u16(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(text, c);
    }
    return text;
}

std::string Named(const Partition& p) { return "partition " + std::to_string(p.Number); }

// Keeps a partition inside the disk: cut when it runs past the end, refused
// when it starts there. An unknown disk size (0) is believed.
bool FitToDisk(Partition& p, uint64_t diskSize, std::vector<std::string>& notes) {
    if (p.Length == 0) {
        notes.push_back(Named(p) + " refused: it is empty");
        return false;
    }
    if (!diskSize)
        return true;
    if (p.Start >= diskSize) {
        notes.push_back(Named(p) + " refused: it starts past the disk's end");
        return false;
    }
    if (p.Length > diskSize - p.Start) {
        p.Length = diskSize - p.Start;
        p.Cut = true;
        notes.push_back(Named(p) + " cut at the disk's end");
    }
    return true;
}

// Sorts by start and refuses every partition that overlaps one kept before it.
void RefuseOverlaps(std::vector<Partition>& partitions, std::vector<std::string>& notes) {
    std::stable_sort(partitions.begin(), partitions.end(),
                     [](const Partition& a, const Partition& b) { return a.Start < b.Start; });
    std::vector<Partition> kept;
    for (Partition& p : partitions) {
        if (!kept.empty() && p.Start < kept.back().Start + kept.back().Length) {
            notes.push_back(Named(p) + " refused: it overlaps " + Named(kept.back()));
            continue;
        }
        kept.push_back(std::move(p));
    }
    partitions = std::move(kept);
}

struct MbrEntry {
    uint8_t type = 0;
    uint64_t first = 0;  // sectors
    uint64_t count = 0;
};

MbrEntry EntryAt(const LeBytes& sector, size_t index) {
    const size_t at = mbr::kEntryTable + index * mbr::kEntrySize;
    return {sector.u8(at + mbr::kEntryType).value_or(0), sector.u32(at + mbr::kEntryFirstSector).value_or(0),
            sector.u32(at + mbr::kEntrySectorCount).value_or(0)};
}

bool HasSignature(const LeBytes& sector) { return sector.u16(mbr::kSignature) == mbr::kSignatureValue; }

// Whether the four entries can be a table at all: boot code or zeros read as
// entries have status bytes other than 0x00 and 0x80.
bool EntriesPlausible(const LeBytes& sector) {
    bool any = false;
    for (size_t i = 0; i < mbr::kEntryCount; ++i) {
        const uint8_t status = sector.u8(mbr::kEntryTable + i * mbr::kEntrySize + mbr::kEntryStatus).value_or(0xFF);
        if (status != 0 && status != mbr::kStatusActive)
            return false;
        any = any || EntryAt(sector, i).type != mbr::kTypeEmpty;
    }
    return any;
}

bool HasProtectiveEntry(const LeBytes& sector) {
    for (size_t i = 0; i < mbr::kEntryCount; ++i)
        if (EntryAt(sector, i).type == mbr::kTypeProtectiveGpt)
            return true;
    return false;
}

Partition MbrPartition(uint32_t number, const MbrEntry& entry, uint64_t firstSector) {
    Partition p;
    p.Number = number;
    p.Scheme = PartitionScheme::Mbr;
    p.Start = firstSector * mbr::kSectorSize;
    p.Length = entry.count * mbr::kSectorSize;
    p.Type = "0x" + Hex(entry.type, 2);
    p.TypeName = MbrTypeName(entry.type);
    return p;
}

// The logical partitions of the extended partition at `extStart` (sectors),
// numbered from 5. The chain is followed while it stays inside the extended
// partition, visits no EBR twice and is no longer than a disk can hold.
void ReadLogicals(TableSource& source, uint64_t extStart, uint64_t extCount, PartitionTable& table) {
    std::set<uint64_t> visited;
    uint32_t number = 5;
    uint64_t ebr = extStart;
    while (true) {
        if (!visited.insert(ebr).second) {
            table.Notes.push_back("the chain of logical partitions loops: followed no further");
            return;
        }
        if (visited.size() > kMaxLogicalPartitions) {
            table.Notes.push_back("the chain of logical partitions is longer than " +
                                  std::to_string(kMaxLogicalPartitions) + " links: followed no further");
            return;
        }
        const auto bytes = source.Read(ebr * mbr::kSectorSize, mbr::kSectorSize);
        if (!bytes) {
            table.Notes.push_back("an extended boot record could not be read: the logical partitions after it are missing");
            return;
        }
        const LeBytes sector(*bytes);
        if (!HasSignature(sector)) {
            if (ebr != extStart)
                table.Notes.push_back("a link of the chain of logical partitions is no extended boot record");
            return;
        }
        const MbrEntry logical = EntryAt(sector, mbr::kEbrLogicalEntry);
        if (logical.type != mbr::kTypeEmpty && logical.count) {
            Partition p = MbrPartition(number++, logical, ebr + logical.first);
            const uint64_t begin = ebr + logical.first, end = begin + logical.count;
            if (logical.first == 0 || end > extStart + extCount)
                table.Notes.push_back(Named(p) + " refused: it lies outside its extended partition");
            else if (FitToDisk(p, source.Size(), table.Notes))
                table.Partitions.push_back(std::move(p));
        }
        const MbrEntry next = EntryAt(sector, mbr::kEbrNextEntry);
        if (next.type == mbr::kTypeEmpty || next.first == 0)
            return;
        if (next.first >= extCount) {
            table.Notes.push_back("the chain of logical partitions leaves its extended partition: followed no further");
            return;
        }
        ebr = extStart + next.first;
    }
}

PartitionTable ReadMbr(TableSource& source, const LeBytes& sector) {
    PartitionTable table;
    table.Scheme = PartitionScheme::Mbr;
    bool extendedSeen = false;
    for (size_t i = 0; i < mbr::kEntryCount; ++i) {
        const MbrEntry entry = EntryAt(sector, i);
        const uint32_t number = static_cast<uint32_t>(i + 1);
        if (entry.type == mbr::kTypeEmpty || entry.count == 0)
            continue;
        if (entry.first == 0) {
            table.Notes.push_back("partition " + std::to_string(number) + " refused: it covers the table itself");
            continue;
        }
        if (mbr::IsExtended(entry.type)) {
            if (extendedSeen) {
                table.Notes.push_back("partition " + std::to_string(number) + " refused: a second extended partition");
                continue;
            }
            extendedSeen = true;
            ReadLogicals(source, entry.first, entry.count, table);
            continue;
        }
        Partition p = MbrPartition(number, entry, entry.first);
        if (FitToDisk(p, source.Size(), table.Notes))
            table.Partitions.push_back(std::move(p));
    }
    RefuseOverlaps(table.Partitions, table.Notes);
    return table;
}

uint32_t Crc32(std::span<const uint8_t> bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt at a time; the array is bounded far below that.
    return static_cast<uint32_t>(crc32(crc, bytes.data(), static_cast<uInt>(bytes.size())));
}

struct GptReading {
    std::optional<PartitionTable> table;
    std::string reason;
};

GptReading ReadGptAt(TableSource& source, uint32_t sectorSize, uint64_t headerLba) {
    const uint64_t diskSize = source.Size();
    const auto bytes = source.Read(headerLba * sectorSize, sectorSize);
    if (!bytes)
        return {std::nullopt, "its sector could not be read"};
    const LeBytes header(*bytes);
    if (header.u64(gpt::kSignature) != gpt::kSignatureValue)
        return {std::nullopt, "no GPT signature"};
    const uint32_t headerSize = header.u32(gpt::kHeaderSize).value_or(0);
    if (headerSize < gpt::kMinHeaderSize || headerSize > sectorSize)
        return {std::nullopt, "the header's size is impossible"};
    std::vector<uint8_t> covered(bytes->begin(), bytes->begin() + headerSize);
    std::fill_n(covered.begin() + gpt::kHeaderCrc, 4, uint8_t{0});
    if (Crc32(covered) != header.u32(gpt::kHeaderCrc))
        return {std::nullopt, "the header's checksum is wrong"};
    if (header.u64(gpt::kCurrentLba) != headerLba)
        return {std::nullopt, "the header names another place as its own"};

    const uint32_t count = *header.u32(gpt::kEntryCount);
    const uint32_t entrySize = *header.u32(gpt::kEntrySize);
    if (entrySize < gpt::kMinEntrySize || entrySize > gpt::kMaxEntrySize || entrySize % gpt::kMinEntrySize)
        return {std::nullopt, "the entries' size is impossible"};
    const uint64_t arrayBytes = uint64_t{count} * entrySize;
    if (arrayBytes > gpt::kMaxEntryArrayBytes)
        return {std::nullopt, "the header claims " + std::to_string(count) + " entries, more than a table holds"};
    const uint64_t entriesLba = *header.u64(gpt::kEntriesLba);
    if (entriesLba > UINT64_MAX / sectorSize)
        return {std::nullopt, "the entries lie past the disk's end"};
    const auto array = source.Read(entriesLba * sectorSize, arrayBytes);
    if (!array)
        return {std::nullopt, "the entries could not be read or lie past the disk's end"};
    if (Crc32(*array) != header.u32(gpt::kEntriesCrc))
        return {std::nullopt, "the entries' checksum is wrong"};

    PartitionTable table;
    table.Scheme = PartitionScheme::Gpt;
    table.SectorSize = sectorSize;
    const uint64_t firstUsable = *header.u64(gpt::kFirstUsableLba);
    const LeBytes entries(*array);
    for (uint32_t i = 0; i < count; ++i) {
        const LeBytes entry(*entries.Bytes(size_t{i} * entrySize, entrySize));
        const auto type = *entry.Bytes(gpt::kEntryTypeGuid, 16);
        if (std::all_of(type.begin(), type.end(), [](uint8_t b) { return b == 0; }))
            continue;
        Partition p;
        p.Number = i + 1;
        p.Scheme = PartitionScheme::Gpt;
        p.Type = GuidText(type);
        p.TypeName = GptTypeName(p.Type);
        p.Label = NameFromUtf16(LeBytes(*entry.Bytes(gpt::kEntryName, gpt::kEntryNameBytes)));
        const uint64_t first = *entry.u64(gpt::kEntryFirstLba), last = *entry.u64(gpt::kEntryLastLba);
        if (last < first || first < firstUsable || first > UINT64_MAX / sectorSize ||
            last - first >= UINT64_MAX / sectorSize) {
            table.Notes.push_back(Named(p) + " refused: its sectors are impossible");
            continue;
        }
        p.Start = first * sectorSize;
        p.Length = (last - first + 1) * sectorSize;
        if (FitToDisk(p, diskSize, table.Notes))
            table.Partitions.push_back(std::move(p));
    }
    RefuseOverlaps(table.Partitions, table.Notes);
    return {std::move(table), ""};
}

// The primary header in the second sector, else the backup in the last.
GptReading ReadGpt(TableSource& source) {
    std::string reason;
    for (uint32_t sectorSize : kGptSectorSizes) {
        GptReading primary = ReadGptAt(source, sectorSize, 1);
        if (primary.table)
            return primary;
        if (sectorSize == kGptSectorSizes[0])
            reason = primary.reason;
    }
    const uint64_t size = source.Size();
    for (uint32_t sectorSize : kGptSectorSizes) {
        if (size < 2 * uint64_t{sectorSize})
            continue;
        GptReading backup = ReadGptAt(source, sectorSize, size / sectorSize - 1);
        if (backup.table) {
            backup.table->FromBackup = true;
            backup.table->Notes.insert(backup.table->Notes.begin(),
                                       "the primary GPT header is damaged (" + reason + "): the backup was read");
            return backup;
        }
    }
    return {std::nullopt, reason};
}

} // namespace

const char* SchemeName(PartitionScheme scheme) {
    switch (scheme) {
    case PartitionScheme::Mbr: return "MBR";
    case PartitionScheme::Gpt: return "GPT";
    case PartitionScheme::Found: return "found";
    case PartitionScheme::Unpartitioned: return "unpartitioned";
    }
    return "";
}

TableReading ReadPartitionTable(const ByteSource& disk) {
    TableReading reading;
    TableSource source(disk, reading.Reads);
    const auto first = source.Read(0, mbr::kSectorSize);
    if (!first) {
        reading.Reason = "the first sector could not be read";
        return reading;
    }
    const LeBytes sector(*first);
    if (HasSignature(sector) && IsVolumeBootSector(sector)) {
        reading.Reason = "the first sector is a volume's boot sector";
        reading.BareVolume = true;
        return reading;
    }
    const bool mbrValid = HasSignature(sector) && EntriesPlausible(sector);
    const bool protective = mbrValid && HasProtectiveEntry(sector);
    if (protective || !mbrValid) {
        // A GPT without its protective MBR (zeroed by accident) is still the table.
        GptReading gpt = ReadGpt(source);
        if (gpt.table) {
            if (!mbrValid)
                gpt.table->Notes.insert(gpt.table->Notes.begin(), "the protective MBR is missing");
            reading.Found = true;
            reading.Table = std::move(*gpt.table);
            return reading;
        }
        if (protective) {
            reading.Reason = "a protective MBR, but no valid GPT header (" + gpt.reason + ")";
            return reading;
        }
        reading.Reason = "no partition table in the first sector";
        return reading;
    }
    reading.Found = true;
    reading.Table = ReadMbr(source, sector);
    return reading;
}

} // namespace media
