// The command line on a failing drive, played through DUNRO_TEST_READ_FAULTS:
// what could not be read is said, counted in the output for programs, and
// reflected in the exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "support/process.h"
#include "support/test_support.h"
#include "fat/fat_geometry.h"
#include "ntfs/ntfs_geometry.h"
#include "volume/raw_reader.h"

namespace fs = std::filesystem;
using namespace testing_support;
using nlohmann::json;

namespace {

CommandResult Dunro(const std::string& args, const std::string& faults = {}) {
    std::vector<std::string> environment{"TZ=UTC"};
    if (!faults.empty())
        environment.push_back("DUNRO_TEST_READ_FAULTS=" + faults);
    return RunProgram(DUNRO_BIN, SplitArguments(args), environment);
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Fail(uint64_t offset, uint64_t length) {
    return "fail:" + std::to_string(offset) + ":" + std::to_string(length);
}

// Where the NTFS boot sector puts the $MFT.
uint64_t MftOffset(const std::string& image) {
    auto device = volume::OpenVolume(image);
    auto boot = volume::ReadBytes(device.get(), 0, 512);
    if (!boot)
        return 0;
    const auto geometry = ntfs::ParseGeometry(*boot);
    return geometry ? static_cast<uint64_t>(geometry->MftOffset()) : 0;
}

TEST(FailingDriveCli, AHealthyVolumeHasNoUnreadableBytesAndNoWarning) {
    const std::string image = CorpusPath("fat32-basic.img");
    if (!RequireFile(image))
        return;
    const auto run = Dunro("scan " + Quote(image) + " --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out)["sources"][0]["unreadable_bytes"], 0);
    EXPECT_EQ(run.err.find("could not be read"), std::string::npos) << run.err;
}

// One scan's answer: exit code, standard error, and the JSON when there is one.
struct JsonScan {
    int exitCode = -1;
    std::string err;
    json out;
    const json& source() const { return out["sources"][0]; }
    size_t listed() const { return out.contains("files") ? out["files"].size() : 0; }
};

JsonScan ScanJson(const std::string& image, const std::string& faults = {}) {
    const auto run = Dunro("scan " + Quote(image) + " --format json", faults);
    JsonScan scan{run.exitCode, run.err, json::parse(run.out, nullptr, false)};
    if (scan.out.is_discarded())
        scan.out = json::object();
    return scan;
}

// The FAT32 boot sector's numbers: where the first table and the root folder lie.
struct FatPlaces {
    uint64_t table = 0, tables = 0, rootFolder = 0;  // tables: the bytes of every copy
};
FatPlaces FatPlacesOf(const std::string& image) {
    auto device = volume::OpenVolume(image);
    auto boot = volume::ReadBytes(device.get(), 0, 512);
    if (!boot)
        return {};
    const auto geometry = fat::ParseGeometry(*boot);
    if (!geometry)
        return {};
    const fat::Geometry& g = *geometry;
    const uint64_t table = g.ReservedSectors * g.BytesPerSector;
    return {table, uint64_t{g.FatCount} * g.SectorsPerFat * g.BytesPerSector,
            static_cast<uint64_t>(g.OffsetOf(g.IndexOf(g.RootCluster)))};
}

// The files of a listing by folder and name, with their grades. A folder
// whose long name was lost keeps its short one: folders compare in capitals.
std::map<std::string, std::string> Listing(const JsonScan& scan) {
    std::map<std::string, std::string> files;
    for (const json& f : scan.out["files"]) {
        std::string folder = f["folder_path"];
        std::transform(folder.begin(), folder.end(), folder.begin(), [](unsigned char c) { return std::toupper(c); });
        files[folder + f["name"].get<std::string>()] = f["state"];
    }
    return files;
}

TEST(FailingDriveCli, FourKibOfTheMftCostAtMostFourRecordsAndAreSaid) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    const uint64_t mft = MftOffset(image);
    ASSERT_GT(mft, 0u);
    const JsonScan healthy = ScanJson(image);
    // Four records of 1 KiB from the first deleted file's on, past the
    // system files and $MFTMirr's reach.
    int64_t first = INT64_MAX;
    for (const json& f : healthy.out["files"])
        first = std::min(first, f["record_no"].get<int64_t>());
    ASSERT_GT(first, 16);
    const JsonScan scan = ScanJson(image, Fail(mft + static_cast<uint64_t>(first) * 1024, 4096));
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.source()["unreadable_bytes"], 4096);
    EXPECT_EQ(scan.source()["read_outcome"], "read");
    EXPECT_LT(scan.listed(), healthy.listed());
    EXPECT_GE(scan.listed() + 4, healthy.listed());
    EXPECT_NE(scan.err.find(image + ": 4.0 KB (4096 bytes) of the drive could not be read"), std::string::npos)
        << scan.err;
}

TEST(FailingDriveCli, ASectorOfTheFirstTableCostsNothing) {
    const std::string image = CorpusPath("fat32-basic.img");
    if (!RequireFile(image))
        return;
    const JsonScan healthy = ScanJson(image);
    const JsonScan scan = ScanJson(image, Fail(FatPlacesOf(image).table, 512));
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_GT(healthy.listed(), 30u);
    EXPECT_EQ(Listing(scan), Listing(healthy));
    EXPECT_EQ(scan.source()["read_outcome"], "read");

    // No copy of the table: what the folders hold is still listed, as taken, with a warning.
    const FatPlaces fat = FatPlacesOf(image);
    const JsonScan none = ScanJson(image, Fail(fat.table, fat.tables));
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.source()["read_outcome"], "table_unreadable");
    EXPECT_GT(none.listed(), 0u);
    for (const auto& [path, state] : Listing(none))
        EXPECT_EQ(state, "Poor") << path;
    EXPECT_NE(none.err.find(image + ": The file allocation table could not be read."), std::string::npos) << none.err;
}

TEST(FailingDriveCli, ASectorOfTheRootFolderCostsOnlyItsEntriesAndIsSaid) {
    const std::string image = CorpusPath("fat32-basic.img");
    if (!RequireFile(image))
        return;
    const auto healthy = Listing(ScanJson(image));
    const JsonScan scan = ScanJson(image, Fail(FatPlacesOf(image).rootFolder, 512));
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const auto listed = Listing(scan);
    EXPECT_GT(listed.size(), 0u);
    EXPECT_LT(listed.size(), healthy.size());
    for (const auto& [path, state] : listed)
        EXPECT_EQ(healthy.count(path), 1u) << path;
    EXPECT_EQ(scan.source()["unreadable_bytes"], 512);
    EXPECT_NE(scan.err.find(image + ": 512 B of the drive could not be read"), std::string::npos) << scan.err;
}

TEST(FailingDriveCli, ABootSectorAndItsBackupUnreadableEndWithTheReason) {
    for (const char* name : {"fat32-basic.img", "ntfs-basic.img"}) {
        const std::string image = CorpusPath(name);
        if (!RequireFile(image))
            return;
        const uint64_t size = fs::file_size(image);
        const uint64_t backup = std::string(name).starts_with("fat") ? 6 * 512 : size - 512;
        const auto run = Dunro("scan " + Quote(image), Fail(0, 512) + "," + Fail(backup, 512));
        EXPECT_EQ(run.exitCode, 3) << name;
        EXPECT_NE(run.err.find(image + ": The boot sector and its backup could not be read."), std::string::npos)
            << run.err;
        EXPECT_EQ(run.out.find("No deleted files found."), std::string::npos) << run.out;

        // The primary alone: its backup stands in, and says so.
        const JsonScan primary = ScanJson(image, Fail(0, 512));
        EXPECT_EQ(primary.exitCode, 0) << primary.err;
        EXPECT_EQ(primary.listed(), ScanJson(image).listed()) << name;
        EXPECT_NE(primary.err.find(image + ": The boot sector could not be read; its backup was used."),
                  std::string::npos)
            << primary.err;
    }
}

TEST(FailingDriveCli, ASourceOfWhichNothingCanBeReadIsAnError) {
    const std::string image = CorpusPath("fat32-basic.img");
    if (!RequireFile(image))
        return;
    const uint64_t size = fs::file_size(image);
    // Not even the boot sector.
    const auto whole = Dunro("scan " + Quote(image), Fail(0, size));
    EXPECT_EQ(whole.exitCode, 3) << whole.err;
    EXPECT_NE(whole.err.find("The boot sector and its backup could not be read."), std::string::npos) << whole.err;
    EXPECT_EQ(whole.out.find("No deleted files found."), std::string::npos) << whole.out;

    // The boot sectors, but nothing the scan needs after them.
    const JsonScan rest = ScanJson(image, Fail(16 * 512, size - 16 * 512));
    EXPECT_EQ(rest.exitCode, 3) << rest.err;
    EXPECT_EQ(rest.source()["read_outcome"], "root_folder_unreadable");
    EXPECT_NE(rest.err.find(image + ": The root folder could not be read."), std::string::npos) << rest.err;
    const auto table = Dunro("scan " + Quote(image), Fail(16 * 512, size - 16 * 512));
    EXPECT_EQ(table.exitCode, 3);
    EXPECT_EQ(table.out.find("No deleted files found."), std::string::npos) << table.out;
}

class FailingDriveRecoverCli : public ::testing::Test {
protected:
    void SetUp() override {
        image = CorpusPath("ntfs-basic.img");
        if (!RequireFile(image))
            GTEST_SKIP();
        ASSERT_TRUE(scan.Run(image));
        for (const TMyFile* f : scan.results)
            if (f->State == kStateExcellent && f->FileSize >= 1'000'000 && f->FileSize <= 2'000'000 &&
                f->CompressionUnit == 0 && f->Runs.size() == 1 && f->Runs[0].OnVolume)
                file = f;
        ASSERT_NE(file, nullptr);
        // Its id in the command line's list.
        const json listed = json::parse(Dunro("scan " + Quote(image) + " --format json").out);
        for (const json& f : listed["files"])
            if (f["record_no"] == file->RecordNo)
                id = f["id"];
        ASSERT_GE(id, 0);
        faults = Fail(static_cast<uint64_t>(file->Runs[0].RunStart) + 256 * 1024, 4096);
        dest = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("failing-cli-" + ProcessTag());
        fs::remove_all(dest);
        fs::create_directories(dest);
    }
    void TearDown() override { fs::remove_all(dest); }

    std::string image, faults;
    ScanSetup scan;
    const TMyFile* file = nullptr;
    int64_t id = -1;
    fs::path dest;
};

TEST_F(FailingDriveRecoverCli, AFileWithUnreadableSectorsIsKeptReportedAndExitsWithFour) {
    const auto run = Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --id " +
                               std::to_string(id) + " --format json",
                           faults);
    EXPECT_EQ(run.exitCode, 4) << run.err;
    const json out = json::parse(run.out);
    ASSERT_EQ(out["files"].size(), 1u);
    EXPECT_EQ(out["files"][0]["ok"], true);
    EXPECT_EQ(out["files"][0]["unreadable_bytes"], 4096);
    EXPECT_EQ(fs::file_size(out["files"][0]["target"].get<std::string>()), static_cast<uint64_t>(file->FileSize));

    fs::remove_all(dest);
    fs::create_directories(dest);
    const auto table =
        Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --id " + std::to_string(id), faults);
    EXPECT_EQ(table.exitCode, 4);
    EXPECT_NE(table.out.find("recovered, 4096 bytes unreadable (filled with zeros)"), std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find("1 files recovered, 1 with unreadable parts"), std::string::npos) << table.out;
}

TEST_F(FailingDriveRecoverCli, AWholeFileRecoveredFromAHealthyDriveHasNoUnreadableBytes) {
    const auto run = Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --id " +
                           std::to_string(id) + " --format json");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out)["files"][0]["unreadable_bytes"], 0);
}

} // namespace
