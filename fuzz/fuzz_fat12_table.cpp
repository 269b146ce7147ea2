// The FAT12 table decode: 12-bit entries packed two to three bytes, widened
// to FAT32's values, and written back without touching their neighbours.
#include <vector>

#include "fat/fat_geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> table(data, size);
    std::vector<uint8_t> copy(data, data + size);
    const uint64_t slots = size * 8 / 12 + 2;
    for (uint64_t slot = 0; slot < slots; ++slot) {
        const auto entry = fat::TableEntry(table, slot, 12);
        const auto raw = fat::RawTableEntry(table, slot, 12);
        if (entry.has_value() != raw.has_value() || (raw && *raw > 0xFFF))
            __builtin_trap();
        if (!raw)
            continue;
        // Writing the value read back changes nothing.
        fat::PutRawTableEntry(copy, slot, 12, *raw);
        if (!std::equal(copy.begin(), copy.end(), data))
            __builtin_trap();
    }
    return 0;
}
