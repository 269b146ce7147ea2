// A disk image named as a drive (the window's "Add Disk Image…", its
// command line) becomes a drive per readable volume, which a refresh of the
// drive list keeps and a scan reads like the volume itself.
#include <gtest/gtest.h>

#include "media/container.h"
#include "platform/drives.h"
#include "scan/disk_drives.h"
#include "scan/scan_worker.h"
#include "support/process.h"
#include "support/test_support.h"
#include "volume/helpers.h"

using namespace testing_support;

namespace {

struct Worker {
    TUnDeleteProgress progress;
    TScanFileType types;
    TScanPath paths;
    RecordingSink sink;
    TThreadScan worker{progress, types, paths, &sink};
    Worker() { types.SelectAll(); }

    const OpenedImage& Open(const std::string& image) {
        worker.ImagesToOpen = {image};
        worker.StartImageOpen();
        worker.WaitUntilIdle();
        worker.AdoptOpenedImages();
        return worker.OpenedImages.front();
    }
    std::vector<std::string> DriveNames() const {
        std::vector<std::string> names;
        for (const auto& disk : worker.Disks)
            names.push_back(disk->DriveName);
        return names;
    }
    size_t ScanWhole(const std::string& drive) {
        paths.Clear();
        paths.AddDriver(drive);
        paths.AddWholeDriver(drive);
        worker.StartScan();
        worker.WaitUntilIdle();
        return worker.AllFiles.size();
    }
};

std::string SizeOf(uint64_t bytes) { return volume::SizeText(static_cast<int64_t>(bytes)); }

} // namespace

TEST(DiskDrives, AnMbrImageBecomesADrivePerReadableVolumeNamedAfterItsPartition) {
    const std::string image = DiskImagePath("mbr-disk.img");
    Worker w;
    const OpenedImage& opened = w.Open(image);
    EXPECT_EQ(opened.Verdict, SourceVerdict::Usable);
    // In the order the table lists them: the logical partitions of the extended one before partition 3.
    const std::vector<std::string> expected = {image + "#1", image + "#5", image + "#6", image + "#3"};
    EXPECT_EQ(opened.DriveNames, expected);
    ASSERT_EQ(w.DriveNames(), expected);
    const scan::DiskContents disk = scan::ReadDisk(image, platform::kDriveFixed);
    ASSERT_FALSE(disk.Volumes.empty());
    EXPECT_EQ(w.worker.Disks[0]->Caption,
              "mbr-disk.img \u2014 Partition 1 (NTFS, " + SizeOf(disk.Volumes[0].Partition.Length) + ")");
    EXPECT_EQ(w.worker.Disks[1]->Caption.rfind("mbr-disk.img \u2014 Partition 5 (FAT32, ", 0), 0u);
}

TEST(DiskDrives, AContainerNamesItsFormat) {
    if (!media::ContainerReadable(media::ContainerFormat::Ewf))
        GTEST_SKIP() << "this build reads no E01";
    Worker w;
    w.Open(DiskImagePath("mbr-disk.E01"));
    ASSERT_EQ(w.worker.Disks.size(), 4u);
    EXPECT_EQ(w.worker.Disks[0]->Caption.rfind("mbr-disk.E01 (E01) \u2014 Partition 1 (NTFS, ", 0), 0u);
}

TEST(DiskDrives, ARefreshKeepsThePartitionsAndAScanReadsOneAsTheVolumeItself) {
    const std::string image = DiskImagePath("mbr-disk.img");
    Worker alone;
    alone.Open(CorpusPath("fat32-basic.img"));
    const size_t volumeFiles = alone.ScanWhole(CorpusPath("fat32-basic.img"));
    ASSERT_GT(volumeFiles, 0u);

    Worker w;
    w.Open(image);
    w.worker.StartDriveRefresh();
    w.worker.WaitUntilIdle();
    for (const std::string& name : {image + "#1", image + "#5", image + "#6"})
        EXPECT_NE(ListedDisk(w.worker.Disks, name), nullptr) << name;
    EXPECT_EQ(w.ScanWhole(image + "#5"), volumeFiles);
    EXPECT_FALSE(scan::IsImagePartitionDrive(image + "#"));
    EXPECT_FALSE(scan::IsImagePartitionDrive(image + ".missing#1"));
}

#ifndef _WIN32
namespace {

// A disk image attached as a loop device, without the kernel's partition
// scan: a whole disk the system shows no partitions of. Detached at the end.
struct LoopDevice {
    std::string path;
    explicit LoopDevice(const std::string& image) {
        const CommandResult run = RunProgram("/usr/sbin/losetup", {"--find", "--show", "--read-only", image});
        if (run.exitCode == 0 && !run.out.empty())
            path = run.out.substr(0, run.out.find('\n'));
    }
    ~LoopDevice() {
        if (!path.empty())
            RunProgram("/usr/sbin/losetup", {"--detach", path});
    }
};

} // namespace

// A stick whose table was zeroed: the drive list shows the volumes the quick
// search finds on it, each a drive of its own, and a refresh keeps them.
TEST(DiskDrives, AWholeDiskWithoutPartitionsListsTheVolumesFoundOnIt) {
    const std::string image = DiskImagePath("mbr-zeroed.img");
    if (!RequireFile(image))
        return;
    if (!RequireRoot("attaching a loop device"))
        return;
    const LoopDevice loop(image);
    ASSERT_FALSE(loop.path.empty()) << "no loop device could be attached (losetup failed)";
    ScanContext context;
    DiskList disks;
    RefreshDrives(disks, context);
    std::vector<std::string> found;
    for (const auto& disk : disks)
        if (disk->DriveName.rfind(loop.path + "#", 0) == 0)
            found.push_back(disk->DriveName);
    const std::vector<std::string> expected = {loop.path + "#1", loop.path + "#2", loop.path + "#3", loop.path + "#4"};
    EXPECT_EQ(found, expected);
    ASSERT_NE(ListedDisk(disks, loop.path + "#2"), nullptr);
    const TMyDisk* fat = ListedDisk(disks, loop.path + "#2");
    EXPECT_NE(fat->Caption.find("(FAT32, "), std::string::npos) << fat->Caption;
    RefreshDrives(disks, context);
    EXPECT_EQ(ListedDisk(disks, loop.path + "#2"), fat);  // the same drive, its results kept
}
#endif
