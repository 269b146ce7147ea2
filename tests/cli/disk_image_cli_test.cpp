// Whole disks on the command line: the corpus volumes laid into MBR and GPT
// disk images (make-disk-images), with TSK's mmls and fls -o as the oracle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "support/process.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using nlohmann::json;

namespace {

CommandResult Dunro(const std::string& args) { return RunProgram(DUNRO_BIN, SplitArguments(args), {"TZ=UTC"}); }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Where make-disk-images laid each corpus volume.
struct Laid {
    const char* disk;
    uint32_t partition;
    uint64_t sector;
    const char* volume;
};
const Laid kLaid[] = {
    {"mbr-disk.img", 1, 2048, "ntfs-basic.img"},   {"mbr-disk.img", 5, 102400, "fat32-basic.img"},
    {"mbr-disk.img", 6, 202752, "ntfs-fragmented.img"}, {"gpt-disk.img", 1, 2048, "ntfs-basic.img"},
    {"gpt-disk.img", 2, 100352, "fat32-basic.img"}, {"gpt-disk.img", 3, 198656, "ntfs-fragmented.img"},
};

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The MFT records of the deleted files in an `fls -rdp` listing ("-/r * 76-128-1:\tpath"; NTFS
// names a deleted file's type "-" when its folder entry is gone too).
std::set<int64_t> FlsDeletedRecords(const std::string& listing) {
    std::set<int64_t> records;
    for (const std::string& line : Lines(listing)) {
        std::istringstream fields(line);
        std::string kind, star;
        int64_t record = -1;
        if (fields >> kind >> star >> record && (kind == "r/r" || kind == "-/r") && star == "*")
            records.insert(record);
    }
    return records;
}

using Found = std::tuple<std::string, std::string, int64_t, std::string>;  // folder, name, size, state

std::multiset<Found> FilesOf(const json& scan, std::optional<uint32_t> partition) {
    std::multiset<Found> found;
    for (const json& f : scan["files"])
        if (!partition || f["partition"] == *partition)
            found.emplace(f["folder_path"], f["name"], f["size"], f["state"]);
    return found;
}

} // namespace

TEST(DiskImageCli, PartitionsListsWhatMmlsListsWithFileSystemsAndLabels) {
    const std::string mbr = DiskImagePath("mbr-disk.img"), gpt = DiskImagePath("gpt-disk.img");
    if (!RequireFile(mbr) || !RequireFile(gpt))
        return;
    CommandResult run = Dunro("partitions " + Quote(mbr) + " " + Quote(gpt) + " " +
                              Quote(CorpusPath("ntfs-basic.img")) + " " + Quote(CorpusPath("fat16-small.img")) +
                              " --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json out = json::parse(run.out);
    ASSERT_EQ(out["sources"].size(), 4u);
    const json& m = out["sources"][0]["partitions"];
    EXPECT_EQ(out["sources"][0]["scheme"], "MBR");
    std::vector<std::tuple<int, uint64_t, std::string>> got;
    for (const json& p : m)
        got.emplace_back(p["partition"], p["start"], p["file_system"].is_null() ? "" : p["file_system"]);
    const std::vector<std::tuple<int, uint64_t, std::string>> expected = {
        {1, 2048u * 512, "NTFS"}, {5, 102400u * 512, "FAT32"}, {6, 202752u * 512, "NTFS"}, {3, 268288u * 512, "FAT16"}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(m[0]["size"], fs::file_size(CorpusPath("ntfs-basic.img")));
    const json& g = out["sources"][1];
    EXPECT_EQ(g["scheme"], "GPT");
    ASSERT_EQ(g["partitions"].size(), 3u);
    EXPECT_EQ(g["partitions"][1]["label"], "Fotos M\xC3\xBCller");
    EXPECT_EQ(g["partitions"][1]["type_name"], "Microsoft basic data");
    // A bare volume is one volume, without a scheme.
    const json& bare = out["sources"][2];
    EXPECT_TRUE(bare["scheme"].is_null());
    ASSERT_EQ(bare["partitions"].size(), 1u);
    EXPECT_TRUE(bare["partitions"][0]["partition"].is_null());
    EXPECT_EQ(bare["partitions"][0]["file_system"], "NTFS");
    EXPECT_EQ(out["sources"][3]["partitions"][0]["file_system"], "FAT16");

    CommandResult table = Dunro("partitions " + Quote(mbr));
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_NE(table.out.find("NTFS/exFAT (0x07)"), std::string::npos) << table.out;
}

TEST(DiskImageCli, ScanReadsEveryPartitionAsTheBareVolumeAndFindsWhatFlsFinds) {
    for (const char* name : {"mbr-disk.img", "gpt-disk.img"}) {
        SCOPED_TRACE(name);
        const std::string disk = DiskImagePath(name);
        if (!RequireFile(disk))
            continue;
        CommandResult run = Dunro("scan " + Quote(disk) + " --format json");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const json scan = json::parse(run.out);
        std::map<uint32_t, json> sources;
        for (const json& s : scan["sources"])
            sources[s["partition"].get<uint32_t>()] = s;
        for (size_t i = 0; i < scan["files"].size(); ++i)
            ASSERT_EQ(scan["files"][i]["id"], i);
        for (const Laid& laid : kLaid) {
            if (std::string(laid.disk) != name)
                continue;
            SCOPED_TRACE(laid.volume);
            ASSERT_EQ(sources.count(laid.partition), 1u);
            EXPECT_EQ(sources[laid.partition]["offset"], laid.sector * 512);
            // TSK sees the same deleted files on the partition as on the bare volume…
            const std::string fls = disk + ".at" + std::to_string(laid.sector) + ".fls-deleted.txt";
            EXPECT_EQ(Lines(fls), Lines(CorpusPath(std::string(laid.volume) + ".fls-deleted.txt")));
            // …and so do we: the same list as a scan of the bare volume.
            const json bare = json::parse(Dunro("scan " + Quote(CorpusPath(laid.volume)) + " --format json").out);
            EXPECT_EQ(FilesOf(scan, laid.partition), FilesOf(bare, std::nullopt));
            // Every deleted file fls -o lists on an NTFS partition, by its MFT record (fls
            // also lists the never-used reserved records as orphans: those are no files).
            if (std::string(laid.volume).rfind("ntfs", 0) == 0) {
                std::set<int64_t> ours, files;
                for (const json& f : scan["files"])
                    if (f["partition"] == laid.partition)
                        ours.insert(f["record_no"].get<int64_t>());
                const json manifest = LoadManifest(laid.volume);
                for (const json& e : manifest["files"])
                    if (e["type"] == "file" && e.value("deleted", false) && e["size"] != 0)
                        files.insert(e["mft_record"].get<int64_t>());
                size_t checked = 0;
                for (int64_t record : FlsDeletedRecords(fls)) {
                    if (!files.count(record))
                        continue;
                    EXPECT_TRUE(ours.count(record)) << "MFT record " << record;
                    ++checked;
                }
                EXPECT_GT(checked, 20u);
            }
        }
    }
}

TEST(DiskImageCli, RecoverFromOnePartitionIsByteExact) {
    const std::string disk = DiskImagePath("mbr-disk.img");
    if (!RequireFile(disk))
        return;
    for (const Laid& laid : {kLaid[0], kLaid[2]}) {
        SCOPED_TRACE(laid.volume);
        const fs::path dest = fs::path(DUNRO_BINARY_DIR) / "scratch" /
                              ("disk-recover-" + std::to_string(laid.partition) + "-" + ProcessTag());
        fs::remove_all(dest);
        fs::create_directories(dest);
        const std::string part = " --partition " + std::to_string(laid.partition);
        const json scan = json::parse(Dunro("scan " + Quote(disk) + part + " --format json").out);
        ASSERT_EQ(scan["sources"].size(), 1u);
        CommandResult run = Dunro("recover " + Quote(disk) + part + " --to " + Quote(dest.string()) + " --format json");
        ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 4) << run.err;
        std::map<int64_t, std::string> targetOfRecord;
        const json out = json::parse(run.out);
        for (const json& f : out["files"])
            if (f["ok"].get<bool>())
                targetOfRecord[scan["files"][f["id"].get<size_t>()]["record_no"].get<int64_t>()] = f["target"];
        int checked = 0;
        const json manifest = LoadManifest(laid.volume);
        for (const json& e : manifest["files"]) {
            if (e["type"] != "file" || !e.value("deleted", false) || e["size"] == 0 || !e.value("content_intact", false))
                continue;
            SCOPED_TRACE(e["path"].get<std::string>());
            auto it = targetOfRecord.find(e["mft_record"].get<int64_t>());
            ASSERT_NE(it, targetOfRecord.end());
            EXPECT_EQ(Sha256OfFile(it->second), e["sha256"].get<std::string>());
            ++checked;
        }
        EXPECT_GE(checked, 5);
        fs::remove_all(dest);
    }
}

TEST(DiskImageCli, PartitionOptionRefusesWhatIsNotThere) {
    const std::string disk = DiskImagePath("mbr-disk.img");
    if (!RequireFile(disk))
        return;
    EXPECT_EQ(Dunro("scan " + Quote(disk) + " --partition 4").exitCode, 2);
    EXPECT_EQ(Dunro("scan " + Quote(CorpusPath("ntfs-basic.img")) + " --partition 1").exitCode, 2);
}
