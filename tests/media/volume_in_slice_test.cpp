// A volume that lies inside a larger image (as one does inside a partition)
// read through a slice of that image: the readers see no difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "media/byte_source.h"
#include "platform/drives.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

constexpr uint64_t kSliceStart = 1 << 20;
constexpr uint64_t kTrailingBytes = 64 << 10;

// `image` after kSliceStart zero bytes, and more zeros after it.
std::string PaddedCopy(const std::string& image, const std::string& name) {
    const std::string path = CopyToTemp(image, name);
    std::ifstream in(image, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::vector<char> before(kSliceStart, 0), after(kTrailingBytes, 0);
    out.write(before.data(), static_cast<std::streamsize>(before.size()));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.write(after.data(), static_cast<std::streamsize>(after.size()));
    return path;
}

using Listed = std::tuple<std::string, std::string, int64_t, uint8_t, std::string>;

std::vector<Listed> Listing(const ScanSetup& scan) {
    std::vector<Listed> listed;
    for (const TMyFile* f : scan.results) {
        std::vector<uint8_t> data;
        ReadAll(*f, data);
        listed.emplace_back(f->FolderPath, f->FileName, f->FileSize, f->State, Sha256Of(data));
    }
    std::sort(listed.begin(), listed.end());
    return listed;
}

// Scans the volume at kSliceStart of `padded`, under the bare image's name.
void ScanSlice(ScanSetup& scan, const std::string& padded, const std::string& name, uint64_t length) {
    std::shared_ptr<const media::ByteSource> whole = media::OpenDevice(padded);
    ASSERT_NE(whole, nullptr);
    auto drive = std::make_unique<TDriverInfo>(name, platform::kDriveFixed,
                                               std::make_unique<media::SliceSource>(whole, kSliceStart, length));
    scan.disks.push_back(std::make_unique<TMyDisk>(std::move(drive), scan.Context()));
    scan.disk = scan.disks.back().get();
    ASSERT_NE(scan.disk->Reader, nullptr);
    scan.paths.AddDriver(name);
    scan.paths.AddWholeDriver(name);
    scan.progress.ResetScan();
    scan.disk->Enumerate();
    scan.progress.FFoundCount = static_cast<uint32_t>(scan.disk->Files.size());
    scan.progress.BeginListing();
    scan.disk->ListResults(&scan.results, &scan.categories);
}

} // namespace

TEST(VolumeInSlice, AVolumeAtAnOffsetListsAndReadsTheSameFilesAsTheBareImage) {
    for (const char* image : {"ntfs-basic.img", "fat32-basic.img"}) {
        const std::string bare = CorpusPath(image);
        if (!RequireFile(bare))
            continue;
        ScanSetup plain;
        ASSERT_TRUE(plain.Run(bare));
        const std::vector<Listed> expected = Listing(plain);
        ASSERT_FALSE(expected.empty()) << image;

        const std::string padded = PaddedCopy(bare, std::string("padded-") + image);
        {
            ScanSetup sliced;
            ScanSlice(sliced, padded, bare, std::filesystem::file_size(bare));
            EXPECT_EQ(sliced.disk->FileSystem(), plain.disk->FileSystem()) << image;
            EXPECT_EQ(sliced.disk->Drive->VolumeBytes, plain.disk->Drive->VolumeBytes) << image;
            EXPECT_EQ(Listing(sliced), expected) << image;
        }
        std::filesystem::remove(padded);
    }
}

TEST(SliceSource, ReadsStopAtTheSlicesEnd) {
    std::vector<uint8_t> bytes(4096);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i / 512);
    std::shared_ptr<const media::ByteSource> whole =
        std::make_unique<media::DeviceSource>(platform::VolumeDevice::FromMemory(bytes.data(), bytes.size()));
    const media::SliceSource slice(whole, 1024, 2048);
    EXPECT_EQ(slice.Size(), 2048u);

    std::vector<uint8_t> out(1024, 0xAA);
    EXPECT_TRUE(slice.Read(out.data(), 512, 0, nullptr, 0).Ok());
    EXPECT_EQ(out[0], 2);  // the slice's first byte is the source's 1024th
    const media::ReadResult cut = slice.Read(out.data(), 1024, 1536, nullptr, 0);
    EXPECT_EQ(cut.Error, media::ReadError::PastEnd);
    EXPECT_EQ(cut.Done, 512u);
    EXPECT_EQ(out[511], 5);
    EXPECT_EQ(slice.Read(out.data(), 1, 2048, nullptr, 0).Error, media::ReadError::PastEnd);
}
