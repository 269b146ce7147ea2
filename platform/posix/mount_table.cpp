#include "platform/posix/mount_table.h"

#include <charconv>
#include <sstream>

namespace platform {

namespace {

// Blanks, tabs, newlines and backslashes in paths are written as "\ooo".
std::string Unescape(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](size_t at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool Contains(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

} // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw,errors=continue":
    // id, parent, major:minor, root, mount point, options, optional fields up
    // to "-", then the file system type, the source and its options.
    std::vector<MountEntry> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint, options;
        if (!(fields >> id >> parent >> numbers >> root >> mountPoint >> options))
            continue;
        std::string field;
        while (fields >> field && field != "-") {
        }
        MountEntry entry;
        if (field != "-" || !(fields >> entry.fileSystem >> entry.source))
            continue;
        const char* begin = numbers.data();
        const char* end = begin + numbers.size();
        const auto major = std::from_chars(begin, end, entry.major);
        if (major.ec != std::errc() || major.ptr == end || *major.ptr != ':' ||
            std::from_chars(major.ptr + 1, end, entry.minor).ec != std::errc())
            continue;
        entry.root = Unescape(root);
        entry.mountPoint = Unescape(mountPoint);
        entry.source = Unescape(entry.source);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

const MountEntry* MountHolding(const std::vector<MountEntry>& mounts, const std::string& realPath) {
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : mounts)
        if (Contains(mount.mountPoint, realPath) && (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = &mount;
    return best;
}

std::string PathInsideMount(const MountEntry& mount, const std::string& realPath) {
    const std::string below = mount.mountPoint == "/" ? realPath : realPath.substr(mount.mountPoint.size());
    std::string inside = mount.root == "/" ? below : mount.root + below;
    if (inside.empty() || inside[0] != '/')
        inside.insert(inside.begin(), '/');
    return inside;
}

} // namespace platform
