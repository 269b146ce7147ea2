// Why a named drive or image cannot be scanned, told apart.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "scan/source_check.h"

using namespace testing_support;

TEST(SourceCheck, EachKindOfImageGetsItsVerdict) {
    const std::string ntfs = CorpusPath("ntfs-basic.img"), fat32 = CorpusPath("fat32-basic.img"),
                      fat16 = CorpusPath("fat16-small.img"), noise = CorpusPath("not-a-filesystem.img");
    if (!RequireFile(ntfs) || !RequireFile(fat32) || !RequireFile(fat16) || !RequireFile(noise))
        return;
    EXPECT_EQ(ExamineSource(ntfs), SourceVerdict::Usable);
    EXPECT_EQ(ExamineSource(fat32), SourceVerdict::Usable);
    EXPECT_EQ(ExamineSource(fat16), SourceVerdict::Usable);
    EXPECT_EQ(ExamineSource(noise), SourceVerdict::OtherFileSystem);
    EXPECT_EQ(ExamineSource(ntfs + ".missing"), SourceVerdict::Missing);
    EXPECT_EQ(ExamineSource(std::filesystem::temp_directory_path().string()), SourceVerdict::NotAVolume);
}

TEST(SourceCheck, AFat16VolumeWhoseBootSectorDoesNotDecodeIsUnreadable) {
    // FAT12/16 keep no backup boot sector: with a sector size of 0 nothing stands in.
    const std::string fat16 = CorpusPath("fat16-small.img");
    if (!RequireFile(fat16))
        return;
    const std::string copy = CopyToTemp(fat16, "fat16-no-sector-size.img");
    Patch(copy, 0x0B, {0, 0});
    EXPECT_EQ(ExamineSource(copy), SourceVerdict::Unreadable);
    std::filesystem::remove(copy);
}
