// Where a folder lies: the mount table tells the mount that shows it, the
// device behind it, and the folder's path inside that file system, also
// through bind mounts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "platform/drives.h"
#include "support/test_support.h"

#ifndef _WIN32
#include "platform/posix/mount_table.h"
#endif

namespace fs = std::filesystem;
using namespace testing_support;

#ifndef _WIN32

namespace {
const char kTable[] =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
    "40 27 8:17 / /mnt/usb rw,relatime shared:7 master:1 - vfat /dev/sdb1 rw,fmask=0022\n"
    "41 27 8:17 /Photos/2019 /home/ann/My\\040Pictures rw - vfat /dev/sdb1 rw\n"
    "42 40 0:50 / /mnt/usb rw - tmpfs tmpfs rw\n"
    "43 27 0:51 / /mnt/share rw - nfs4 server:/export rw\n"
    "this line is no mount\n"
    "44 27 x:y / /broken rw - ext4 /dev/sdc1 rw\n";

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("dunro-mounts-" + name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}
} // namespace

TEST(MountTable, EntriesKeepTheirFieldsWithEscapesUndoneAndBadLinesLeftOut) {
    const auto mounts = platform::ParseMountInfo(kTable);
    ASSERT_EQ(mounts.size(), 6u);
    EXPECT_EQ(mounts[2].major, 8u);
    EXPECT_EQ(mounts[2].minor, 17u);
    EXPECT_EQ(mounts[2].mountPoint, "/mnt/usb");
    EXPECT_EQ(mounts[2].fileSystem, "vfat");  // after the optional fields
    EXPECT_EQ(mounts[2].source, "/dev/sdb1");
    EXPECT_EQ(mounts[3].root, "/Photos/2019");
    EXPECT_EQ(mounts[3].mountPoint, "/home/ann/My Pictures");
    EXPECT_EQ(mounts[5].source, "server:/export");
}

TEST(MountTable, TheLongestMountPointHoldsAFolderAndTheLatestOfStackedMountsWins) {
    const auto mounts = platform::ParseMountInfo(kTable);
    EXPECT_EQ(platform::MountHolding(mounts, "/home/ann")->mountPoint, "/");
    EXPECT_EQ(platform::MountHolding(mounts, "/mnt/usbstick")->mountPoint, "/");  // a name's prefix is no parent
    EXPECT_EQ(platform::MountHolding(mounts, "/mnt/usb/DCIM")->fileSystem, "tmpfs");  // mounted over the stick
    EXPECT_EQ(platform::MountHolding(mounts, "/mnt/share/a")->fileSystem, "nfs4");
    EXPECT_EQ(platform::MountHolding({}, "/home"), nullptr);
}

TEST(MountTable, ABindMountShowsTheFolderOfItsRoot) {
    const auto mounts = platform::ParseMountInfo(kTable);
    const platform::MountEntry* bind = platform::MountHolding(mounts, "/home/ann/My Pictures/Rome");
    ASSERT_NE(bind, nullptr);
    EXPECT_EQ(platform::PathInsideMount(*bind, "/home/ann/My Pictures/Rome"), "/Photos/2019/Rome");
    EXPECT_EQ(platform::PathInsideMount(*bind, "/home/ann/My Pictures"), "/Photos/2019");
    EXPECT_EQ(platform::PathInsideMount(mounts[1], "/"), "/");
    EXPECT_EQ(platform::PathInsideMount(mounts[1], "/tmp/x"), "/tmp/x");
    EXPECT_EQ(platform::PathInsideMount(mounts[2], "/mnt/usb"), "/");
}

TEST(MountTable, AFolderOfThisMachineIsLocatedOnItsMountWithItsPathInside) {
    const fs::path dir = FreshDir("real") / "Sub Folder";
    fs::create_directories(dir);
    const auto place = platform::LocateFolder(dir.string());
    ASSERT_TRUE(place.has_value());
    EXPECT_FALSE(place->fileSystem.empty());
    // The path inside the volume ends with the folder's own names.
    EXPECT_NE(place->pathInside.find("Sub Folder"), std::string::npos);
    EXPECT_EQ(place->pathInside.find('/'), std::string::npos);
    EXPECT_NE(place->pathInside.front(), '\\');
    EXPECT_NE(place->pathInside.back(), '\\');
    EXPECT_FALSE(platform::LocateFolder((dir / "missing").string()).has_value());
    fs::remove_all(dir.parent_path());
}

TEST(MountTable, AFolderSeenThroughABindMountLiesWhereItsOriginalLies) {
    const fs::path base = FreshDir("bind");
    fs::create_directories(base / "original" / "inner");
    fs::create_directories(base / "view");
    const std::string mount = "mount --bind '" + (base / "original").string() + "' '" + (base / "view").string() +
                              "' 2>/dev/null";
    if (!RequireRoot("a bind mount") || std::system(mount.c_str()) != 0) {
        fs::remove_all(base);
        FAIL() << "the bind mount could not be made";
    }
    const auto original = platform::LocateFolder((base / "original" / "inner").string());
    const auto seen = platform::LocateFolder((base / "view" / "inner").string());
    EXPECT_EQ(std::system(("umount '" + (base / "view").string() + "'").c_str()), 0) << "the bind mount stays";
    fs::remove_all(base);
    ASSERT_TRUE(original.has_value());
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->pathInside, original->pathInside);
    EXPECT_EQ(seen->drive, original->drive);
    EXPECT_EQ(seen->fileSystem, original->fileSystem);
}

#endif
