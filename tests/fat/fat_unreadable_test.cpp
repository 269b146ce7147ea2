// FAT32 volumes on a failing drive: reads touching chosen sectors fail as a
// drive with bad sectors answers, and a scan loses only what lies in them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "fat/fat_disk.h"
#include "platform/drives.h"
#include "platform/read_faults.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class UnreadableFat : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string source = CorpusPath("fat32-basic.img");
        if (!RequireFile(source))
            GTEST_SKIP();
        const auto m = LoadManifest("fat32-basic.img");
        fat_ = m["reserved_sectors"].get<uint64_t>() * 512;
        fatBytes_ = m["fat_sectors"].get<uint64_t>() * 512;
        data_ = m["first_data_sector"].get<uint64_t>() * 512;
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
    uint64_t Cluster(uint64_t n) const { return data_ + (n - 2) * 512; }  // one sector a cluster
    uint64_t TableSector(uint64_t copy, uint64_t cluster) const { return fat_ + copy * fatBytes_ + cluster * 4 / 512 * 512; }
    uint32_t NextCluster(uint32_t cluster) const {
        std::ifstream in(image_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(fat_ + cluster * 4));
        uint8_t b[4] = {};
        in.read(reinterpret_cast<char*>(b), 4);
        return (b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24) & 0x0FFFFFFF;
    }

    std::unique_ptr<ScanSetup> Scan(std::vector<platform::ByteRange> failing) {
        auto scan = std::make_unique<ScanSetup>();
        scan->RunWithFailingReads(image_, std::move(failing));
        return scan;
    }
    static std::map<std::string, TMyFile*> ByPath(const ScanSetup& scan) {
        std::map<std::string, TMyFile*> out;
        for (TMyFile* f : scan.results)
            out[SlashPath(f->FolderPath) + f->FileName] = f;
        return out;
    }
    static const volume::ReadDamage& DamageOf(const ScanSetup& scan) { return scan.disk->Drive->Damage; }

    std::string image_;
    uint64_t fat_ = 0, fatBytes_ = 0, data_ = 0;
    std::unique_ptr<ScanSetup> healthy_;
};

} // namespace

TEST_F(UnreadableFat, OneBadSectorOfTheFirstTableCostsNothing) {
    ASSERT_GT(healthy_->results.size(), 30u);
    // The table's first sector holds the root's chain and every folder's first entries.
    const auto scan = Scan({{TableSector(0, 2), 512}});
    ASSERT_NE(scan->disk, nullptr);
    const auto now = ByPath(*scan);
    EXPECT_EQ(now.size(), healthy_->results.size());
    for (const auto& [path, f] : ByPath(*healthy_)) {
        auto it = now.find(path);
        ASSERT_NE(it, now.end()) << path;
        EXPECT_EQ(it->second->State, f->State) << path;
    }
    EXPECT_EQ(DamageOf(*scan).TableSectors.load(), 0u);
    EXPECT_EQ(DamageOf(*scan).UnreadableBytes.load(), 512u);
}

TEST_F(UnreadableFat, TableSectorThatNoCopyGivesCountsItsClustersInUse) {
    // A deleted file graded Excellent, in a table sector other than the first.
    TMyFile* chosen = nullptr;
    for (TMyFile* f : healthy_->results)
        if (f->State == kStateExcellent && !chosen && (f->DataPos - static_cast<int64_t>(data_)) / 512 + 2 >= 256)
            chosen = f;
    ASSERT_NE(chosen, nullptr);
    const uint64_t first = static_cast<uint64_t>(chosen->DataPos - static_cast<int64_t>(data_)) / 512 + 2;
    const auto scan = Scan({{TableSector(0, first), 512}, {TableSector(1, first), 512}});
    const auto now = ByPath(*scan);
    auto it = now.find(SlashPath(chosen->FolderPath) + chosen->FileName);
    ASSERT_NE(it, now.end());
    EXPECT_NE(it->second->State, kStateExcellent);
    EXPECT_EQ(DamageOf(*scan).TableSectors.load(), 1u);
    EXPECT_EQ(scan->disk->Reader->Outcome(), volume::ReadOutcome::Read);
}

TEST_F(UnreadableFat, CopiesThatDisagreeCountAnEntryFreeInEitherAsInUse) {
    TMyFile* chosen = nullptr;
    for (TMyFile* f : healthy_->results)
        if (f->State == kStateExcellent && !chosen)
            chosen = f;
    ASSERT_NE(chosen, nullptr);
    const std::string path = SlashPath(chosen->FolderPath) + chosen->FileName;
    const uint64_t first = static_cast<uint64_t>(chosen->DataPos - static_cast<int64_t>(data_)) / 512 + 2;
    for (const uint64_t copy : {uint64_t{1}, uint64_t{0}}) {
        // Only this copy says the file's first cluster is taken again.
        const std::string spoiled = CopyToTemp(image_, "disagree" + std::to_string(copy));
        Patch(spoiled, static_cast<int64_t>(fat_ + copy * fatBytes_ + first * 4), {0xFF, 0xFF, 0xFF, 0x0F});
        {
            ScanSetup scan;
            ASSERT_TRUE(scan.Run(spoiled));
            const auto now = ByPath(scan);
            auto it = now.find(path);
            ASSERT_NE(it, now.end()) << copy;
            EXPECT_NE(it->second->State, kStateExcellent) << "copy " << copy;
        }
        // Only once the scan has let go of it: Windows will not remove an open file.
        std::error_code ignored;
        std::filesystem::remove(spoiled, ignored);
    }
}

TEST_F(UnreadableFat, OneBadSectorOfAFolderCostsAtMostTheSixteenEntriesInIt) {
    // Frag's second cluster: one sector of 16 entries in a folder of several.
    const uint32_t second = NextCluster(18);
    ASSERT_GE(second, 2u);
    ASSERT_LT(second, 0x0FFFFFF8u);
    const auto scan = Scan({{Cluster(second), 512}});
    const auto now = ByPath(*scan);
    size_t missing = 0, fragListed = 0;
    for (const auto& [path, f] : ByPath(*healthy_)) {
        if (now.count(path)) {
            fragListed += path.rfind("Frag/", 0) == 0;
            continue;
        }
        EXPECT_EQ(path.rfind("Frag/", 0), 0u) << path;
        ++missing;
    }
    EXPECT_GT(missing, 0u);
    EXPECT_LE(missing, 16u);
    EXPECT_GT(fragListed, 0u);  // the entries after the bad sector too
    EXPECT_EQ(DamageOf(*scan).FolderClusters.load(), 1u);
}

TEST_F(UnreadableFat, OneBadSectorOfTheRootCostsOnlyWhatItsEntriesLeadTo) {
    // The root's first sector names Photos, Music, Video, Documents, Big,
    // Projects and Old Stuff; Frag, Filler, Defrag and the root's own files
    // lie in a later sector and are still found.
    // Frag's long name lies in the lost sector: it keeps its short name FRAG.
    const auto scan = Scan({{Cluster(2), 512}});
    ASSERT_NE(scan->disk, nullptr);
    std::map<std::string, TMyFile*> now;
    for (const auto& [path, f] : ByPath(*scan))
        now[path.rfind("FRAG/", 0) == 0 ? "Frag/" + path.substr(5) : path] = f;
    size_t kept = 0;
    for (const auto& [path, f] : ByPath(*healthy_)) {
        const bool later = path.rfind("Frag/", 0) == 0 || path.find('/') == std::string::npos;
        if (later) {
            EXPECT_EQ(now.count(path), 1u) << path;
            ++kept;
        }
    }
    EXPECT_GT(kept, 10u);
    EXPECT_EQ(DamageOf(*scan).FolderClusters.load(), 1u);
    EXPECT_EQ(scan->disk->Reader->Outcome(), volume::ReadOutcome::Read);
}

TEST_F(UnreadableFat, WholeRootUnreadableSaysSo) {
    std::vector<platform::ByteRange> failing;
    for (uint32_t c = 2; c >= 2 && c < 0x0FFFFFF8; c = NextCluster(c))
        failing.push_back({Cluster(c), 512});
    const auto scan = Scan(failing);
    ASSERT_NE(scan->disk, nullptr);
    EXPECT_TRUE(scan->results.empty());
    EXPECT_EQ(scan->disk->Reader->Outcome(), volume::ReadOutcome::RootFolderUnreadable);
}

TEST_F(UnreadableFat, BootSectorIsTakenFromSectorSixWhenUnreadableOrDamaged) {
    const auto unreadable = Scan({{0, 512}});
    ASSERT_NE(unreadable->disk, nullptr);
    EXPECT_TRUE(unreadable->disk->Drive->BootSectorIsBackup);
    EXPECT_EQ(unreadable->results.size(), healthy_->results.size());

    Patch(image_, 13, {0});  // no sectors per cluster: the primary no longer decodes
    const auto damaged = Scan({});
    ASSERT_NE(damaged->disk, nullptr);
    EXPECT_TRUE(damaged->disk->Reader->BackupBootSectorUsed());
    EXPECT_EQ(damaged->results.size(), healthy_->results.size());
}
