#include "platform/drives.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <mntent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/posix/mount_table.h"

namespace platform {

namespace {

std::string ReadSysFile(const std::string& path) {
    std::ifstream in(path);
    std::string value;
    std::getline(in, value);
    return value;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            if (e->d_name[0] != '.')
                names.emplace_back(e->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

// The /sys/class/block entry of a block device's major:minor.
std::string SysNameOf(dev_t dev) {
    char link[64];
    std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(dev), minor(dev));
    char target[512];
    ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return {};
    target[n] = 0;
    const char* slash = std::strrchr(target, '/');
    return slash ? slash + 1 : target;
}

// Removable is a property of the whole disk; a partition asks its parent.
bool IsRemovable(const std::string& sysName) {
    std::string base = "/sys/class/block/" + sysName;
    if (Exists(base + "/partition"))
        return ReadSysFile(base + "/../removable") == "1";
    return ReadSysFile(base + "/removable") == "1";
}

bool SameDevice(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    if (S_ISBLK(sa.st_mode) && S_ISBLK(sb.st_mode))
        return sa.st_rdev == sb.st_rdev;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string MountPointOf(const std::string& device) {
    std::string found;
    if (FILE* f = ::setmntent("/proc/self/mounts", "r")) {
        while (mntent* m = ::getmntent(f)) {
            if (m->mnt_fsname[0] == '/' && SameDevice(m->mnt_fsname, device)) {
                found = m->mnt_dir;
                break;
            }
        }
        ::endmntent(f);
    }
    return found;
}

} // namespace

std::vector<DriveEntry> LogicalDrives() {
    std::vector<DriveEntry> drives;
    for (const std::string& name : ListDir("/sys/class/block")) {
        std::string base = "/sys/class/block/" + name;
        if (name.rfind("ram", 0) == 0 || name.rfind("zram", 0) == 0)
            continue;
        bool isPartition = Exists(base + "/partition");
        if (!isPartition) {
            // A whole disk counts only when it has no partitions of its own.
            bool hasPartitions = false;
            for (const std::string& child : ListDir(base))
                if (child.rfind(name, 0) == 0 && Exists(base + "/" + child + "/partition"))
                    hasPartitions = true;
            if (hasPartitions)
                continue;
        }
        if (ReadSysFile(base + "/size") == "0")
            continue;
        std::string device = "/dev/" + name;
        if (!Exists(device))
            continue;
        drives.push_back({device, IsRemovable(name) ? kDriveRemovable : kDriveFixed, !isPartition});
    }
    return drives;
}

uint32_t DriveTypeOf(const std::string& name) {
    struct stat st {};
    if (name.empty() || ::stat(name.c_str(), &st) != 0)
        return kDriveNoRoot;
    if (S_ISREG(st.st_mode))
        return kDriveFixed;
    if (S_ISBLK(st.st_mode))
        return IsRemovable(SysNameOf(st.st_rdev)) ? kDriveRemovable : kDriveFixed;
    return kDriveUnknown;
}

std::string SystemDriveName() {
    struct stat st {};
    if (::stat("/", &st) != 0)
        return {};
    std::string sysName = SysNameOf(st.st_dev);
    return sysName.empty() ? std::string() : "/dev/" + sysName;
}

std::optional<std::string> SystemVolumeLabel(const std::string&) { return std::nullopt; }

std::optional<SpaceInfo> MountedDriveSpace(const std::string& drive) {
    struct stat st {};
    if (::stat(drive.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return std::nullopt;
    std::string mountPoint = MountPointOf(drive);
    if (mountPoint.empty())
        return std::nullopt;
    return FolderSpace(mountPoint);
}

std::optional<SpaceInfo> FolderSpace(const std::string& folder) {
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0)
        return std::nullopt;
    SpaceInfo info;
    info.freeBytes = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    info.totalBytes = static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
    return info;
}

std::string DriveOfFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return {};
    std::string sysName = SysNameOf(st.st_dev);
    return sysName.empty() ? std::string() : "/dev/" + sysName;
}

std::optional<FolderVolume> LocateFolder(const std::string& folder) {
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (!resolved)
        return std::nullopt;
    const std::string real = resolved;
    std::free(resolved);
    struct stat st {};
    if (::stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;

    std::string table;
    {
        std::ifstream in("/proc/self/mountinfo");
        table.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::vector<MountEntry> mounts = ParseMountInfo(table);
    const MountEntry* mount = MountHolding(mounts, real);
    if (!mount)
        return std::nullopt;

    FolderVolume place;
    place.fileSystem = mount->fileSystem;
    // A file system read through FUSE (ntfs-3g) has no device number of its
    // own: its source names the device, or the image file it reads.
    struct stat source {};
    if (!mount->source.empty() && mount->source[0] == '/' && ::stat(mount->source.c_str(), &source) == 0) {
        if (S_ISBLK(source.st_mode)) {
            const std::string name = SysNameOf(source.st_rdev);
            place.drive = name.empty() ? mount->source : "/dev/" + name;
        } else if (S_ISREG(source.st_mode)) {
            place.drive = mount->source;
        }
    }
    if (place.drive.empty() && mount->major != 0) {
        const std::string name = SysNameOf(makedev(mount->major, mount->minor));
        if (!name.empty())
            place.drive = "/dev/" + name;
    }
    std::string inside = PathInsideMount(*mount, real);
    for (char& c : inside)
        if (c == '/')
            c = '\\';
    while (!inside.empty() && inside.front() == '\\')
        inside.erase(inside.begin());
    place.pathInside = inside;
    return place;
}

} // namespace platform

namespace platform {

bool DriveNamesEqual(const std::string& a, const std::string& b) { return a == b; }

std::string CanonicalDriveName(const std::string& name) { return name; }

bool IsVolumeImage(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace platform
