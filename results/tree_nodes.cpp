#include "results/tree_nodes.h"

#include <algorithm>

#include "results/location.h"
#include "volume/text.h"

namespace results {

std::vector<CategoryNode> TypeTreeOf(const CategoryList& categories) {
    std::vector<CategoryNode> nodes;
    for (const auto& category : categories) {
        if (!category || category->Extensions.empty())
            continue;
        CategoryNode node{category->Index, category->Caption, 0, {}};
        for (const ExtensionCount& extension : category->Extensions) {
            node.Extensions.push_back({extension.Extension, extension.Count});
            node.Count += extension.Count;
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<TMyDisk*> DrivesForTree(const DiskList& disks) {
    std::vector<TMyDisk*> drives;
    for (const auto& disk : disks)
        if (disk && disk->Selected && disk->AcceptedCount > 0)
            drives.push_back(disk.get());
    std::stable_sort(drives.begin(), drives.end(), [](const TMyDisk* a, const TMyDisk* b) {
        return volume::CompareTextUtf16(a->DriveName, b->DriveName) < 0;
    });
    return drives;
}

std::vector<TMyFolder*> SubFoldersForTree(const TMyFolder& folder) {
    std::vector<TMyFolder*> shown;
    for (TMyFolder* sub : folder.SubFolders)
        if (sub && sub->FileCount > 0 && !IsOwnParent(folder, *sub))
            shown.push_back(sub);
    std::stable_sort(shown.begin(), shown.end(), [](const TMyFolder* a, const TMyFolder* b) {
        return volume::CompareTextUtf16(a->FolderName, b->FolderName) < 0;
    });
    return shown;
}

} // namespace results
