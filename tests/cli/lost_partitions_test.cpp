// Lost partitions: the MBR test disk with its first sector zeroed is searched
// where volumes usually start; with the first volume's boot sector zeroed too,
// only the full search finds it (by its backup boot sector).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "media/byte_source.h"
#include "scan/partition_search.h"
#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {

CommandResult Dunro(const std::string& args) { return RunProgram(DUNRO_BIN, SplitArguments(args), {"TZ=UTC"}); }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Where make-disk-images laid the volumes of the MBR disk, in bytes.
const std::vector<std::pair<uint64_t, uint64_t>> kReadable = {
    {2048ull * 512, 98304ull * 512},
    {102400ull * 512, 98304ull * 512},
    {202752ull * 512, 65536ull * 512},
    {268288ull * 512, 32768ull * 512}};

std::vector<std::pair<uint64_t, uint64_t>> Extents(const std::vector<media::Partition>& found) {
    std::vector<std::pair<uint64_t, uint64_t>> extents;
    for (const media::Partition& p : found) {
        EXPECT_EQ(p.Scheme, media::PartitionScheme::Found);
        extents.emplace_back(p.Start, p.Length);
    }
    return extents;
}

// The files of each partition of a scan, by where the partition starts.
std::map<uint64_t, std::multiset<std::string>> FilesByOffset(const json& scan) {
    std::map<uint32_t, uint64_t> offsetOf;
    for (const json& s : scan["sources"])
        offsetOf[s["partition"].get<uint32_t>()] = s["offset"];
    std::map<uint64_t, std::multiset<std::string>> files;
    for (const json& f : scan["files"])
        files[offsetOf[f["partition"].get<uint32_t>()]].insert(f["folder_path"].get<std::string>() +
                                                               f["name"].get<std::string>() + " " +
                                                               std::to_string(f["size"].get<int64_t>()));
    return files;
}

} // namespace

TEST(LostPartitions, AZeroedFirstSectorIsSearchedWhereVolumesStartAndScannedAsTheTableWas) {
    const std::string zeroed = DiskImagePath("mbr-zeroed.img"), intact = DiskImagePath("mbr-disk.img");
    if (!RequireFile(zeroed) || !RequireFile(intact))
        return;
    auto disk = media::OpenDevice(zeroed);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(Extents(scan::FindLostPartitions(*disk, {})), kReadable);

    CommandResult run = Dunro("scan " + Quote(zeroed) + " --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json lost = json::parse(run.out);
    ASSERT_EQ(lost["sources"].size(), 4u);
    const json table = json::parse(Dunro("scan " + Quote(intact) + " --format json").out);
    EXPECT_EQ(FilesByOffset(lost), FilesByOffset(table));

    const json listed = json::parse(Dunro("partitions " + Quote(zeroed) + " --format json").out);
    EXPECT_EQ(listed["sources"][0]["scheme"], "found");
    EXPECT_EQ(listed["sources"][0]["partitions"][1]["file_system"], "FAT32");
}

TEST(LostPartitions, TheFullSearchFindsAVolumeByItsBackupBootSector) {
    const std::string lost = DiskImagePath("mbr-lost.img");
    if (!RequireFile(lost))
        return;
    auto disk = media::OpenDevice(lost);
    ASSERT_NE(disk, nullptr);
    // Near the start nothing is left to find, and nothing follows a volume found.
    EXPECT_TRUE(scan::FindLostPartitions(*disk, {}).empty());
    scan::PartitionSearch full;
    full.Full = true;
    uint64_t lastDone = 0, total = 0;
    full.Progress = [&](uint64_t done, uint64_t all) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        total = all;
    };
    EXPECT_EQ(Extents(scan::FindLostPartitions(*disk, full)), kReadable);
    EXPECT_EQ(lastDone, disk->Size());
    EXPECT_EQ(total, disk->Size());
    // A stop before it starts reads no further than the first 16 MiB.
    std::atomic<bool> stop{true};
    full.Stop = &stop;
    EXPECT_TRUE(scan::FindLostPartitions(*disk, full).empty());

    EXPECT_EQ(Dunro("scan " + Quote(lost)).exitCode, 3);
    CommandResult run = Dunro("scan " + Quote(lost) + " --search-partitions --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json scan = json::parse(run.out);
    ASSERT_EQ(scan["sources"].size(), 4u);
    EXPECT_EQ(scan["sources"][0]["offset"], kReadable[0].first);
    EXPECT_FALSE(scan["files"].empty());
}
