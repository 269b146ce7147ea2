// Damaged FAT32 volumes: a scan ends, reads nothing outside the volume, and
// reports what it can.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "fat/fat_disk.h"
#include "support/test_support.h"
#include "volume/file_data.h"

using namespace testing_support;

namespace {

std::vector<uint8_t> Le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

class DamagedFat : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string source = CorpusPath("fat32-basic.img");
        if (!RequireFile(source))
            GTEST_SKIP();
        auto m = LoadManifest("fat32-basic.img");
        fat_ = m["reserved_sectors"].get<int64_t>() * 512;
        fatBytes_ = m["fat_sectors"].get<int64_t>() * 512;
        data_ = m["first_data_sector"].get<int64_t>() * 512;
        lastCluster_ = m["total_clusters"].get<uint32_t>() + 1;
        image_ = CopyToTemp(source, ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        if (!image_.empty())
            std::filesystem::remove(image_);
    }
    int64_t Cluster(uint32_t n) const { return data_ + (int64_t{n} - 2) * 512; }
    size_t Scan() {
        ScanSetup scan;
        if (!scan.Run(image_))
            return 0;
        std::vector<uint8_t> data;
        for (TMyFile* f : scan.results)
            ReadAll(*f, data);
        return scan.results.size();
    }
    // The byte offset of the short entry whose 11 name bytes are `name11`
    // (deleted ones begin with 0xE5), searched at entry boundaries.
    int64_t Entry(const std::string& name11) const {
        std::vector<uint8_t> bytes(static_cast<size_t>(std::filesystem::file_size(image_)));
        std::ifstream in(image_, std::ios::binary);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        for (size_t pos = static_cast<size_t>(data_); pos + 32 <= bytes.size(); pos += 32)
            if (std::memcmp(name11.data(), bytes.data() + pos, name11.size()) == 0 && bytes[pos + 11] != 0x0F)
                return static_cast<int64_t>(pos);
        ADD_FAILURE() << "no entry " << name11;
        return -1;
    }
    void SetFirstCluster(int64_t entry, uint32_t cluster) {
        Patch(image_, entry + 20, {static_cast<uint8_t>(cluster >> 16), static_cast<uint8_t>(cluster >> 24)});
        Patch(image_, entry + 26, {static_cast<uint8_t>(cluster), static_cast<uint8_t>(cluster >> 8)});
    }
    // In both copies of the table: one copy alone saying free is not believed.
    void SetTableEntry(uint32_t cluster, uint32_t value) {
        for (const int64_t table : {fat_, fat_ + fatBytes_})
            Patch(image_, table + int64_t{cluster} * 4, Le32(value));
    }
    static TMyFile* Named(const ScanSetup& scan, const std::string& name) {
        for (const auto& f : scan.disk->Files)
            if (f->FileName == name)
                return f.get();
        return nullptr;
    }
    std::string image_;
    int64_t fat_ = 0, fatBytes_ = 0, data_ = 0;
    uint32_t lastCluster_ = 0;
};

} // namespace

TEST_F(DamagedFat, CyclicRootChainEnds) {
    Patch(image_, fat_ + 2 * 4, Le32(2));  // the root's cluster points at itself
    EXPECT_GT(Scan(), 0u);
}

TEST_F(DamagedFat, ShortTableIsSurvived) {
    // Two sectors per table, far fewer than the clusters need; the reserved
    // sectors grow so that the data region stays where it is.
    Patch(image_, 36, Le32(2));
    Patch(image_, 14, {0x04, 0x06});  // 1540 + 2 tables of 2 sectors = 1544
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    // The root's first cluster still leads to its folders and their deleted files...
    ASSERT_FALSE(scan.results.empty());
    // ...but clusters the table does not cover count as in use: none is Excellent.
    for (TMyFile* f : scan.results)
        EXPECT_NE(f->State, kStateExcellent) << f->FileName;
}

TEST_F(DamagedFat, RandomDirectoryClustersAreSurvived) {
    std::mt19937 gen(7);
    for (uint32_t c = 2; c < 40; ++c) {
        std::vector<uint8_t> noise(512);
        for (auto& b : noise)
            b = static_cast<uint8_t>(gen());
        Patch(image_, Cluster(c), noise);
    }
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    // No folder is made from noise: a folder's cluster starts with ".".
    EXPECT_EQ(scan.disk->Folders.size(), 2u);  // the root and the placeholder
    std::vector<uint8_t> data;
    for (TMyFile* f : scan.results) {
        if (f->State == kStateExcellent) {
            EXPECT_TRUE(ReadAll(*f, data)) << f->FileName;
        }
    }
}

TEST_F(DamagedFat, RootClusterOutsideTheVolume) {
    Patch(image_, 44, Le32(0x0FFFFFF0));
    EXPECT_EQ(Scan(), 0u);
}

TEST_F(DamagedFat, EntriesPointingPastTheEndAreRefusedOnRead) {
    // Every deleted entry of the root now claims a first cluster far outside the volume.
    std::vector<uint8_t> root(512 * 4);
    {
        std::ifstream in(image_, std::ios::binary);
        in.seekg(Cluster(2));
        in.read(reinterpret_cast<char*>(root.data()), static_cast<std::streamsize>(root.size()));
    }
    for (size_t pos = 0; pos + 32 <= root.size(); pos += 32)
        if (root[pos] == 0xE5 && root[pos + 11] != 0x0F)
            root[pos + 20] = 0xF0, root[pos + 21] = 0x0F;
    Patch(image_, Cluster(2), root);
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    std::vector<uint8_t> data;
    for (TMyFile* f : scan.results) {
        if (f->FolderPath.empty()) {
            EXPECT_FALSE(ReadAll(*f, data) && f->DataPos > scan.disk->Drive->VolumeBytes);
        }
    }
}

namespace {

// The first cluster of a file as the manifest of fat32-basic gives it.
uint32_t ManifestCluster(const std::string& path) {
    const auto manifest = LoadManifest("fat32-basic.img");
    for (const auto& e : manifest["files"])
        if (e["path"] == path)
            return e["first_cluster"].get<uint32_t>();
    ADD_FAILURE() << "not in the manifest: " << path;
    return 0;
}

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

} // namespace

TEST_F(DamagedFat, DeletedFileAtClusterZeroOrOneHasNoDataAndIsPoor) {
    SetFirstCluster(Entry("\xE5OTES   TXT"), 0);  // notes.txt, 900 bytes
    SetFirstCluster(Entry("\xE5UTOEXECBAT"), 1);  // AUTOEXEC.BAT, 300 bytes
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    for (const char* name : {"\xC3\xA5otes.txt", "\xC3\xA5UTOEXEC.BAT"}) {
        TMyFile* f = Named(scan, name);
        ASSERT_NE(f, nullptr) << name;
        // Those numbers name the table's reserved slots: nothing to read, not the table's bytes.
        EXPECT_TRUE(f->Runs.empty()) << name;
        EXPECT_EQ(f->State, kStatePoor) << name;
        size_t bytes = 0;
        const auto status = volume::ReadFileData(*f, [&](std::span<const uint8_t> b, bool) {
            bytes += b.size();
            return true;
        });
        EXPECT_EQ(status, volume::ReadStatus::NoDataPosition) << name;
        EXPECT_EQ(bytes, 0u) << name;
    }
}

// 日本の写真.jpg (short entry _____.JPG) is made to start at cluster 30000,
// inside the live Filler/filler.bin; the search then tries 0x10000 + 30000.
class FirstClusterSearch : public DamagedFat {
protected:
    void SetUp() override {
        DamagedFat::SetUp();
        if (image_.empty())
            return;
        SetFirstCluster(Entry("\xE5____   JPG"), kStored);
        Patch(image_, Cluster(kCandidate), {0xFF, 0xD8, 0xFF, 0xE0});  // a JPEG start
    }
    int64_t FoundAt() {
        ScanSetup scan;
        EXPECT_TRUE(scan.Run(image_));
        TMyFile* f = Named(scan, "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE5\x86\x99\xE7\x9C\x9F.jpg");
        EXPECT_NE(f, nullptr);
        return f ? f->DataPos : -1;
    }
    static constexpr uint32_t kStored = 30000, kCandidate = 0x10000 + kStored;
};

TEST_F(FirstClusterSearch, NeverTakesAClusterInUse) {
    EXPECT_NE(FoundAt(), Cluster(kCandidate));  // that JPEG start is the live filler's data
}

TEST_F(FirstClusterSearch, NeverTakesWhereAnotherEntryStarts) {
    SetTableEntry(kCandidate, 0);
    // beach.jpg lies in a folder the walk reads after Photos.
    SetFirstCluster(Entry("\xE5" "EACH   JPG"), kCandidate);
    EXPECT_NE(FoundAt(), Cluster(kCandidate));
}

TEST_F(FirstClusterSearch, FindsAFreeClusterThatStartsLikeTheFile) {
    SetTableEntry(kCandidate, 0);
    EXPECT_EQ(FoundAt(), Cluster(kCandidate));
}

TEST_F(DamagedFat, RunsReachingPastTheDataRegionArePoor) {
    // notes.txt (two clusters) now starts at the last cluster, made free.
    SetFirstCluster(Entry("\xE5OTES   TXT"), lastCluster_);
    SetTableEntry(lastCluster_, 0);
    // The volume claims 64 sectors more than the image holds, and AUTOEXEC.BAT
    // (one cluster) starts right after the last cluster, where the table has
    // only padding that reads as free.
    Patch(image_, 32, Le32(static_cast<uint32_t>(std::filesystem::file_size(image_) / 512 + 64)));
    SetFirstCluster(Entry("\xE5UTOEXECBAT"), lastCluster_ + 1);
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    for (const char* name : {"\xC3\xA5otes.txt", "\xC3\xA5UTOEXEC.BAT"}) {
        TMyFile* f = Named(scan, name);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(f->State, kStatePoor) << name;
        std::vector<uint8_t> data;
        EXPECT_FALSE(ReadAll(*f, data)) << name;
    }
}

TEST_F(DamagedFat, ClustersTakenByANewerDeletedFileAreNotExcellent) {
    // AUTOEXEC.BAT (deleted, made 2022-05-13) now starts inside the free and
    // intact clusters of chunk_061.bin (deleted, made 2021-12-24).
    SetFirstCluster(Entry("\xE5UTOEXECBAT"), ManifestCluster("Frag/chunk_061.bin") + 10);
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    TMyFile* chunk = Named(scan, "chunk_061.bin");
    ASSERT_NE(chunk, nullptr);
    EXPECT_NE(chunk->State, kStateExcellent);
}

TEST_F(DamagedFat, EntriesWithoutTheArchiveBitAreFilesAndCountAsRecords) {
    ScanSetup before;
    ASSERT_TRUE(before.Run(image_));
    const uint32_t records = before.progress.FRecordsRead;
    // A backup tool clears the archive bit: of a deleted file, and of a live one.
    Patch(image_, Entry("\xE5UTOEXECBAT") + 11, {0x00});
    Patch(image_, Entry("README  TXT") + 11, {0x01});
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    EXPECT_NE(Named(scan, "\xC3\xA5UTOEXEC.BAT"), nullptr);
    EXPECT_EQ(static_cast<uint32_t>(scan.progress.FRecordsRead), records);
}

TEST_F(DamagedFat, FolderShortNamesKeepTheirExtension) {
    Patch(image_, Entry("2019       ") + 8, Text("OLD"));  // Projects/2019 becomes 2019.OLD
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    TMyFile* deep = Named(scan, "\xC3\xA5" "eep.txt");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->FolderPath, "Projects\\2019.OLD\\Q1\\Reports\\Final\\");
}

TEST_F(DamagedFat, LongNameOfAnotherShortEntryIsNotUsed) {
    // The slot after the pieces of "Summer Holiday 2019.png" now holds another, older short entry.
    Patch(image_, Entry("\xE5UMMER~1PNG") + 1, Text("EPORT  DOC"));
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    EXPECT_EQ(Named(scan, "Summer Holiday 2019.png"), nullptr);
    TMyFile* f = Named(scan, "\xC3\xA5" "EPORT.DOC");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Extension, ".DOC");
}

TEST_F(DamagedFat, CrossLinkedFoldersAreWalkedOnce) {
    ScanSetup before;
    ASSERT_TRUE(before.Run(image_));
    // Twelve folders in the free clusters of chunk_061.bin, each listing the
    // eleven others and one deleted file; the root's entry of AUTOEXEC.BAT now
    // names the first of them.
    const uint32_t first = ManifestCluster("Frag/chunk_061.bin");
    auto entry = [](const std::string& name11, uint8_t attributes, uint32_t cluster) {
        std::vector<uint8_t> e(32, 0);
        std::copy(name11.begin(), name11.end(), e.begin());
        e[11] = attributes;
        e[20] = static_cast<uint8_t>(cluster >> 16), e[21] = static_cast<uint8_t>(cluster >> 24);
        e[26] = static_cast<uint8_t>(cluster), e[27] = static_cast<uint8_t>(cluster >> 8);
        return e;
    };
    for (uint32_t k = 0; k < 12; ++k) {
        std::vector<uint8_t> cluster;
        auto add = [&](const std::vector<uint8_t>& e) { cluster.insert(cluster.end(), e.begin(), e.end()); };
        add(entry(".          ", 0x10, first + k));
        add(entry("..         ", 0x10, 0));
        for (uint32_t j = 0; j < 12; ++j) {
            if (j != k) {
                char name[12];
                std::snprintf(name, sizeof name, "F%02u        ", j);
                add(entry(name, 0x10, first + j));
            }
        }
        add(entry("\xE5ILE    TXT", 0x20, 0));
        cluster.resize(512, 0);
        Patch(image_, Cluster(first + k), cluster);
    }
    Patch(image_, Entry("\xE5UTOEXECBAT"), entry("CROSS      ", 0x10, first));
    ScanSetup scan;
    scan.progress.FMaxFiles = 20000;  // without a bound of its own the walk never ends
    ASSERT_TRUE(scan.Run(image_));
    EXPECT_LT(static_cast<uint32_t>(scan.progress.FRecordsRead), 20000u);
    EXPECT_EQ(scan.disk->Folders.size(), before.disk->Folders.size() + 12);
}

TEST_F(DamagedFat, ClusterHintsAreEmptiedWhenAScanStarts) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    ASSERT_NE(dynamic_cast<TDISK_FAT*>(scan.disk->Reader.get()), nullptr);
    const size_t hints = dynamic_cast<TDISK_FAT*>(scan.disk->Reader.get())->ClusterHints.size();
    EXPECT_GT(hints, 0u);
    scan.disk->Enumerate();
    EXPECT_EQ(dynamic_cast<TDISK_FAT*>(scan.disk->Reader.get())->ClusterHints.size(), hints);
}

namespace {

// A FAT32 volume written as a sparse file: 512-byte sectors and clusters, 32
// reserved sectors, one table; everything not written reads as zeros (free).
class SparseFat32 {
public:
    SparseFat32(const std::string& name, uint32_t clusters)
        : path_((std::filesystem::path(DUNRO_BINARY_DIR) / "scratch" / (name + "-" + ProcessTag())).string()) {
        std::filesystem::create_directories(std::filesystem::path(path_).parent_path());
        const uint32_t fatSectors = ((clusters + 2) * 4 + 511) / 512;
        dataStart_ = 32 + int64_t{fatSectors};
        std::vector<uint8_t> boot(512, 0);
        auto put = [&](size_t at, uint32_t v, size_t width) {
            for (size_t i = 0; i < width; ++i)
                boot[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        boot[0] = 0xEB, boot[1] = 0x58, boot[2] = 0x90;
        put(11, 512, 2);
        put(13, 1, 1);
        put(14, 32, 2);
        put(16, 1, 1);
        put(32, static_cast<uint32_t>(dataStart_) + clusters, 4);
        put(36, fatSectors, 4);
        put(44, 2, 4);
        std::copy_n("FAT32   ", 8, boot.begin() + 82);
        boot[510] = 0x55, boot[511] = 0xAA;
        { std::ofstream(path_, std::ios::binary | std::ios::trunc); }
        std::filesystem::resize_file(path_, static_cast<uintmax_t>((dataStart_ + clusters) * 512));
        Patch(path_, 0, boot);
        SetTable(0, 0x0FFFFFF8);
        SetTable(1, 0x0FFFFFFF);
    }
    ~SparseFat32() { std::filesystem::remove(path_); }
    const std::string& Path() const { return path_; }
    int64_t Cluster(uint32_t n) const { return (dataStart_ + int64_t{n} - 2) * 512; }
    void SetTable(uint32_t cluster, uint32_t value) { Patch(path_, 32 * 512 + int64_t{cluster} * 4, Le32(value)); }

private:
    std::string path_;
    int64_t dataStart_ = 0;
};

} // namespace

TEST(FatSearchBound, FirstClusterSearchReadsAreBoundedPerFileAndPerScan) {
    // 128 high words of clusters. The root holds 201 deleted .jpg files whose
    // stored position (high word 0) holds zeros; file 0 finds its JPEG start
    // only at high word 100, the others at high word 60.
    constexpr uint32_t kFiles = 201, kLow = 16;
    SparseFat32 volume("search-bound", 128u << 16);
    std::vector<uint8_t> root;
    for (uint32_t i = 0; i < kFiles; ++i) {
        std::vector<uint8_t> e(32, 0);
        char name[12];
        std::snprintf(name, sizeof name, "\xE5MG%05uJPG", i);
        std::copy_n(name, 11, e.begin());
        e[11] = 0x20;
        e[12] = 0x10;  // extension in lower case: .jpg
        e[26] = static_cast<uint8_t>(kLow + i), e[27] = static_cast<uint8_t>((kLow + i) >> 8);
        e[28] = 0xE8, e[29] = 0x03;  // 1000 bytes
        root.insert(root.end(), e.begin(), e.end());
        const uint32_t high = i == 0 ? 100 : 60;
        Patch(volume.Path(), volume.Cluster((high << 16) | (kLow + i)), {0xFF, 0xD8, 0xFF, 0xE0});
    }
    const uint32_t rootClusters = static_cast<uint32_t>((root.size() + 511) / 512);
    for (uint32_t c = 2; c < 2 + rootClusters; ++c)
        volume.SetTable(c, c + 1 < 2 + rootClusters ? c + 1 : 0x0FFFFFFF);
    Patch(volume.Path(), volume.Cluster(2), root);

    ScanSetup scan;
    ASSERT_TRUE(scan.Run(volume.Path()));
    ASSERT_EQ(scan.disk->Files.size(), kFiles);
    // File 0 would need 101 reads: its search gives up and keeps the stored position.
    EXPECT_EQ(scan.disk->Files[0]->DataPos, volume.Cluster(kLow));
    // The others need 61 reads each (the stored position, high words 1 to 60),
    // more than one scan allows for all of them.
    size_t found = 0;
    for (size_t i = 1; i < kFiles; ++i)
        found += scan.disk->Files[i]->DataPos == volume.Cluster((60u << 16) | (kLow + static_cast<uint32_t>(i)));
    EXPECT_GT(found, 0u);
    EXPECT_LE(found, TDISK_FAT::kSearchReadsPerScan / 61);
}
