#pragma once
// The computer's drives: which there are, what kind each is, and their sizes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Drive type codes as the system gives them.
enum DriveTypeCode : uint32_t {
    kDriveUnknown = 0,
    kDriveNoRoot = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdRom = 5,
    kDriveRamDisk = 6,
};

struct DriveEntry {
    std::string name;  // "C:" on Windows; a device path on POSIX
    uint32_t type = kDriveUnknown;
    // A whole disk the system shows no partitions of (POSIX): it may still
    // hold a partition table or volumes the system does not know.
    bool wholeDisk = false;
};

// Every logical drive the system knows, in the system's order.
std::vector<DriveEntry> LogicalDrives();

// The type code of a drive name. On POSIX a regular file (a volume image) is
// a fixed drive; a path that does not exist has no root.
uint32_t DriveTypeOf(const std::string& name);

// The drive that holds the operating system ("C:" or the device of "/").
std::string SystemDriveName();

// The label the system reports, or nothing when it has none to offer (POSIX:
// the readers take the label from the volume itself).
std::optional<std::string> SystemVolumeLabel(const std::string& drive);

struct SpaceInfo {
    int64_t freeBytes = 0;
    int64_t totalBytes = 0;
};

// Free and total bytes of a mounted drive; nothing when it is not mounted.
std::optional<SpaceInfo> MountedDriveSpace(const std::string& drive);

// Free and total bytes of the file system that holds `folder`.
std::optional<SpaceInfo> FolderSpace(const std::string& folder);

// The drive name a folder lies on ("D:"; on POSIX the block device that holds
// it), or empty when it cannot be told.
std::string DriveOfFolder(const std::string& folder);

// Where a folder lies: the volume that holds it and its path inside it.
struct FolderVolume {
    // The drive that holds the folder, named as LogicalDrives names drives
    // ("D:", "/dev/sdb1", or a volume image file mounted as a file system);
    // empty when no drive does (a network share, a file system in memory).
    std::string drive;
    // The file system's type as the system names it ("NTFS", "vfat", "ext4", "nfs").
    std::string fileSystem;
    // The folder inside that file system, "\"-separated, with no separator at
    // either end: "Users\Ann"; empty for the file system's root.
    std::string pathInside;
};

// Nothing when the folder does not exist. On POSIX the mount table tells the
// mount that shows the folder, its source and, for a bind mount, which folder
// of the file system it shows.
std::optional<FolderVolume> LocateFolder(const std::string& folder);

} // namespace platform

namespace platform {

// Whether two names denote the same drive (letters ignore case; paths are exact).
bool DriveNamesEqual(const std::string& a, const std::string& b);

// The form a drive is kept under: "C:" for any "c:..." on Windows; a path as given on POSIX.
std::string CanonicalDriveName(const std::string& name);

// True when the name is a volume image file rather than a device.
bool IsVolumeImage(const std::string& name);

} // namespace platform
