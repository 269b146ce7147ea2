// Damaged FAT32 volumes: a scan ends, reads nothing outside the volume, and
// reports what it can.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/test_support.h"

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
        data_ = m["first_data_sector"].get<int64_t>() * 512;
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
    std::string image_;
    int64_t fat_ = 0, data_ = 0;
};

} // namespace

TEST_F(DamagedFat, CyclicRootChainEnds) {
    Patch(image_, fat_ + 2 * 4, Le32(2));  // the root's cluster points at itself
    EXPECT_GT(Scan(), 0u);
}

TEST_F(DamagedFat, ShortTableIsSurvived) {
    Patch(image_, 36, Le32(2));  // sectors per FAT: 2, far fewer than the clusters need
    Scan();
    SUCCEED();
}

TEST_F(DamagedFat, RandomDirectoryClustersAreSurvived) {
    std::mt19937 gen(7);
    for (uint32_t c = 2; c < 40; ++c) {
        std::vector<uint8_t> noise(512);
        for (auto& b : noise)
            b = static_cast<uint8_t>(gen());
        Patch(image_, Cluster(c), noise);
    }
    Scan();
    SUCCEED();
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
