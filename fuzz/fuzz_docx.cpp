// Word text: the XML walk over document.xml, and the whole extraction.
#include <string>
#include <vector>

#include "preview/docx_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    DocxBodyText(std::span<const uint8_t>(data, size), lines, 200, nullptr);
    lines.clear();
    ExtractDocxText(std::span<const uint8_t>(data, size), 10, lines, nullptr);
    return 0;
}
