#pragma once
// Decoding single MFT records into the file or folder they describe, as free
// functions over a record's bytes: the scan, the tests and the fuzz targets
// all reach a record through here.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ntfs/ntfs_attributes.h"
#include "volume/parsed.h"
#include "volume/records.h"

namespace ntfs {

// What decoding a record needs of its volume.
struct RecordShape {
    uint32_t RecordSize = 0;
    uint32_t ClusterSize = 0;
};

// Asked between attributes; true ends the parse as refused. Empty: never.
// A plain function and its argument: it is asked for every attribute of
// every record, hundreds of thousands of times a scan.
struct StopTest {
    bool (*test)(const void* context) = nullptr;
    const void* context = nullptr;
    explicit operator bool() const { return test != nullptr; }
    bool operator()() const { return test(context); }
};

// Decodes a deleted or live file's record: times, name, parent and data.
// The record is repaired in place. A file without a usable name is named
// by its record number.
volume::Decoded ParseFileRecord(TMyFile& file, std::span<uint8_t> record, const RecordShape& shape,
                                const StopTest& stopped = {});
// The same without the stand-in name.
volume::Decoded ParseAttributes(TMyFile& file, std::span<uint8_t> record, const RecordShape& shape,
                                const StopTest& stopped = {});
// Decodes a directory's record: its name, parent and modification time.
volume::Decoded ParseFolderRecord(TMyFolder& folder, std::span<uint8_t> record, const RecordShape& shape,
                                  const StopTest& stopped = {});

// Takes name and parent from a $FILE_NAME; refused when the name does not fit.
volume::Decoded TakeFileName(TMyFile& file, const AttributeView& attribute);
// Names a file by its record number when it has no name of its own.
void NameByRecordNumber(TMyFile& file);
// Decodes the unnamed $DATA attribute at `offset` (of `length` bytes) in a
// record: size, flags and where the bytes lie. Only the first piece of a
// stream split over records is taken; later pieces are left alone.
void ParseData(TMyFile& file, std::span<const uint8_t> record, size_t offset, size_t length, uint32_t clusterSize);

// The resident $VOLUME_NAME of a repaired $Volume record, blanks trimmed; empty when it has none.
std::string ReadVolumeName(std::span<const uint8_t> record, uint32_t recordSize);

// The header fields of a record that decide what the scan makes of it.
struct RecordHeader {
    uint32_t inUse = 0;
    uint16_t flags = 0;
    uint64_t baseRecord = 0;  // non-zero: an extension of another record
    int64_t recordNo = 0;
    uint16_t updateSequence = 0;
    uint16_t savedTail = 0;
};
// Reads a record's header before repair; refused when the record is not
// one ("FILE", bytes in use within the record). `index` stands in for the
// record's number when the header does not carry it.
volume::Parsed<RecordHeader> ReadRecordHeader(std::span<const uint8_t> record, uint32_t recordSize, int64_t index);

// One entry of an attribute list.
struct ListEntry {
    uint32_t type = 0;
    uint64_t firstVcn = 0;
    FileReference holder;  // the record that holds this piece
    bool named = false;
};
// The entries of an attribute list's bytes. An attribute list shrinks without
// clearing what it leaves behind (ntfs-3g shortens it while deleting the
// file), so entries are read on past the list's own length, through its
// allocation, for as long as they look like entries. Each is checked
// against the record it names before it is used.
std::vector<ListEntry> ParseAttributeList(std::span<const uint8_t> bytes);

} // namespace ntfs
