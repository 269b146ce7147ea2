#pragma once
// One of the six categories of the result, with a count per extension.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "volume/text.h"

struct ExtensionCount {
    std::string Extension;  // as the first file that had it spelled it
    uint32_t Count = 0;
};

class TMyFileType {
public:
    explicit TMyFileType(std::string caption) : Caption(std::move(caption)) {}

    int32_t ImageIndex = 0;
    int32_t ExtImageIndex = 0;
    std::string Caption;
    int32_t Index = 0;
    std::vector<ExtensionCount> Extensions;

    // Counts one accepted file; the look-up ignores letter case.
    void CountExtension(const std::string& extension);
    void ClearExtensions();

private:
    std::unordered_map<std::string, size_t, volume::IgnoreCaseHash, volume::IgnoreCaseEqual> byName_;
};

using CategoryList = std::vector<std::unique_ptr<TMyFileType>>;

// The six categories in index order, captions from the language table.
CategoryList MakeCategories();
