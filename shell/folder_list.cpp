#include "shell/folder_list.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/files.h"
#include "shell/ini_file.h"

namespace {
const char kSection[] = "Files";

bool NumberOf(const std::string& key, long long& number) {
    const char* end = key.data() + key.size();
    const auto parsed = std::from_chars(key.data(), end, number);
    return !key.empty() && parsed.ec == std::errc() && parsed.ptr == end;
}
} // namespace

std::vector<std::string> TFolderListFile::Folders() const {
    TSafeIniFile ini;
    ini.Load(path_);
    std::vector<std::string> folders;
    for (const std::string& key : ini.ReadSection(kSection))
        folders.push_back(ini.ReadString(kSection, key, ""));
    return folders;
}

std::string TFolderListFile::NextKey(const std::vector<std::string>& keys) {
    if (keys.empty())
        return "0";
    long long next = 0;
    if (!NumberOf(keys.back(), next) || next == std::numeric_limits<long long>::max())
        next = static_cast<long long>(keys.size());
    else
        ++next;
    // Writing to a key in use would replace the folder stored there.
    auto taken = [&keys](long long n) {
        return std::any_of(keys.begin(), keys.end(), [n](const std::string& key) {
            long long number = 0;
            return key == std::to_string(n) || (NumberOf(key, number) && number == n);
        });
    };
    while (taken(next))
        ++next;
    return std::to_string(next);
}

std::string TFolderListFile::Add(const std::string& folder) const {
    TSafeIniFile ini;
    ini.Load(path_);
    const std::string key = NextKey(ini.ReadSection(kSection));
    ini.WriteString(kSection, key, folder);
    return ini.Save(path_) ? key : std::string();
}

bool TFolderListFile::Remove(const std::string& folder) const {
    TSafeIniFile ini;
    ini.Load(path_);
    for (const std::string& key : ini.ReadSection(kSection)) {
        if (platform::SamePath(ini.ReadString(kSection, key, ""), folder)) {
            ini.DeleteKey(kSection, key);
            return ini.Save(path_);
        }
    }
    return false;
}
