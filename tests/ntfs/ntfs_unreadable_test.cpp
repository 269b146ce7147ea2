// NTFS volumes on a failing drive: reads touching chosen sectors fail as a
// drive with bad sectors answers, and a scan loses only what lies in them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "ntfs/ntfs_disk.h"
#include "platform/drives.h"
#include "platform/read_faults.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class UnreadableNtfs : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string source = CorpusPath("ntfs-basic.img");
        if (!RequireFile(source))
            GTEST_SKIP();
        const auto manifest = LoadManifest("ntfs-basic.img");
        cluster_ = manifest["cluster_size"].get<int64_t>();
        mft_ = manifest["mft_first_cluster"].get<int64_t>() * cluster_;
        image_ = CopyToTemp(source, ::testing::UnitTest::GetInstance()->current_test_info()->name());
        healthy_ = Scan({});
    }
    void TearDown() override {
        platform::ClearReadFaults();
        // The healthy scan holds the image open, which Windows will not remove.
        healthy_.reset();
        std::error_code ignored;
        if (!image_.empty())
            std::filesystem::remove(image_, ignored);
    }
    int64_t Record(int64_t n) const { return mft_ + n * 1024; }

    std::unique_ptr<ScanSetup> Scan(std::vector<platform::ByteRange> failing) {
        auto scan = std::make_unique<ScanSetup>();
        scan->RunWithFailingReads(image_, std::move(failing));
        return scan;
    }
    static std::map<int64_t, TMyFile*> ByRecord(const ScanSetup& scan) {
        std::map<int64_t, TMyFile*> out;
        for (TMyFile* f : scan.results)
            out[f->RecordNo] = f;
        return out;
    }
    // Every file the healthy scan listed is listed again, in the same place.
    void ExpectAllListed(const ScanSetup& scan) {
        ASSERT_NE(scan.disk, nullptr);
        const auto now = ByRecord(scan);
        for (TMyFile* f : healthy_->results) {
            auto it = now.find(f->RecordNo);
            ASSERT_NE(it, now.end()) << f->FileName;
            EXPECT_EQ(it->second->FolderPath, f->FolderPath);
        }
    }

    std::string image_;
    int64_t mft_ = 0, cluster_ = 0;
    std::unique_ptr<ScanSetup> healthy_;
};

} // namespace

TEST_F(UnreadableNtfs, FourKiBOfTheMftCostsOnlyTheFourRecordsInIt) {
    ASSERT_GT(healthy_->results.size(), 30u);
    // Records 124 to 127 hold four deleted files; the chunk around them is 10 MiB.
    const auto scan = Scan({{static_cast<uint64_t>(Record(124)), 4096}});
    ASSERT_NE(scan->disk, nullptr);
    const auto now = ByRecord(*scan);
    for (TMyFile* f : healthy_->results) {
        const bool inBadSectors = f->RecordNo >= 124 && f->RecordNo < 128;
        EXPECT_EQ(now.count(f->RecordNo), inBadSectors ? 0u : 1u) << f->FileName;
    }
    EXPECT_EQ(scan->results.size(), healthy_->results.size() - 4);
    const volume::ReadDamage& damage = scan->disk->Drive->Damage;
    EXPECT_EQ(damage.MftRecords.load(), 4u);
    EXPECT_EQ(damage.UnreadableBytes.load(), 4096u);
    EXPECT_EQ(scan->disk->Reader->Outcome(), volume::ReadOutcome::Read);
}

TEST_F(UnreadableNtfs, FirstFourRecordsAreTakenFromTheMirror) {
    // $MFT's own record among them: without its copy nothing could be read.
    const auto scan = Scan({{static_cast<uint64_t>(Record(0)), 4096}});
    ExpectAllListed(*scan);
    EXPECT_EQ(scan->disk->Drive->Damage.MftRecords.load(), 0u);
}

TEST_F(UnreadableNtfs, RootRecordCostsOnlyItself) {
    const auto scan = Scan({{static_cast<uint64_t>(Record(5)), 1024}});
    ExpectAllListed(*scan);
    EXPECT_EQ(scan->disk->Drive->Damage.MftRecords.load(), 1u);
}

TEST_F(UnreadableNtfs, BitmapSectorThatCannotBeReadCountsOnlyItsClustersInUse) {
    // One 512-byte sector of $Bitmap maps 4096 clusters: the files whose
    // clusters it maps are no longer Excellent, the others keep their grade.
    const TMyFileRun& run = dynamic_cast<TNTFS_Disk*>(healthy_->disk->Reader.get())->BitmapFile->Runs.at(0);
    const uint64_t badSector = static_cast<uint64_t>(run.RunStart) + 512;
    const int64_t first = 4096, end = 8192;  // the clusters it maps
    const auto scan = Scan({{badSector, 512}});
    const auto now = ByRecord(*scan);
    int inside = 0, outside = 0;
    for (TMyFile* f : healthy_->results) {
        if (f->State != kStateExcellent || f->Runs.empty() || !f->Runs[0].OnVolume)
            continue;
        auto it = now.find(f->RecordNo);
        ASSERT_NE(it, now.end());
        bool mapped = false;
        for (const TMyFileRun& r : f->Runs)
            mapped = mapped || (r.OnVolume && r.RunStart < end * cluster_ && r.RunStart + r.RunLength > first * cluster_);
        EXPECT_EQ(it->second->State == kStateExcellent, !mapped) << f->FileName;
        ++(mapped ? inside : outside);
    }
    EXPECT_GT(inside, 0);
    EXPECT_GT(outside, 0);
}

TEST_F(UnreadableNtfs, BootSectorIsTakenFromTheBackupWhenUnreadableOrDamaged) {
    // The backup lies in the volume's last sector, just past the sectors the boot sector declares.
    const auto unreadable = Scan({{0, 512}});
    ASSERT_NE(unreadable->disk, nullptr);
    ExpectAllListed(*unreadable);
    EXPECT_TRUE(unreadable->disk->Drive->BootSectorIsBackup);

    Patch(image_, 11, {0, 0});  // sector size 0: the primary no longer decodes
    const auto damaged = Scan({});
    ASSERT_NE(damaged->disk, nullptr);
    ExpectAllListed(*damaged);
    EXPECT_TRUE(damaged->disk->Reader->BackupBootSectorUsed());
}

TEST(UnreadableNtfsImages, CutShortImageWithADamagedBootSectorSaysTheBackupIsMissing) {
    const std::string source = CorpusPath("truncated.img");
    if (!RequireFile(source))
        return;
    const std::string image = CopyToTemp(source, "CutShortBackupMissing");
    Patch(image, 11, {0, 0});
    {
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(image));
        EXPECT_TRUE(scan.results.empty());
        EXPECT_EQ(scan.disk->Reader->Outcome(), volume::ReadOutcome::BackupBootMissing);
        EXPECT_FALSE(volume::OutcomeText(scan.disk->Reader->Outcome()).empty());
    }
    // Only once the scan has let go of the image: Windows will not remove an open file.
    std::error_code ignored;
    std::filesystem::remove(image, ignored);
}
