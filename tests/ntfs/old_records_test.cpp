// The records of an earlier MFT that a quick format left in free clusters:
// the deep scan lists the files they describe by name, in their old folders
// under "Found by content", gives them back byte-exact, and lists none of
// them a second time by content. Damaged records are passed over or graded
// down. The volumes come from tests/support/make-content-images
// (free_space_images.py), their manifests from The Sleuth Kit before the format.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "ntfs/old_records.h"
#include "support/ntfs_patch.h"
#include "support/process.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::CommandResult;

namespace {

constexpr uint32_t kRecord = 1024;
const std::string kOldRoot = "Found by content\\Lost folder 5\\";  // the old root: record 5

std::string Image(const std::string& name) { return std::string(DUNRO_CONTENT_IMAGES_DIR) + "/" + name; }

CommandResult Dunro(const std::string& args) {
    return testing_support::RunProgram(DUNRO_BIN, testing_support::SplitArguments(args), {"TZ=UTC"});
}

json DeepScan(const std::string& image) {
    const CommandResult deep = Dunro("scan '" + image + "' --deep --format json");
    EXPECT_EQ(deep.exitCode, 0) << deep.err;
    return deep.exitCode == 0 ? json::parse(deep.out) : json::object({{"files", json::array()}});
}

json ManifestOf(const std::string& image) {
    std::ifstream in(image + ".manifest.json");
    return json::parse(in);
}

bool ByContent(const json& f) { return f.value("found_by", "") == "content"; }

// The listings of a name in a folder, found by a record.
std::vector<json> Named(const json& scan, const std::string& folder, const std::string& name) {
    std::vector<json> listed;
    for (const json& f : scan["files"])
        if (!ByContent(f) && f["name"] == name && f["folder_path"] == folder)
            listed.push_back(f);
    return listed;
}

// "Documents/Letters/item01.dat" -> the folder the deep scan shows it in.
std::string OldFolderOf(const std::string& path) {
    std::string folder = kOldRoot;
    for (size_t from = 0, slash; (slash = path.find('/', from)) != std::string::npos; from = slash + 1)
        folder += path.substr(from, slash - from) + "\\";
    return folder;
}

// Where the old record whose own name ($FILE_NAME) is `name` lies: not one
// that only holds the name in a folder's index.
int64_t OldRecordNamed(const std::string& image, const std::string& name) {
    std::ifstream in(image, std::ios::binary);
    std::vector<char> bytes(4 << 20);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    for (size_t at = 0; at + kRecord <= static_cast<size_t>(in.gcount()); at += kRecord) {
        if (std::memcmp(bytes.data() + at, "FILE", 4) != 0)
            continue;
        testing_support::MftRecordEdit record(image, static_cast<int64_t>(at));
        const size_t attribute = record.FindAttribute(0x30);
        if (attribute == std::string::npos)
            continue;
        const size_t value = record.ValueOf(attribute);
        const size_t length = record.Bytes()[value + 64];
        std::string own;
        for (size_t i = 0; i < length; ++i)
            own += static_cast<char>(record.Bytes()[value + 66 + 2 * i]);
        if (own == name)
            return static_cast<int64_t>(at);
    }
    return -1;
}

// A record as a quick format leaves it, built by hand for the checks on its header.
std::vector<uint8_t> HandMadeRecord() {
    std::vector<uint8_t> r(kRecord, 0);
    std::memcpy(r.data(), "FILE", 4);
    auto put16 = [&](size_t at, uint16_t v) { r[at] = v & 0xFF, r[at + 1] = v >> 8; };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    put16(0x04, 0x30);  // update sequence array
    put16(0x06, 3);     // its number and two strides
    put16(0x14, 0x38);  // first attribute
    put32(0x18, 0x40);  // bytes in use
    put32(0x1C, kRecord);
    put32(0x38, 0xFFFFFFFF);
    put16(0x30, 7);  // the sequence number ends each stride
    put16(510, 7);
    put16(1022, 7);
    return r;
}

TMyFileRun Extent(int64_t start, int64_t length) { return TMyFileRun{start, length}; }

} // namespace

TEST(OldRecordChecks, TakeOnlyWholeRecordsWithTheirUpdateSequence) {
    EXPECT_TRUE(ntfs::LooksLikeRecord(HandMadeRecord(), kRecord));
    auto torn = HandMadeRecord();
    torn[1022] = 8;  // the second stride was not written with the first
    EXPECT_FALSE(ntfs::LooksLikeRecord(torn, kRecord));
    auto otherSize = HandMadeRecord();
    otherSize[0x1D] = 0x10;  // allocated 4096: not this volume's records
    EXPECT_FALSE(ntfs::LooksLikeRecord(otherSize, kRecord));
    auto overlapping = HandMadeRecord();
    overlapping[0x14] = 0x30;  // the first attribute over the update sequence array
    EXPECT_FALSE(ntfs::LooksLikeRecord(overlapping, kRecord));
    auto pastUse = HandMadeRecord();
    pastUse[0x18] = 0x38;  // in use ends where the attributes start
    EXPECT_FALSE(ntfs::LooksLikeRecord(pastUse, kRecord));
    auto markOnly = std::vector<uint8_t>(kRecord, 0);
    std::memcpy(markOnly.data(), "FILE", 4);
    EXPECT_FALSE(ntfs::LooksLikeRecord(markOnly, kRecord));
    const auto whole = HandMadeRecord();
    EXPECT_FALSE(ntfs::LooksLikeRecord(std::span(whole).first(512), kRecord));  // cut short
}

TEST(OldRecordChecks, RunsThatLeaveTheVolumeLoopOrFallShortAreNotTrusted) {
    constexpr int64_t volume = 64 << 20, cluster = 4096;
    TMyFile file;
    file.FileSize = 3 * cluster - 100;
    file.Runs = {Extent(10 * cluster, 2 * cluster), Extent(40 * cluster, cluster)};
    EXPECT_TRUE(ntfs::OldRunsPlausible(file, volume, cluster));
    EXPECT_FALSE(ntfs::RunsCrossThemselves(file.Runs));

    TMyFile loop = file;
    loop.Runs[1] = Extent(11 * cluster, cluster);  // back into the first run
    EXPECT_TRUE(ntfs::RunsCrossThemselves(loop.Runs));
    EXPECT_FALSE(ntfs::OldRunsPlausible(loop, volume, cluster));

    TMyFile beyond = file;
    beyond.Runs[1] = Extent(volume - cluster / 2, cluster);
    EXPECT_FALSE(ntfs::OldRunsPlausible(beyond, volume, cluster));

    TMyFile shortRuns = file;
    shortRuns.Runs.pop_back();  // the rest lay in an extension record
    EXPECT_FALSE(ntfs::OldRunsPlausible(shortRuns, volume, cluster));

    TMyFile huge = file;
    huge.Runs[1] = Extent(40 * cluster, 4096 * cluster);  // far more than the size needs
    EXPECT_FALSE(ntfs::OldRunsPlausible(huge, volume, cluster));

    TMyFile sparse = file;
    sparse.Runs.insert(sparse.Runs.begin(), TMyFileRun{0, cluster, 0, true, true});
    sparse.FileSize += cluster;
    EXPECT_TRUE(ntfs::OldRunsPlausible(sparse, volume, cluster));

    TMyFile resident;
    resident.FileSize = 300;
    resident.Runs = {TMyFileRun{5000, 300, 0x98, false}};
    EXPECT_TRUE(ntfs::OldRunsPlausible(resident, volume, cluster));
}

// The quick-formatted volume of the search by content: the old records past
// the new MFT's end name their files, which come back under those names, in
// the old root's lost folder, listed once.
TEST(OldMftRecords, NameTheFilesOfAQuickFormattedVolume) {
    const std::string image = Image("formatted-ntfs.img");
    if (!testing_support::RequireFile(image))
        return;
    const json manifest = ManifestOf(image);
    const json scan = DeepScan(image);
    int named = 0, intact = 0;
    for (const json& entry : manifest["formatted"]) {
        const std::vector<json> listed = Named(scan, kOldRoot, entry["name"]);
        ASSERT_LE(listed.size(), 1u) << entry["name"];
        if (!entry["intact"].get<bool>())
            continue;
        ++intact;
        if (listed.empty())
            continue;
        ++named;
        EXPECT_EQ(listed[0]["size"], entry["size"]) << entry["name"];
        EXPECT_EQ(listed[0]["state"], "Excellent") << entry["name"];
        for (const json& f : scan["files"])
            EXPECT_FALSE(ByContent(f) && f["offset"] == entry["offset"]) << entry["name"] << " listed twice";
    }
    // The new MFT writes over the old one's first 72 records. Of the 22
    // past it, the first cluster's four lie where the new volume marks its
    // clusters in use: the 18 in free clusters are all files still whole.
    EXPECT_EQ(intact, 25);
    EXPECT_EQ(named, 18);
}

// A tree of folders whose records outlived the format: every file is listed
// under its old path (below the old root), whole files graded Excellent.
TEST(OldMftRecords, RebuildTheOldFoldersAroundTheirFiles) {
    const std::string image = Image("old-tree-ntfs.img");
    if (!testing_support::RequireFile(image))
        return;
    const json manifest = ManifestOf(image);
    const json scan = DeepScan(image);
    for (const json& folder : manifest["folders"])
        ASSERT_TRUE(folder["record_survives"].get<bool>()) << folder["path"];
    int listed = 0;
    for (const json& entry : manifest["files"]) {
        if (!entry["record_survives"].get<bool>())
            continue;
        const std::string path = entry["path"];
        const std::vector<json> found = Named(scan, OldFolderOf(path), testing_support::Basename(path));
        ASSERT_EQ(found.size(), 1u) << path;
        EXPECT_EQ(found[0]["size"], entry["size"]) << path;
        if (entry["intact"].get<bool>()) {
            EXPECT_EQ(found[0]["state"], "Excellent") << path;
        }
        ++listed;
    }
    EXPECT_EQ(listed, 40);
    // Their data is of no kind the search knows, and none lies in free space
    // a second time: nothing is found by content.
    for (const json& f : scan["files"])
        EXPECT_FALSE(ByContent(f)) << f["name"];
}

TEST(OldMftRecords, GiveTheOldFilesBackByteExactInTheirFolders) {
    const std::string image = Image("old-tree-ntfs.img");
    if (!testing_support::RequireFile(image))
        return;
    const json manifest = ManifestOf(image);
    const json scan = DeepScan(image);
    std::string ids;
    std::vector<json> wanted;
    for (const json& entry : manifest["files"]) {
        const std::string path = entry["path"];
        const std::vector<json> found = Named(scan, OldFolderOf(path), testing_support::Basename(path));
        if (!entry["intact"].get<bool>() || found.size() != 1)
            continue;
        ids += " --id " + std::to_string(found[0]["id"].get<int64_t>());
        wanted.push_back(entry);
    }
    ASSERT_EQ(wanted.size(), 40u);
    const fs::path dest = fs::temp_directory_path() / ("dunro-old-records-" + testing_support::ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    const CommandResult run =
        Dunro("recover '" + image + "' --deep --keep-folders --to '" + dest.string() + "'" + ids);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // DIR/VOLUME/FOLDERS/NAME: the volume's folder is the one folder under DIR.
    fs::path volume;
    for (const auto& item : fs::directory_iterator(dest))
        if (item.is_directory())
            volume = item.path();
    ASSERT_FALSE(volume.empty());
    for (const json& entry : wanted) {
        const fs::path copy = volume / "Found by content" / "Lost folder 5" / entry["path"].get<std::string>();
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(testing_support::Sha256OfFile(copy.string()), entry["sha256"]) << entry["path"];
    }
    fs::remove_all(dest);
}

// A record whose update sequence does not hold is passed over: its file,
// whole in free space, is then found by content, once.
TEST(OldMftRecords, ARecordWithBrokenFixupsIsPassedOver) {
    const std::string source = Image("formatted-ntfs.img");
    if (!testing_support::RequireFile(source))
        return;
    const std::string image = testing_support::CopyToTemp(source, "old-record-fixups");
    const int64_t at = OldRecordNamed(image, "text.odt");
    ASSERT_GT(at, 0);
    testing_support::Patch(image, at + 510, {0xEE, 0xEE});
    const json scan = DeepScan(image);
    fs::remove(image);
    EXPECT_TRUE(Named(scan, kOldRoot, "text.odt").empty());
    int64_t offset = -1;
    const json manifest = ManifestOf(source);
    for (const json& entry : manifest["formatted"])
        if (entry["name"] == "text.odt")
            offset = entry["offset"];
    int found = 0;
    for (const json& f : scan["files"])
        found += ByContent(f) && f["offset"] == offset ? 1 : 0;
    EXPECT_EQ(found, 1);
    // Its neighbours' records still count.
    EXPECT_EQ(Named(scan, kOldRoot, "book.epub").size(), 1u);
}

// Run lists that reach past the volume's end or loop over themselves are
// damage: the files are graded Poor and claim no clusters, so their data,
// whole in free space, is still found by content.
TEST(OldMftRecords, HostileRunListsGradePoorAndClaimNoClusters) {
    const std::string source = Image("formatted-ntfs.img");
    if (!testing_support::RequireFile(source))
        return;
    const json manifest = ManifestOf(source);
    std::map<std::string, json> entries;
    for (const json& entry : manifest["formatted"])
        entries[entry["name"]] = entry;
    const int64_t cluster = manifest["cluster_size"];
    const std::string image = testing_support::CopyToTemp(source, "old-record-runs");
    auto rewrite = [&](const std::string& name, const std::vector<testing_support::ClusterRun>& runs) {
        const int64_t at = OldRecordNamed(image, name);
        ASSERT_GT(at, 0) << name;
        testing_support::MftRecordEdit edit(image, at);
        const size_t data = edit.FindAttribute(0x80);
        ASSERT_NE(data, std::string::npos) << name;
        edit.SetRunList(data, testing_support::EncodeRuns(runs));
        edit.Write();
    };
    const int64_t clip = entries["clip.mp4"]["offset"].get<int64_t>() / cluster;
    const int64_t clusters = (entries["clip.mp4"]["size"].get<int64_t>() + cluster - 1) / cluster;
    rewrite("clip.mp4", {{clip, static_cast<uint64_t>(clusters - 1)}, {clip, 1}});  // the last loops to the first
    const int64_t movie = entries["movie.mov"]["size"].get<int64_t>() / cluster + 1;
    rewrite("movie.mov", {{(64 << 20) / cluster - 1, static_cast<uint64_t>(movie)}});  // past the end
    const json scan = DeepScan(image);
    fs::remove(image);
    for (const char* name : {"clip.mp4", "movie.mov"}) {
        const std::vector<json> listed = Named(scan, kOldRoot, name);
        ASSERT_EQ(listed.size(), 1u) << name;
        EXPECT_EQ(listed[0]["state"], "Poor") << name;
        int found = 0;
        for (const json& f : scan["files"])
            found += ByContent(f) && f["offset"] == entries[name]["offset"] ? 1 : 0;
        EXPECT_EQ(found, 1) << name;
    }
}

// A copy of the volume's own MFT left in free clusters, as a table that
// moved leaves its old place: its records describe the files the MFT lists
// already (the deleted ones, by the same record and runs; the live ones; the
// system's), and the deep scan lists none of them a second time.
TEST(OldMftRecords, AnOldCopyOfTheCurrentMftAddsNoFile) {
    const std::string source = Image("formatted-ntfs.img");
    if (!testing_support::RequireFile(source))
        return;
    const std::string image = testing_support::CopyToTemp(source, "old-record-moved");
    const int64_t mft = OldRecordNamed(image, "$MFT");
    ASSERT_GT(mft, 0);
    std::vector<uint8_t> table(72 * kRecord);
    {
        std::ifstream in(image, std::ios::binary);
        in.seekg(mft);
        in.read(reinterpret_cast<char*>(table.data()), static_cast<std::streamsize>(table.size()));
    }
    testing_support::Patch(image, 40 << 20, table);  // free clusters, zeros before
    const json before = DeepScan(source), after = DeepScan(image);
    fs::remove(image);
    auto byRecord = [](const json& scan) {
        std::multiset<std::string> listed;
        for (const json& f : scan["files"])
            if (!ByContent(f))
                listed.insert(f["folder_path"].get<std::string>() + f["name"].get<std::string>());
        return listed;
    };
    EXPECT_EQ(byRecord(after), byRecord(before));
    EXPECT_EQ(byRecord(after).count("gone-photo.jpg"), 1u);
}

// A folder whose old record is gone: its files and the folders below it
// hang from "Found by content\Lost folder N", N the record number they name.
TEST(OldMftRecords, AFolderWhoseRecordIsGoneBecomesALostFolder) {
    const std::string source = Image("old-tree-ntfs.img");
    if (!testing_support::RequireFile(source))
        return;
    const json manifest = ManifestOf(source);
    int64_t letters = -1;
    for (const json& folder : manifest["folders"])
        if (folder["path"] == "Documents/Letters")
            letters = folder["inode"];
    ASSERT_GT(letters, 0);
    const std::string image = testing_support::CopyToTemp(source, "old-record-folder");
    const int64_t at = OldRecordNamed(image, "Letters");
    ASSERT_GT(at, 0);
    testing_support::Patch(image, at + 510, {0xEE, 0xEE});
    const json scan = DeepScan(image);
    fs::remove(image);
    const std::string lost = "Found by content\\Lost folder " + std::to_string(letters) + "\\";
    int moved = 0;
    for (const json& entry : manifest["files"]) {
        std::string path = entry["path"];
        std::string folder = OldFolderOf(path);
        if (path.rfind("Documents/Letters/", 0) == 0) {
            folder = lost + (path.rfind("Documents/Letters/2021/", 0) == 0 ? "2021\\" : "");
            ++moved;
        }
        EXPECT_EQ(Named(scan, folder, testing_support::Basename(path)).size(), 1u) << path << " in " << folder;
    }
    EXPECT_EQ(moved, 8);
}
