#pragma once
// The kernel's mount table (/proc/self/mountinfo): which file system is
// mounted where, from which source, and which of its folders is shown there
// (a bind mount shows a folder of a file system, not its root).
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct MountEntry {
    uint32_t major = 0;  // the file system's device number
    uint32_t minor = 0;
    std::string root;        // the folder of the file system shown at the mount point
    std::string mountPoint;  // where it is shown
    std::string fileSystem;  // "ext4", "vfat", "fuseblk", "nfs", ...
    std::string source;      // "/dev/sdb1", an image file, "server:/share", "tmpfs", ...
};

// The entries of a mountinfo text, in its order (later mounts shadow earlier ones).
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// The mount that shows `realPath` (an absolute path without symbolic links):
// the one with the longest mount point that contains it, the latest of equals.
// Null when none does.
const MountEntry* MountHolding(const std::vector<MountEntry>& mounts, const std::string& realPath);

// `realPath` as a path inside the file system of `mount`: "/" separated,
// starting with "/" ("/" for the file system's root).
std::string PathInsideMount(const MountEntry& mount, const std::string& realPath);

} // namespace platform
