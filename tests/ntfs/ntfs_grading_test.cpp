// Grades and reads of deleted files on corpus images patched in a few bytes:
// where in a file a taken cluster lies, a cluster bitmap with a gap,
// encrypted data, and compression NTFS never writes.
#include <gtest/gtest.h>

#include <fstream>

#include "ntfs/ntfs_disk.h"
#include "support/ntfs_patch.h"
#include "support/test_support.h"
#include "volume/file_data.h"

using namespace testing_support;
using nlohmann::json;

namespace {

// Marks one cluster as in use in the volume's cluster bitmap.
void TakeCluster(const std::string& image, int64_t cluster) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    const TNTFS_Disk& reader = dynamic_cast<TNTFS_Disk&>(*scan.disk->Reader);
    ASSERT_TRUE(reader.BitmapFile);
    ASSERT_EQ(reader.BitmapFile->Runs.size(), 1u);
    const int64_t at = reader.BitmapFile->Runs[0].RunStart + cluster / 8;
    std::vector<uint8_t> byte(1);
    {
        std::ifstream in(PathOf(image), std::ios::binary);
        in.seekg(at);
        in.read(reinterpret_cast<char*>(byte.data()), 1);
    }
    byte[0] = static_cast<uint8_t>(byte[0] | 1u << (cluster % 8));
    Patch(image, at, byte);
}

} // namespace

TEST(NtfsGrading, TheFortyPercentRuleCountsThePositionInTheWholeFile) {
    // big-deleted-1.bin: 35 extents of up to 32 clusters, all free and intact.
    const std::string big = "Big/big-deleted-1.bin";
    struct Case {
        size_t run;          // the extent whose first cluster is taken
        uint8_t expected;
    } cases[] = {{30, kStateGood},   // 960 clusters of 1095 come before it: 87 %
                 {1, kStatePoor}};   // 32 clusters come before it: 3 %
    for (const Case& c : cases) {
        SCOPED_TRACE("extent " + std::to_string(c.run));
        PatchedNtfsImage image("ntfs-fragmented.img");
        if (!image.Ready())
            return;
        const json& runs = image.Entry(big)["runs"];
        ASSERT_GT(runs.size(), c.run);
        TakeCluster(image.Path(), runs[c.run][0].get<int64_t>());
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(image.Path()));
        TMyFile* f = FoundRecord(scan, image.RecordOf(big));
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->State, c.expected);
    }
}

TEST(NtfsGrading, BitmapRunThatCannotBeReadLeavesTheLaterRunsInPlace) {
    PatchedNtfsImage image("ntfs-attrlist.img");
    if (!image.Ready())
        return;
    // The bitmap is one extent; it becomes three: its first cluster where it
    // was, its second one somewhere past the end of the volume, the rest
    // where it was.
    const json& bitmap = image.Manifest()["bitmap_runs"];
    ASSERT_EQ(bitmap.size(), 1u);
    const int64_t lcn = bitmap[0][0].get<int64_t>();
    const uint64_t count = bitmap[0][1].get<uint64_t>();
    ASSERT_GE(count, 3u);
    MftRecordEdit record(image.Path(), image.RecordAt(6));
    const size_t data = record.FindAttribute(0x80);
    ASSERT_NE(data, std::string::npos);
    record.SetRunList(data, EncodeRuns({{lcn, 1}, {0x7FFFFF, 1}, {lcn + 2, count - 2}}));
    record.Write();
    const int64_t clustersPerBitmapCluster = image.Cluster() * 8;
    const int64_t lostFirst = clustersPerBitmapCluster, lostEnd = 2 * clustersPerBitmapCluster;

    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    int inLostPart = 0, checked = 0;
    for (const json& e : image.Manifest()["files"]) {
        if (!e.value("deleted", false) || !e.value("content_intact", false))
            continue;
        TMyFile* f = FoundRecord(scan, e["mft_record"].get<int64_t>());
        ASSERT_NE(f, nullptr) << e["path"];
        bool touchesLostPart = false;
        for (const json& run : e["runs"])
            touchesLostPart = touchesLostPart || (run[0].get<int64_t>() < lostEnd &&
                                                  run[0].get<int64_t>() + run[1].get<int64_t>() > lostFirst);
        if (touchesLostPart) {
            EXPECT_NE(f->State, kStateExcellent) << e["path"] << ": its bitmap bytes could not be read";
            ++inLostPart;
        } else {
            EXPECT_EQ(f->State, kStateExcellent) << e["path"] << ": its bitmap bytes were read from their own place";
            ++checked;
        }
    }
    EXPECT_GT(inLostPart, 0);
    EXPECT_GT(checked, 0);
}

TEST(NtfsGrading, EncryptedDataIsGradedPoor) {
    PatchedNtfsImage image("ntfs-basic.img");
    if (!image.Ready())
        return;
    const int64_t beach = image.RecordOf("Users/Ann/Pictures/beach.jpg");
    ASSERT_TRUE(MarkDataEncrypted(image, beach));
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    TMyFile* f = FoundRecord(scan, beach);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Encrypted);
    EXPECT_EQ(f->State, kStatePoor) << "what the volume holds is ciphertext";
}

TEST(NtfsGrading, CompressionUnitNtfsNeverWritesIsNotReadable) {
    for (uint16_t shift : {uint16_t{8}, uint16_t{3}, uint16_t{0}}) {
        SCOPED_TRACE("unit shift " + std::to_string(shift));
        PatchedNtfsImage image("ntfs-fragmented.img");
        if (!image.Ready())
            return;
        const int64_t n = image.RecordOf("Compressed/compressed-deleted.txt");
        MftRecordEdit record(image.Path(), image.RecordAt(n));
        const size_t data = record.FindAttribute(0x80);
        ASSERT_NE(data, std::string::npos);
        ASSERT_EQ(record.Get16(data + 34), 4u);
        record.Put16(data + 34, shift);
        record.Write();
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(image.Path()));
        TMyFile* f = FoundRecord(scan, n);
        ASSERT_NE(f, nullptr);
        EXPECT_NE(f->State, kStateExcellent);
        const auto status = volume::ReadFileData(*f, [](std::span<const uint8_t>, bool) { return true; });
        EXPECT_NE(status, volume::ReadStatus::Ok);
        EXPECT_STRNE(volume::ReadStatusText(status), "");
    }
}

namespace {
// Every found file as the listing leaves it, in list order.
std::vector<std::string> Listed(const FileList& files) {
    std::vector<std::string> lines;
    for (const auto& f : files)
        lines.push_back(f->FileName + "|" + std::to_string(f->State) + "|" + std::to_string(f->AllocatedSize) + "|" +
                        std::to_string(f->ProgressUnits) + "|" + f->FolderPath + "|" + std::to_string(f->Accepted) +
                        "|" + std::to_string(f->FolderIndex));
    return lines;
}
} // namespace

// This image's MFT is read in two pieces, so grading runs beside the reading;
// listing the same reading from lists the reader did not fill itself does it
// all after the reading. Both must come to the same.
TEST(NtfsListingAhead, GradesAndPathsAsTheListingAfterTheReading) {
    const std::string path = CorpusPath("ntfs-attrlist.img");
    if (!RequireFile(path))
        return;
    ScanSetup ahead;
    ASSERT_TRUE(ahead.Run(path));

    ScanSetup after;
    ScanContext context = after.Context();
    after.disk = DiskFor(after.disks, path, context);
    ASSERT_NE(after.disk, nullptr);
    after.paths.AddDriver(path);
    after.paths.AddWholeDriver(path);
    after.progress.ResetScan();
    after.disk->Enumerate();
    after.progress.FFoundCount = static_cast<uint32_t>(after.disk->Files.size());
    after.progress.BeginListing();
    FileList files = std::move(after.disk->Files);
    FolderList folders = std::move(after.disk->Folders);
    std::vector<TMyFile*> results;
    after.disk->Reader->ListResults(files, folders, &after.categories, &results);

    EXPECT_GT(ahead.results.size(), 100u);
    EXPECT_EQ(Listed(ahead.disk->Files), Listed(files));
    EXPECT_EQ(ahead.results.size(), results.size());
}
