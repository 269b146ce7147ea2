// The ZIP entry walk and extraction.
#include <vector>

#include "preview/zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    std::span<const uint8_t> archive(data, size);
    ExtractEntry(archive, out, "word\\document.xml", nullptr, kMaxZipBytes);
    ExtractEntry(archive, out, "a", nullptr, 1 << 20);
    return 0;
}
