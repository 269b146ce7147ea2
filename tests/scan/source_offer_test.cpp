// Which images the front ends offer a search for lost volumes, which a deep
// scan by content, and which nothing: told from the verdicts on real images.
#include <gtest/gtest.h>

#include <filesystem>

#include "scan/source_offer.h"
#include "support/test_support.h"

using namespace testing_support;
using scan::OfferFor;
using scan::SourceOffer;

TEST(SourceOffer, AnImageWithoutAVolumeIsSearchedForLostVolumesBeforeByContent) {
    const std::string noise = CorpusPath("not-a-filesystem.img");
    if (!RequireFile(noise))
        return;
    const SourceVerdict verdict = ExamineSource(noise);
    EXPECT_EQ(OfferFor(verdict, false), SourceOffer::SearchWholeImage);
    EXPECT_EQ(OfferFor(verdict, true), SourceOffer::DeepScan);
    EXPECT_TRUE(scan::SearchableByContent(verdict));
}

TEST(SourceOffer, ACardWhoseTablesWereZeroedEndsInTheDeepScan) {
    const std::string card = std::string(DUNRO_CONTENT_IMAGES_DIR) + "/content-fat32-raw.img";
    if (!RequireFile(card))
        return;
    const SourceVerdict verdict = ExamineSource(card);
    EXPECT_TRUE(scan::SearchableByContent(verdict));
    EXPECT_EQ(OfferFor(verdict, true), SourceOffer::DeepScan);
}

TEST(SourceOffer, AVolumeWhoseOwnBootSectorDoesNotDecodeIsOfferedTheDeepScanAtOnce) {
    // Another place to start from does not mend a FAT16 boot sector with no sector size.
    const std::string fat16 = CorpusPath("fat16-small.img");
    if (!RequireFile(fat16))
        return;
    const std::string copy = CopyToTemp(fat16, "fat16-offer.img");
    Patch(copy, 0x0B, {0, 0});
    EXPECT_EQ(OfferFor(ExamineSource(copy), false), SourceOffer::DeepScan);
    std::filesystem::remove(copy);
}

TEST(SourceOffer, ReadableVolumesAndSourcesThatDoNotOpenAreOfferedNothing) {
    const std::string ntfs = CorpusPath("ntfs-basic.img");
    if (!RequireFile(ntfs))
        return;
    for (const bool searched : {false, true}) {
        EXPECT_EQ(OfferFor(ExamineSource(ntfs), searched), SourceOffer::None);
        EXPECT_EQ(OfferFor(ExamineSource(ntfs + ".missing"), searched), SourceOffer::None);
        EXPECT_EQ(OfferFor(ExamineSource(std::filesystem::temp_directory_path().string()), searched),
                  SourceOffer::None);
    }
    EXPECT_FALSE(scan::SearchableByContent(ExamineSource(ntfs)));
    EXPECT_FALSE(scan::SearchableByContent(ExamineSource(ntfs + ".missing")));
}
