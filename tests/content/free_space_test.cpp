// The deep scan of volumes whose file system reads well but was formatted
// again over old files (NTFS with `mkntfs -Q`, FAT32 with mkfs.fat, exFAT
// with mkfs.exfat), with newer files live and deleted on them: the old files
// are found by content in the free clusters, and no file is listed twice.
// The volumes and their manifests come from tests/support/make-content-images
// (free_space_images.py): where The Sleuth Kit placed each file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "support/process.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::CommandResult;

namespace {

std::string Image(const std::string& kind) {
    return std::string(DUNRO_CONTENT_IMAGES_DIR) + "/formatted-" + kind + ".img";
}

CommandResult Dunro(const std::string& args) {
    return testing_support::RunProgram(DUNRO_BIN, testing_support::SplitArguments(args), {"TZ=UTC"});
}

json Manifest(const std::string& kind) {
    std::ifstream in(Image(kind) + ".manifest.json");
    return json::parse(in);
}

json DeepScan(const std::string& kind) {
    const CommandResult deep = Dunro("scan '" + Image(kind) + "' --deep --format json");
    EXPECT_EQ(deep.exitCode, 0) << deep.err;
    return deep.exitCode == 0 ? json::parse(deep.out) : json::object({{"files", json::array()}});
}

std::string FoundName(const json& entry) {
    char name[32];
    std::snprintf(name, sizeof name, "f%07lld.", static_cast<long long>(entry["offset"].get<int64_t>() / 512));
    return name + entry["kind"].get<std::string>();
}

// The files found by content, by their byte offset.
std::map<int64_t, json> ByContent(const json& scan) {
    std::map<int64_t, json> found;
    for (const json& f : scan["files"])
        if (f.value("found_by", "") == "content")
            found[f["offset"].get<int64_t>()] = f;
    return found;
}

// Where the deep scan lists an old file: found by content where it lay, or
// (FAT, exFAT) by its entry in a lost folder, the old root's later clusters.
// Never both: each listing found is returned.
std::vector<json> Listings(const json& scan, const json& entry) {
    std::vector<json> listed;
    for (const json& f : scan["files"]) {
        const bool byContent = f.value("found_by", "") == "content";
        if (byContent ? f["offset"] == entry["offset"]
                      : f["name"] == entry["name"] &&
                            f["folder_path"].get<std::string>().rfind("Found by content\\Lost folder ", 0) == 0)
            listed.push_back(f);
    }
    return listed;
}

class FormattedVolume : public testing::TestWithParam<const char*> {};

} // namespace

// Every old file still whole is listed once, with its size: by content where
// it lay (in its kind's folder under "Found by content", named after its
// sector), or in a lost folder.
TEST_P(FormattedVolume, ListsItsOldFilesOnceEachByContentOrInALostFolder) {
    const std::string kind = GetParam();
    if (!testing_support::RequireFile(Image(kind)))
        return;
    const json manifest = Manifest(kind);
    const json scan = DeepScan(kind);
    int intact = 0, byContent = 0;
    for (const json& entry : manifest["formatted"]) {
        if (!entry["intact"].get<bool>())
            continue;
        ++intact;
        const std::vector<json> listed = Listings(scan, entry);
        ASSERT_EQ(listed.size(), 1u) << kind << ": " << entry["name"] << " at " << entry["offset"];
        const json& f = listed[0];
        EXPECT_EQ(f["size"], entry["size"]) << entry["name"];
        EXPECT_NE(f["state"], "Poor") << entry["name"];
        if (f.value("found_by", "") == "content") {
            ++byContent;
            EXPECT_EQ(f["name"], FoundName(entry)) << entry["name"];
            EXPECT_EQ(f["folder_path"], "Found by content\\" + entry["kind"].get<std::string>() + "\\");
        }
    }
    EXPECT_GE(intact, 20) << kind;
    // NTFS names most of them from the old MFT's records (ntfs/old_records_test.cpp).
    EXPECT_GE(byContent, kind == "ntfs" ? 5 : 10) << kind;
}

// `recover --deep --id` brings back every old file still whole, byte-exact.
TEST_P(FormattedVolume, GivesItsOldFilesBackByteExactById) {
    const std::string kind = GetParam();
    if (!testing_support::RequireFile(Image(kind)))
        return;
    const json manifest = Manifest(kind);
    const json scan = DeepScan(kind);
    std::string ids;
    std::vector<std::pair<json, std::string>> wanted;
    for (const json& entry : manifest["formatted"]) {
        const std::vector<json> listed = Listings(scan, entry);
        if (!entry["intact"].get<bool>() || listed.size() != 1)
            continue;
        ids += " --id " + std::to_string(listed[0]["id"].get<int64_t>());
        wanted.emplace_back(entry, listed[0]["name"].get<std::string>());
    }
    ASSERT_GE(wanted.size(), 20u) << kind;
    const fs::path dest = fs::temp_directory_path() / ("dunro-free-" + kind + "-" + testing_support::ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    const fs::path report = dest / "dunro-report.csv";
    const CommandResult run = Dunro("recover '" + Image(kind) + "' --deep --to '" + dest.string() + "'" + ids);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    size_t byContent = 0;
    for (const auto& [entry, name] : wanted) {
        const fs::path copy = dest / name;
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(testing_support::Sha256OfFile(copy.string()), entry["sha256"]) << kind << ": " << entry["name"];
        byContent += name[0] == 'f' && name.find('.') == 8 ? 1 : 0;
    }
    // The report says how each was found. It is closed before the folder
    // goes: Windows will not remove a file that is open.
    std::string text;
    {
        std::ifstream in(report);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    size_t saidContent = 0;
    for (size_t at = text.find(",content,"); at != std::string::npos; at = text.find(",content,", at + 1))
        ++saidContent;
    EXPECT_EQ(saidContent, byContent) << text;
    fs::remove_all(dest);
}

// The live files' and the deleted files' clusters hold no file found by
// content, and each deleted file is listed once, by its record; while the
// old files in the free clusters are found by content.
TEST_P(FormattedVolume, ListsNoFileTwice) {
    const std::string kind = GetParam();
    if (!testing_support::RequireFile(Image(kind)))
        return;
    const json manifest = Manifest(kind);
    const json scan = DeepScan(kind);
    const auto found = ByContent(scan);
    ASSERT_FALSE(found.empty()) << kind << ": the free clusters were not searched";
    const int64_t cluster = manifest["cluster_size"];
    for (const char* group : {"live", "deleted"}) {
        for (const json& file : manifest[group]) {
            for (const json& run : file["runs"]) {
                const int64_t from = run[0].get<int64_t>();
                const int64_t to = (from + run[1].get<int64_t>() + cluster - 1) / cluster * cluster;
                const auto inside = found.lower_bound(from);
                EXPECT_TRUE(inside == found.end() || inside->first >= to)
                    << kind << ": " << inside->second["name"] << " found by content inside " << file["name"];
            }
        }
    }
    for (const json& file : manifest["deleted"]) {
        int listed = 0;
        for (const json& f : scan["files"])
            if (f.value("found_by", "") != "content" && f["size"] == file["size"])
                ++listed;
        EXPECT_EQ(listed, 1) << kind << ": " << file["name"];
    }
}

INSTANTIATE_TEST_SUITE_P(FreeSpaceSearch, FormattedVolume, testing::Values("ntfs", "fat32", "exfat"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST(FreeSpaceSearch, OnlyTheDeepScanSearchesAReadableVolumeByContent) {
    if (!testing_support::RequireFile(Image("ntfs")))
        return;
    const CommandResult plain = Dunro("scan '" + Image("ntfs") + "' --format json");
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_TRUE(ByContent(json::parse(plain.out)).empty());
    EXPECT_FALSE(ByContent(DeepScan("ntfs")).empty());
}

TEST(FreeSpaceSearch, ShowReachesAFileFoundInFreeSpaceById) {
    if (!testing_support::RequireFile(Image("ntfs")))
        return;
    const json manifest = Manifest("ntfs");
    const auto found = ByContent(DeepScan("ntfs"));
    for (const json& entry : manifest["formatted"]) {
        auto it = found.find(entry["offset"].get<int64_t>());
        if (!entry["intact"].get<bool>() || it == found.end() || entry["kind"] != "pdf")
            continue;
        const CommandResult shown =
            Dunro("show '" + Image("ntfs") + "' --deep --raw --id " + std::to_string(it->second["id"].get<int64_t>()));
        ASSERT_EQ(shown.exitCode, 0) << shown.err;
        EXPECT_EQ(testing_support::Sha256Of(std::vector<uint8_t>(shown.out.begin(), shown.out.end())), entry["sha256"]);
        return;
    }
    ADD_FAILURE() << "no whole PDF was found by content";
}

TEST(FreeSpaceSearch, FreeClustersThatCannotBeReadAreCountedAsUnreadable) {
    if (!testing_support::RequireFile(Image("ntfs")))
        return;
    const json manifest = Manifest("ntfs");
    int64_t offset = -1;
    for (const json& entry : manifest["formatted"])
        if (entry["intact"].get<bool>()) {
            offset = entry["offset"];
            break;
        }
    ASSERT_GE(offset, 0);
    // The drive fails the old file's first cluster: that is no empty free space.
    const CommandResult deep = testing_support::RunProgram(
        DUNRO_BIN, testing_support::SplitArguments("scan '" + Image("ntfs") + "' --deep --format json"),
        {"TZ=UTC", "DUNRO_TEST_READ_FAULTS=fail:" + std::to_string(offset) + ":4096"});
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    const json scan = json::parse(deep.out);
    EXPECT_GE(scan["sources"][0]["unreadable_bytes"].get<int64_t>(), 4096);
    EXPECT_NE(deep.err.find("could not be read"), std::string::npos) << deep.err;
    EXPECT_EQ(ByContent(scan).count(offset), 0u);
}

TEST(FreeSpaceSearch, TypesLimitTheFormatsSearchedInFreeSpace) {
    if (!testing_support::RequireFile(Image("ntfs")))
        return;
    const CommandResult deep = Dunro("scan '" + Image("ntfs") + "' --deep --types png,pdf --format json");
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    const auto found = ByContent(json::parse(deep.out));
    std::set<std::string> kinds;
    for (const auto& [offset, f] : found)
        kinds.insert(fs::path(f["name"].get<std::string>()).extension().string());
    EXPECT_EQ(kinds, (std::set<std::string>{".pdf", ".png"}));
}

// An MFT read in several pieces is graded beside the reading: the files
// found by content after it take no part in that, and the files of the
// records keep the grades a scan without --deep gives them.
TEST(FreeSpaceSearch, ALargeMftKeepsItsFilesGradesWhileFreeSpaceIsSearched) {
    const std::string image = std::string(DUNRO_CONTENT_IMAGES_DIR) + "/large-mft-ntfs.img";
    if (!testing_support::RequireFile(image))
        return;
    const CommandResult plain = Dunro("scan '" + image + "' --format json");
    const CommandResult deep = Dunro("scan '" + image + "' --deep --format json");
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    const auto key = [](const json& f) {
        return f["folder_path"].get<std::string>() + f["name"].get<std::string>() + " " + f["size"].dump() + " " +
               f["state"].get<std::string>();
    };
    const json plainScan = json::parse(plain.out), deepScan = json::parse(deep.out);
    std::multiset<std::string> before, after;
    for (const json& f : plainScan["files"])
        before.insert(key(f));
    size_t byContent = 0;
    for (const json& f : deepScan["files"]) {
        if (f.value("found_by", "") == "content")
            ++byContent;
        else
            after.insert(key(f));
    }
    EXPECT_EQ(before.size(), 6500u);
    EXPECT_TRUE(before == after);
    EXPECT_GE(byContent, 15u);
}
