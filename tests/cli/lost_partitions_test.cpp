// Lost partitions: the MBR test disk with its first sector zeroed is searched
// where volumes usually start; with the first volume's boot sector zeroed too,
// only the full search finds it (by its backup boot sector).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

namespace {

std::multiset<std::string> FilesOf(const json& scan) {
    std::multiset<std::string> files;
    for (const json& f : scan["files"])
        files.insert(f["folder_path"].get<std::string>() + f["name"].get<std::string>() + " " +
                     std::to_string(f["size"].get<int64_t>()));
    return files;
}

// A disk of `size` bytes with no table, holding `volume` at `at`, if given.
std::string TablelessDisk(const std::string& name, uint64_t size, const std::string& volume, uint64_t at) {
    const std::filesystem::path path = std::filesystem::path(DUNRO_BINARY_DIR) / "scratch" / (name + "-" + ProcessTag());
    std::filesystem::create_directories(path.parent_path());
    { std::ofstream(path, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path, size);
    if (!volume.empty()) {
        std::ifstream in(volume, std::ios::binary);
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(at));
        out << in.rdbuf();
    }
    return path.string();
}

} // namespace

TEST(LostPartitions, TheFullSearchFindsAnExfatVolumeFarFromTheStart) {
    const std::string exfat = std::string(DUNRO_BINARY_DIR) + "/exfat-images/exfat-4k.img";
    if (!RequireFile(exfat))
        return;
    constexpr uint64_t kAt = 40ull << 20;
    const uint64_t length = std::filesystem::file_size(exfat);
    const std::string lost = TablelessDisk("exfat-lost.img", 128ull << 20, exfat, kAt);
    auto disk = media::OpenDevice(lost);
    ASSERT_NE(disk, nullptr);
    EXPECT_TRUE(scan::FindLostPartitions(*disk, {}).empty());
    scan::PartitionSearch full;
    full.Full = true;
    const auto found = scan::FindLostPartitions(*disk, full);
    EXPECT_EQ(Extents(found), (std::vector<std::pair<uint64_t, uint64_t>>{{kAt, length}}));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].TypeName, "exFAT");

    CommandResult run = Dunro("scan " + Quote(lost) + " --search-partitions --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json alone = json::parse(Dunro("scan " + Quote(exfat) + " --format json").out);
    EXPECT_FALSE(alone["files"].empty());
    EXPECT_EQ(FilesOf(json::parse(run.out)), FilesOf(alone));
    const json listed = json::parse(Dunro("partitions " + Quote(lost) + " --search-partitions --format json").out);
    EXPECT_EQ(listed["sources"][0]["partitions"][0]["file_system"], "exFAT");

    // A main boot region whose checksum fails is vouched for by its backup.
    disk.reset();
    Patch(lost, static_cast<int64_t>(kAt + 3 * 512 + 100), {0x5A});
    disk = media::OpenDevice(lost);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(Extents(scan::FindLostPartitions(*disk, full)), (std::vector<std::pair<uint64_t, uint64_t>>{{kAt, length}}));
    disk.reset();
    std::filesystem::remove(lost);
}

TEST(LostPartitions, ASearchThatCouldNotReadWhereAVolumeMayStartSaysSo) {
    const std::string zeros = TablelessDisk("unread-lost.img", 3ull << 20, "", 0);
    const auto fails = [&](const std::string& args, const std::vector<std::string>& env) {
        return RunProgram(DUNRO_BIN, SplitArguments(args), env);
    };
    CommandResult readable = fails("scan " + Quote(zeros) + " --search-partitions", {});
    EXPECT_EQ(readable.exitCode, 3);
    EXPECT_EQ(readable.err.find("could not be read"), std::string::npos) << readable.err;
    // The sector at 2 MiB, where a volume may start, fails to read.
    CommandResult failing = fails("scan " + Quote(zeros) + " --search-partitions",
                                  {"DUNRO_TEST_READ_FAULTS=fail:2097152:1048576"});
    EXPECT_EQ(failing.exitCode, 3);
    EXPECT_NE(failing.err.find("1 of the places where a volume may start could not be read"), std::string::npos)
        << failing.err;
    std::filesystem::remove(zeros);
}
