// Damaged NTFS volumes: a scan ends, reads nothing outside the volume, and
// reports what it can.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "support/test_support.h"

using namespace testing_support;

namespace {

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(gen());
    return v;
}

class DamagedNtfs : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string source = CorpusPath("ntfs-basic.img");
        if (!RequireFile(source))
            GTEST_SKIP();
        const auto manifest = LoadManifest("ntfs-basic.img");
        mft_ = manifest["mft_first_cluster"].get<int64_t>() * manifest["cluster_size"].get<int64_t>();
        image_ = CopyToTemp(source, ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        if (!image_.empty())
            std::filesystem::remove(image_);
    }
    int64_t Record(int64_t n) const { return mft_ + n * 1024; }

    // Scans the damaged image and reads every result back; nothing may crash.
    size_t ScanAndReadAll() {
        ScanSetup scan;
        if (!scan.Run(image_))
            return 0;
        std::vector<uint8_t> data;
        for (TMyFile* f : scan.results) {
            ReadAll(*f, data);
            EXPECT_LE(static_cast<int64_t>(data.size()), f->FileSize);
        }
        return scan.results.size();
    }

    std::string image_;
    int64_t mft_ = 0;
};

} // namespace

TEST_F(DamagedNtfs, ZeroedMftYieldsNothing) {
    Patch(image_, mft_, std::vector<uint8_t>(1024 * 256, 0));
    EXPECT_EQ(ScanAndReadAll(), 0u);
}

TEST_F(DamagedNtfs, RandomBytesOverRecordsAreSurvived) {
    const size_t intact = ScanAndReadAll();
    for (int n : {64, 67, 69, 80, 90, 91, 95})
        Patch(image_, Record(n), Random(1024, static_cast<uint32_t>(n)));
    const size_t after = ScanAndReadAll();
    EXPECT_GT(after, 0u);
    EXPECT_LT(after, intact);
}

TEST_F(DamagedNtfs, AttributeLengthsOfZeroAndAllOnes) {
    // The first attribute of record 67 (a deleted picture) claims length 0; of 69, 0xFFFF.
    Patch(image_, Record(67) + 56 + 4, {0, 0, 0, 0});
    Patch(image_, Record(69) + 56 + 4, {0xFF, 0xFF, 0, 0});
    EXPECT_GT(ScanAndReadAll(), 0u);
}

TEST_F(DamagedNtfs, BytesInUseAboveTheRecordSizeSkipsOnlyThatRecord) {
    Patch(image_, Record(67) + 24, {0x00, 0x10, 0x00, 0x00});  // 4096 in a 1 KiB record
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    bool found67 = false, found69 = false;
    for (const auto& f : scan.disk->Files) {
        found67 = found67 || f->RecordNo == 67;
        found69 = found69 || f->RecordNo == 69;
    }
    EXPECT_FALSE(found67);
    EXPECT_TRUE(found69) << "a damaged record must not hide its neighbours";
}

TEST_F(DamagedNtfs, RunsPointingOutsideTheVolumeAreNeverRead) {
    // Record 67's single run starts at cluster 6656; move it far past the end.
    ScanSetup before;
    ASSERT_TRUE(before.Run(image_));
    // Find the run list of record 67 and give it a huge start cluster.
    std::vector<uint8_t> record(1024);
    {
        std::ifstream in(image_, std::ios::binary);
        in.seekg(Record(67));
        in.read(reinterpret_cast<char*>(record.data()), 1024);
    }
    const std::vector<uint8_t> run = {0x21, 0x2C, 0x00, 0x1A};
    auto it = std::search(record.begin(), record.end(), run.begin(), run.end());
    ASSERT_NE(it, record.end());
    const int64_t at = Record(67) + (it - record.begin());
    Patch(image_, at, {0x41, 0x2C, 0x00, 0x00, 0x00, 0x7F});
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image_));
    for (TMyFile* f : scan.results) {
        if (f->RecordNo != 67)
            continue;
        EXPECT_EQ(f->State, kStatePoor);
        std::vector<uint8_t> data;
        EXPECT_FALSE(ReadAll(*f, data));
    }
}

TEST(DamagedNtfsImages, TruncatedImageListsWhatItHolds) {
    // The first 100 KiB of ntfs-basic: the boot sector and the first MFT
    // records, none of the clusters of non-resident data.
    const std::string path = CorpusPath("truncated.img");
    if (!RequireFile(path))
        return;
    const auto truncated = LoadManifest("truncated.img");
    const int64_t recordsPresent = truncated["mft_records_present"].get<int64_t>();
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    std::map<int64_t, TMyFile*> listed;
    for (TMyFile* f : scan.results) {
        EXPECT_LT(f->RecordNo, recordsPresent) << f->FileName;
        listed[f->RecordNo] = f;
    }
    int resident = 0, elsewhere = 0;
    const auto whole = LoadManifest("ntfs-basic.img");
    for (const auto& e : whole["files"]) {
        if (e["type"] != "file" || !e.value("deleted", false) || e.value("size", 0) == 0 ||
            !e.value("fls_listed", false) || e["mft_record"].get<int64_t>() >= recordsPresent)
            continue;
        SCOPED_TRACE(e["path"].get<std::string>());
        auto it = listed.find(e["mft_record"].get<int64_t>());
        ASSERT_NE(it, listed.end()) << "its record is in the image, but it is not listed";
        TMyFile& f = *it->second;
        EXPECT_EQ(f.FileName, Basename(e["path"]));
        std::vector<uint8_t> data;
        if (e.value("resident", false)) {
            ASSERT_TRUE(ReadAll(f, data)) << "the data is inside its record";
            EXPECT_EQ(Sha256Of(data), e["sha256"].get<std::string>());
            ++resident;
        } else {
            EXPECT_FALSE(ReadAll(f, data)) << "its clusters lie past the end of the image";
            EXPECT_EQ(f.State, kStatePoor);
            ++elsewhere;
        }
    }
    EXPECT_GT(resident, 0);
    EXPECT_GT(elsewhere, 0);
}
