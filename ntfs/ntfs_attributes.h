#pragma once
// Walking the attributes of a repaired MFT record, every offset checked
// against the bytes in use, and decoding the values the reader takes from them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ntfs/ntfs_layout.h"
#include "volume/byte_reader.h"
#include "volume/records.h"

namespace ntfs {

enum : uint32_t {
    kAttrStandardInformation = 0x10,
    kAttrAttributeList = 0x20,
    kAttrFileName = 0x30,
    kAttrVolumeName = 0x60,
    kAttrData = 0x80,
    kAttrEnd = layout::attribute::kEndMarker,
};

// Record header fields.
constexpr size_t kSequenceAt = layout::record::kSequence;
constexpr size_t kFlagsAt = layout::record::kFlags;
constexpr size_t kBaseRecordAt = layout::record::kBaseRecord;
constexpr uint16_t kRecordInUse = layout::record::kInUse;

// An 8-byte file reference: the record number in the low six bytes, the
// record's sequence number in the high two.
struct FileReference {
    int64_t record = -1;
    uint16_t sequence = 0;
};

inline FileReference SplitReference(uint64_t reference) {
    return {static_cast<int64_t>(reference & layout::reference::kRecordMask),
            static_cast<uint16_t>(reference >> layout::reference::kSequenceShift)};
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
        auto valueLength = bytes.u32(layout::attribute::kValueLength);
        auto valueOffset = bytes.u16(layout::attribute::kValueOffset);
        if (nonResident || !valueLength || !valueOffset || !bytes.Has(*valueOffset, *valueLength))
            return std::nullopt;
        return bytes.Sub(*valueOffset, *valueLength);
    }
};

// Calls `visit(attribute)` for each attribute until it returns false, the end
// marker, or an attribute that does not fit the bytes in use.
template <typename Visit>
void ForEachAttribute(const volume::ByteReader& record, uint32_t inUse, Visit visit) {
    namespace attr = layout::attribute;
    size_t off = record.u16(layout::record::kFirstAttribute).value_or(layout::record::kUsualFirstAttribute);
    const size_t end = inUse < record.size() ? inUse : record.size();
    // The loop's bound keeps the common header inside the record, so the
    // defaults below are never taken; they only spare a second test.
    while (off + attr::kCommonSize <= end) {
        AttributeView a;
        a.type = record.u32(off + attr::kType).value_or(kAttrEnd);
        if (a.type == kAttrEnd)
            return;
        const uint32_t length = record.u32(off + attr::kLength).value_or(0);
        if (length < attr::kCommonSize || length > end - off)
            return;
        a.offset = off;
        a.length = length;
        a.nonResident = record.u8(off + attr::kNonResident).value_or(0) != 0;
        a.nameLength = record.u8(off + attr::kNameLength).value_or(0);
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
