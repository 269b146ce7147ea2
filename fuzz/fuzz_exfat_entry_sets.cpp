// exFAT decoding from raw bytes: a boot region (geometry and checksum) and
// an entry set with its names, counts and timestamps.
#include <span>

#include "exfat/entry_set.h"
#include "exfat/exfat_geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (auto geometry = exfat::ParseGeometry(bytes, size))
        exfat::BootChecksumMatches(bytes, geometry->BytesPerSector());
    if (auto set = exfat::ParseEntrySet(bytes))
        (void)set->name.size();
    return 0;
}
