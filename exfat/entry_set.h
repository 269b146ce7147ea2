#pragma once
// The entry set of one file or folder in an exFAT directory: a File entry,
// its Stream Extension and its File Name entries, decoded as one record and
// judged for consistency, since a deleted set may have been partly reused.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "volume/parsed.h"
#include "volume/records.h"

namespace exfat {

struct EntrySet {
    bool deleted = false;          // the File entry no longer marked in use
    uint8_t secondaryCount = 0;    // entries after the File entry
    bool folder = false;
    FileTime created = 0, modified = 0, accessed = 0;
    bool hasTimes = false;
    bool noFatChain = false;       // the data is contiguous; the table holds no chain for it
    uint32_t firstCluster = 0;
    uint64_t validDataLength = 0;  // bytes written; the rest up to dataLength reads as zeros
    uint64_t dataLength = 0;
    std::string name;              // UTF-8
    bool checksumMatches = false;

    // Entries the set spans, the File entry included.
    size_t EntryCount() const { return size_t{secondaryCount} + 1; }
};

// The set checksum over `set` (whole entries), skipping the checksum field of
// the File entry. Entries of a deleted set are summed as they were when in
// use, so that their sum still matches the one recorded.
uint16_t SetChecksum(std::span<const uint8_t> set);

// Decodes the set that begins with the File entry at the start of `entries`
// (live 0x85 or deleted 0x05); `entries` may run on past the set. Refused
// when the set is cut short or its entries do not agree with one another
// (counts, types, the name's length). A checksum that fails does not refuse
// a set whose structure is sound: `checksumMatches` says so.
volume::Parsed<EntrySet> ParseEntrySet(std::span<const uint8_t> entries);

// A timestamp with its 10 ms increment and its UTC offset byte, as a UTC
// file time; a timestamp without a valid offset is taken as local time.
std::optional<FileTime> DecodeTimestamp(uint32_t packed, uint8_t tenMs, uint8_t utcOffset);

} // namespace exfat
