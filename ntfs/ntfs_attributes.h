#pragma once
// Walking the attributes of a repaired MFT record, every offset checked
// against the bytes in use.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "volume/byte_reader.h"

namespace ntfs {

enum : uint32_t {
    kAttrStandardInformation = 0x10,
    kAttrFileName = 0x30,
    kAttrVolumeName = 0x60,
    kAttrData = 0x80,
    kAttrEnd = 0xFFFFFFFF,
};

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

} // namespace ntfs
