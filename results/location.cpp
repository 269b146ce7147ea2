#include "results/location.h"

#include <algorithm>
#include <deque>
#include <unordered_set>

#include "volume/text.h"

namespace results {

bool IsOwnParent(const TMyFolder& parent, const TMyFolder& child) {
    return &parent == &child ||
           (child.RecordNo == kNtfsRootRecord && child.Drive && child.Drive->FileSystem == kFileSystemNtfs);
}

const TMyFolder* RootFolderOf(const TMyDisk& disk) { return disk.Folders.empty() ? nullptr : disk.Folders.front().get(); }

void CollectLocation(const TMyFolder& start, const std::function<void(TMyFile*)>& take,
                     const std::function<bool()>& stopped) {
    std::deque<const TMyFolder*> queue{&start};
    std::unordered_set<const TMyFolder*> seen{&start};
    while (!queue.empty()) {
        if (stopped && stopped())
            return;
        const TMyFolder* folder = queue.front();
        queue.pop_front();
        for (TMyFile* file : folder->Files)
            if (file && file->Accepted)
                take(file);
        for (const TMyFolder* sub : folder->SubFolders)
            if (sub && seen.insert(sub).second)
                queue.push_back(sub);
    }
}

std::vector<const TMyFolder*> FoldersAt(const TMyDisk& disk, std::string_view path) {
    std::vector<const TMyFolder*> level;
    if (const TMyFolder* root = RootFolderOf(disk))
        level.push_back(root);
    size_t at = 0;
    while (at <= path.size() && !level.empty()) {
        const size_t end = path.find_first_of("/\\", at);
        const std::string_view name = path.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? path.size() + 1 : end + 1;
        if (name.empty())
            continue;
        std::vector<const TMyFolder*> next;
        for (const TMyFolder* folder : level)
            for (const TMyFolder* sub : folder->SubFolders)
                if (sub && !IsOwnParent(*folder, *sub) && volume::EqualsIgnoreCase(sub->FolderName, name) &&
                    std::find(next.begin(), next.end(), sub) == next.end())
                    next.push_back(sub);
        level = std::move(next);
    }
    return level;
}

} // namespace results
