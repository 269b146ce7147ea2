#pragma once
// What the first sectors of a disk say it holds: an MBR (with the logical
// partitions of its extended partition) or a GPT. Every number in a table is
// checked against the disk before it is believed: a hostile table is cut or
// refused, and what was cut or refused is named in the notes.
#include <cstdint>
#include <string>
#include <vector>

#include "media/byte_source.h"

namespace media {

enum class PartitionScheme : uint8_t {
    Mbr,
    Gpt,
    Found,  // no table names it: a volume found where volumes usually start
    Unpartitioned,  // space no partition holds, searched by content only
};

const char* SchemeName(PartitionScheme scheme);  // "MBR", "GPT", "found"

struct Partition {
    uint32_t Number = 0;  // as Linux numbers them: MBR primaries 1–4, logicals 5, 6, …; GPT entries from 1
    PartitionScheme Scheme = PartitionScheme::Mbr;
    uint64_t Start = 0;   // bytes from the disk's first byte
    uint64_t Length = 0;  // bytes
    std::string Type;     // "0x07" for MBR, the type GUID for GPT
    std::string TypeName; // what the type usually holds ("NTFS/exFAT", "Microsoft basic data"); may be empty
    std::string Label;    // a GPT entry's name (UTF-8)
    bool Cut = false;     // the table reached past the disk's end: shortened to it
};

struct PartitionTable {
    PartitionScheme Scheme = PartitionScheme::Mbr;
    bool FromBackup = false;              // GPT: the primary header was damaged, the backup read
    uint32_t SectorSize = 512;
    std::vector<Partition> Partitions;    // by start
    std::vector<std::string> Notes;       // entries cut or refused, and why
};

struct TableReading {
    bool Found = false;    // a table (possibly with no usable partition)
    PartitionTable Table;
    std::string Reason;    // when none was found: why the first sectors are not a table
    bool BareVolume = false;  // the first sector is a volume's own boot sector
    uint32_t Reads = 0;    // reads it took (opening a disk must stay cheap)
};

// Reads the table at the start of `disk`. A bare volume (its first sector a
// file system's boot sector) is no table.
TableReading ReadPartitionTable(const ByteSource& disk);

} // namespace media
