#include "recover/target_folder.h"

#include "recover/safe_name.h"

namespace recover {

namespace {

constexpr char kFoundPathSeparator = '\\';  // how a found file's folder path is joined

std::vector<std::string> PathNames(const std::string& folderPath) {
    std::vector<std::string> names;
    std::string name;
    for (char c : folderPath) {
        if (c == kFoundPathSeparator) {
            if (!name.empty())
                names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty())
        names.push_back(name);
    return names;
}

// Gives each folder, from the innermost outwards, the time of the record its
// file's folder chain climbs through, while their names agree: a path and a
// chain that part ways (a folder renamed or reused since) give no time.
void TakeFolderTimes(std::vector<TargetFolder>& path, size_t first, const TMyFile& file, const FolderList* folders) {
    if (!folders)
        return;
    int64_t index = file.FolderIndex;
    for (size_t i = path.size(); i > first; --i) {
        if (index < 0 || static_cast<size_t>(index) >= folders->size())
            return;
        const TMyFolder& folder = *(*folders)[static_cast<size_t>(index)];
        if (SafeFileName(folder.FolderName, kWindowsNameRules) != path[i - 1].Name)
            return;
        path[i - 1].ModifiedTime = folder.ModifiedTime;
        path[i - 1].CreatedTime = folder.CreatedTime;
        index = folder.ParentIndex;
    }
}

} // namespace

std::string VolumeFolderName(const std::string& caption, const std::string& driveName) {
    std::string shown = caption.empty() ? driveName : caption;
    const size_t cut = driveName.find_last_of("/\\");
    const size_t at = cut == std::string::npos ? std::string::npos : shown.find(driveName);
    if (at != std::string::npos) {
        std::string last = driveName.substr(cut + 1);
        if (last.empty())  // "C:\" names the drive by what comes before
            last = driveName.substr(0, cut);
        shown.replace(at, driveName.size(), last);
    }
    return SafeFileName(shown, kWindowsNameRules);
}

std::vector<TargetFolder> TargetFolders(const TMyFile& file, const std::string& volumeFolder,
                                        const FolderList* folders, bool keepFolders) {
    std::vector<TargetFolder> path;
    if (!keepFolders)
        return path;
    // A file found by its content alone will go to {"Found by content", <type>} here.
    path.push_back({volumeFolder});
    for (const std::string& name : PathNames(file.FolderPath))
        path.push_back({SafeFileName(name, kWindowsNameRules)});
    TakeFolderTimes(path, 1, file, folders);
    return path;
}

} // namespace recover
