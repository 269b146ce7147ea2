#pragma once
// Walking the attributes of a repaired MFT record, every offset checked
// against the bytes in use, and decoding the values the reader takes from them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "volume/byte_reader.h"
#include "volume/records.h"

namespace ntfs {

enum : uint32_t {
    kAttrStandardInformation = 0x10,
    kAttrAttributeList = 0x20,
    kAttrFileName = 0x30,
    kAttrVolumeName = 0x60,
    kAttrData = 0x80,
    kAttrEnd = 0xFFFFFFFF,
};

// Record header fields.
constexpr size_t kSequenceAt = 16;
constexpr size_t kFlagsAt = 22;
constexpr size_t kBaseRecordAt = 0x20;
constexpr uint16_t kRecordInUse = 0x0001;

// An 8-byte file reference: the record number in the low six bytes, the
// record's sequence number in the high two.
struct FileReference {
    int64_t record = -1;
    uint16_t sequence = 0;
};

inline FileReference SplitReference(uint64_t reference) {
    return {static_cast<int64_t>(reference & 0xFFFFFFFFFFFFull), static_cast<uint16_t>(reference >> 48)};
}

// Whether a reference that names `wanted` still means a record that now
// carries `current`. NTFS counts a record's sequence up when it frees the
// record, so a freed record is one ahead of the references made while it
// was in use. A reference without a sequence number (0) names any.
inline bool SequenceMatches(uint16_t wanted, uint16_t current, bool freed) {
    return wanted == 0 || wanted == current || (freed && static_cast<uint16_t>(wanted + 1) == current);
}

struct AttributeView {
    uint32_t type = 0;
    size_t offset = 0;  // from the start of the record
    size_t length = 0;
    bool nonResident = false;
    uint8_t nameLength = 0;
    volume::ByteReader bytes;  // the attribute's own bytes

    // The value of a resident attribute, or nothing when it does not fit.
    std::optional<volume::ByteReader> ResidentValue() const {
        auto valueLength = bytes.u32(16);
        auto valueOffset = bytes.u16(20);
        if (nonResident || !valueLength || !valueOffset || !bytes.Has(*valueOffset, *valueLength))
            return std::nullopt;
        return bytes.Sub(*valueOffset, *valueLength);
    }
};

// Calls `visit(attribute)` for each attribute until it returns false, the end
// marker, or an attribute that does not fit the bytes in use.
template <typename Visit>
void ForEachAttribute(const volume::ByteReader& record, uint32_t inUse, Visit visit) {
    size_t off = record.u16(20).value_or(56);
    const size_t end = inUse < record.size() ? inUse : record.size();
    while (off + 16 <= end) {
        AttributeView a;
        a.type = *record.u32(off);
        if (a.type == kAttrEnd)
            return;
        const uint32_t length = *record.u32(off + 4);
        if (length < 16 || length > end - off)
            return;
        a.offset = off;
        a.length = length;
        a.nonResident = *record.u8(off + 8) != 0;
        a.nameLength = *record.u8(off + 9);
        a.bytes = record.Sub(off, length);
        if (!visit(a))
            return;
        off += length;
    }
}

// Checks a record's magic and length and repairs its update sequence in
// place; the bytes in use, or nothing for a record that cannot be read.
std::optional<uint32_t> RepairRecord(std::span<uint8_t> record, uint32_t recordSize);

struct FileNameValue {
    std::string name;
    FileReference parent;
    bool usable = false;  // a POSIX or Win32 name; DOS-only names carry just the parent
};

// The value of a resident $FILE_NAME; nothing when the name reaches past it.
std::optional<FileNameValue> ReadFileName(const AttributeView& a);

// Decodes the mapping pairs of one non-resident attribute, starting at `at`
// inside it, into `runs` (holes kept in place). Every piece of an attribute
// counts its cluster numbers from 0. Returns the clusters the pairs cover.
int64_t DecodeRuns(const volume::ByteReader& attribute, size_t at, uint32_t clusterSize,
                   std::vector<TMyFileRun>& runs);

} // namespace ntfs
