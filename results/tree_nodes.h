#pragma once
// What the result page's two trees list: the type tree's categories with
// their extensions, and the folder tree's drives and folders, in the order
// the trees show them.
#include <cstdint>
#include <string>
#include <vector>

#include "scan/disk.h"
#include "volume/file_type.h"
#include "volume/records.h"

namespace results {

struct ExtensionNode {
    std::string Text;  // the extension with its dot, spelled as first met; empty for none
    uint32_t Count = 0;
};

struct CategoryNode {
    int Index = 0;  // 0..5, also the category's picture
    std::string Text;
    uint32_t Count = 0;  // the sum of its extensions' counts
    std::vector<ExtensionNode> Extensions;
};

// The categories that met at least one extension, in index order, each with
// its extensions in the order first met. The counts were tallied by the scan.
std::vector<CategoryNode> TypeTreeOf(const CategoryList& categories);

// The drives that were scanned and kept files, by drive name without regard
// to case (the list holds them in the order they were added).
std::vector<TMyDisk*> DrivesForTree(const DiskList& disks);

// A folder's sub-folders as the folder tree lists them: those with found
// files in them or below, never the folder itself nor the NTFS root, by
// name without regard to case.
std::vector<TMyFolder*> SubFoldersForTree(const TMyFolder& folder);

} // namespace results
