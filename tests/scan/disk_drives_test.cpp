// A disk image named as a drive (the window's "Add Disk Image…", its
// command line) becomes a drive per readable volume, which a refresh of the
// drive list keeps and a scan reads like the volume itself.
#include <gtest/gtest.h>

#include "media/container.h"
#include "platform/drives.h"
#include "scan/disk_drives.h"
#include "scan/scan_worker.h"
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
