#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/drives.h"
#include "support/test_support.h"
#include "scan/disk.h"
#include "scan/reader_registry.h"
#include "volume/raw_reader.h"

using namespace testing_support;

namespace {
uint8_t Examine(const std::string& path) {
    TDriverInfo drive(path, platform::DriveTypeOf(path));
    scan::ExamineDrive(drive);
    return drive.FileSystem;
}
} // namespace

TEST(DriveExamination, CorpusImagesAreClassifiedByTheirBootSector) {
    const struct {
        const char* image;
        uint8_t fileSystem;
    } cases[] = {{"ntfs-basic.img", kFileSystemNtfs},       {"ntfs-fragmented.img", kFileSystemNtfs},
                 {"fat32-basic.img", kFileSystemFat32},     {"fat16-small.img", kFileSystemFat16},
                 {"not-a-filesystem.img", kFileSystemUnknown}, {"truncated.img", kFileSystemNtfs}};
    for (const auto& c : cases) {
        const std::string path = CorpusPath(c.image);
        if (!RequireFile(path))
            continue;
        EXPECT_EQ(Examine(path), c.fileSystem) << c.image;
    }
}

TEST(DriveExamination, ReferenceImagesAreClassifiedByTheirBootSector) {
    const struct {
        std::string path;
        uint8_t fileSystem;
    } cases[] = {
        {ReferencePath("dftt07-ntfs-undel.dd"), kFileSystemNtfs},
        {ReferencePath("dftt08-jpeg-search.dd"), kFileSystemNtfs},
        {ReferencePath("dftt06-fat-undel.dd"), kFileSystemFat16},
        {ReferencePath("dfirntfs-ntfs_index.raw"), kFileSystemUnknown},  // partition table first
        {ReferencePath("fatcat-deleted.img"), kFileSystemFat32},
        {UnpackedPath("dfirntfs-ntfs3_attrlist.raw"), kFileSystemNtfs},
        {UnpackedPath("dfirntfs-fat_deleted_dir.raw"), kFileSystemFat32},
        {UnpackedPath("fatcat-repair.img"), kFileSystemFat32},
        {UnpackedPath("fat32_full_test.raw"), kFileSystemFat32},
    };
    for (const auto& c : cases) {
        if (!RequireFile(c.path))
            continue;
        EXPECT_EQ(Examine(c.path), c.fileSystem) << c.path;
    }
}

TEST(DriveExamination, DiskForKeepsOnlyUsableVolumesAndCaptionsThem) {
    if (!RequireFile(CorpusPath("ntfs-basic.img")) || !RequireFile(CorpusPath("fat32-basic.img")))
        return;
    ScanContext context;
    DiskList disks;
    TMyDisk* ntfs = DiskFor(disks, CorpusPath("ntfs-basic.img"), context);
    ASSERT_NE(ntfs, nullptr);
    EXPECT_EQ(ntfs->Caption, "CorpusNTFS (" + CorpusPath("ntfs-basic.img") + ")");
    EXPECT_TRUE(ntfs->Drive->SizesKnown);
    EXPECT_EQ(ntfs->Drive->TotalBytes, 48 << 20);
    EXPECT_EQ(ntfs->Drive->FreeBytes, 0);
    EXPECT_EQ(ntfs->Drive->UnitSize, 1024u);
    EXPECT_EQ(DiskFor(disks, CorpusPath("ntfs-basic.img"), context), ntfs);  // the same object again

    TMyDisk* fat = DiskFor(disks, CorpusPath("fat32-basic.img"), context);
    ASSERT_NE(fat, nullptr);
    EXPECT_EQ(fat->Caption, "CORPUS32 (" + CorpusPath("fat32-basic.img") + ")");

    EXPECT_NE(DiskFor(disks, CorpusPath("fat16-small.img"), context), nullptr);
    EXPECT_EQ(DiskFor(disks, CorpusPath("not-a-filesystem.img"), context), nullptr);
    EXPECT_EQ(DiskFor(disks, CorpusPath("no-such-image.img"), context), nullptr);
    EXPECT_EQ(DiskFor(disks, std::string(DUNRO_CORPUS_DIR), context), nullptr);  // a directory
    EXPECT_EQ(disks.size(), 3u);

    // A refresh keeps named images while their files exist (beside whatever drives the system has).
    RefreshDrives(disks, context);
    int images = 0;
    for (const auto& d : disks)
        images += d->DriveName == CorpusPath("ntfs-basic.img") || d->DriveName == CorpusPath("fat32-basic.img");
    EXPECT_EQ(images, 2);
}

TEST(DriveExamination, ATruncatedImageIsExaminedWithoutHarm) {
    const std::string path = CorpusPath("truncated.img");
    if (!RequireFile(path))
        return;
    ScanContext context;
    DiskList disks;
    TMyDisk* disk = DiskFor(disks, path, context);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->Drive->VolumeBytes, 100 * 1024);  // never more than the image holds
}

TEST(DriveExamination, ExaminingLeavesTheImageUnchanged) {
    const std::string path = CorpusPath("ntfs-basic.img");
    if (!RequireFile(path))
        return;
    const std::string before = Sha256OfFile(path);
    {
        ScanContext context;
        DiskList disks;
        ASSERT_NE(DiskFor(disks, path, context), nullptr);
    }
    EXPECT_EQ(Sha256OfFile(path), before);
}

TEST(DriveExamination, TheEmptyNameOpensNothing) {
    TDriverInfo drive("", platform::kDriveFixed);
    EXPECT_FALSE(drive.HandleValid());
    uint32_t count = 512;
    std::vector<uint8_t> buffer(512);
    EXPECT_FALSE(volume::ReadBlock(nullptr, buffer.data(), count, true, nullptr, 0));
    // Optical and network drives are never opened.
    TDriverInfo optical(CorpusPath("ntfs-basic.img"), platform::kDriveCdRom);
    EXPECT_FALSE(optical.HandleValid());
    EXPECT_EQ(optical.FileSystem, kFileSystemUnknown);
}
