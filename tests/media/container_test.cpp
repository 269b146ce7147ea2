// Disk-image containers: the MBR test disk as E01 (ewfacquire, three
// segments), VHD, VHDX and VMDK (qemu-img) reads as the raw disk and scans
// to the same files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "media/byte_source.h"
#include "media/container.h"
#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {

json ScannedFiles(const std::string& source) {
    CommandResult run = RunProgram(DUNRO_BIN, {"scan", source, "--format", "json"}, {"TZ=UTC"});
    EXPECT_EQ(run.exitCode, 0) << source << ": " << run.err;
    json out = json::parse(run.out.empty() ? "{}" : run.out);
    for (json& f : out["files"])
        f.erase("drive");
    return out["files"];
}

struct Container {
    const char* file;
    media::ContainerFormat format;
};
const Container kContainers[] = {{"mbr-disk.E01", media::ContainerFormat::Ewf},
                                 {"mbr-disk.vpc", media::ContainerFormat::Vhd},
                                 {"mbr-disk.vhdx", media::ContainerFormat::Vhdx},
                                 {"mbr-disk.vmdk", media::ContainerFormat::Vmdk}};

} // namespace

TEST(Containers, EachFormatIsKnownByItsSignatureAndReadsAsTheRawDisk) {
    const std::string raw = DiskImagePath("mbr-disk.img");
    if (!RequireFile(raw))
        return;
    EXPECT_EQ(media::DetectContainer(raw), media::ContainerFormat::Raw);
    EXPECT_EQ(media::DetectContainer(DiskImagePath("mbr-split.img.001")), media::ContainerFormat::Split);
    auto disk = media::OpenDevice(raw);
    ASSERT_NE(disk, nullptr);
    std::vector<uint8_t> expected(1 << 20), got(1 << 20);
    for (const Container& c : kContainers) {
        SCOPED_TRACE(c.file);
        const std::string path = DiskImagePath(c.file);
        if (!RequireFile(path))
            continue;
        EXPECT_EQ(media::DetectContainer(path), c.format);
        if (!media::ContainerReadable(c.format)) {
            // A build without the library (the Windows one) refuses the format by name.
            EXPECT_FALSE(media::ContainerRefusal(path).empty());
            continue;
        }
        EXPECT_TRUE(media::ContainerRefusal(path).empty());
        auto source = media::OpenDevice(path);
        ASSERT_NE(source, nullptr);
        // qemu's VHD rounds the size up to a whole disk geometry: never smaller.
        EXPECT_GE(source->Size(), disk->Size());
        // A report names the container file, and counts offsets in the disk it holds.
        EXPECT_EQ(source->Origin().Path, path);
        EXPECT_EQ(source->Origin().Container, c.format);
        EXPECT_EQ(source->Origin().Offset, 0u);
        for (uint64_t offset : {uint64_t{0}, uint64_t{2048 * 512 + 4096}, disk->Size() - got.size()}) {
            ASSERT_TRUE(disk->Read(expected.data(), 1 << 20, offset, nullptr, 0).Ok());
            ASSERT_TRUE(source->Read(got.data(), 1 << 20, offset, nullptr, 0).Ok()) << offset;
            EXPECT_EQ(got, expected) << offset;
        }
    }
}

TEST(Containers, ScanOfEachContainerListsWhatTheRawDiskLists) {
    const std::string raw = DiskImagePath("mbr-disk.img");
    if (!RequireFile(raw))
        return;
    const json expected = ScannedFiles(raw);
    ASSERT_FALSE(expected.empty());
    for (const Container& c : kContainers) {
        SCOPED_TRACE(c.file);
        if (RequireFile(DiskImagePath(c.file)) && media::ContainerReadable(c.format)) {
            EXPECT_EQ(ScannedFiles(DiskImagePath(c.file)), expected);
        }
    }
}

// A damaged chunk of an E01 (its checksum fails) is unreadable, never bytes
// that pass for the disk's: every piece read is the raw disk's, and the files
// over the damage are recovered with their unreadable bytes said.
TEST(Containers, DamagedE01ChunksAreUnreadableNotWrongBytes) {
    const std::string raw = DiskImagePath("mbr-disk.img");
    if (!RequireFile(raw) || !RequireFile(DiskImagePath("mbr-disk.E01")))
        return;
    if (!media::ContainerReadable(media::ContainerFormat::Ewf))
        GTEST_SKIP() << "this build reads no E01";
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("damaged-e01-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    for (const char* piece : {"mbr-disk.E01", "mbr-disk.E02", "mbr-disk.E03"})
        fs::copy_file(DiskImagePath(piece), dir / piece);
    {
        // Well inside the first segment's chunks, away from its section headers.
        std::fstream e01(dir / "mbr-disk.E01", std::ios::in | std::ios::out | std::ios::binary);
        for (std::streamoff at = 3'000'000; at < 50'000'000; at += 1'500'000) {
            e01.seekp(at);
            e01.write(std::string(256, '\x55').data(), 256);
        }
    }
    const std::string damaged = (dir / "mbr-disk.E01").string();
    {
        auto disk = media::OpenDevice(raw);
        auto source = media::OpenDevice(damaged);
        ASSERT_NE(source, nullptr);
        std::vector<uint8_t> expected(1 << 20), got(1 << 20);
        size_t unreadable = 0;
        for (uint64_t offset = 0; offset + got.size() <= disk->Size(); offset += got.size()) {
            ASSERT_TRUE(disk->Read(expected.data(), 1 << 20, offset, nullptr, 0).Ok());
            const media::ReadResult r = source->Read(got.data(), 1 << 20, offset, nullptr, 0);
            if (!r.Ok())
                ++unreadable;
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + r.Done, expected.begin())) << offset;
        }
        EXPECT_GT(unreadable, 5u);
    }
    const CommandResult run =
        RunProgram(DUNRO_BIN, {"recover", damaged, "--to", (dir / "out").string(), "--format", "json"}, {"TZ=UTC"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    const json out = json::parse(run.out.empty() ? "{}" : run.out);
    size_t hurt = 0;
    for (const json& f : out["files"])
        hurt += f.value("unreadable_bytes", 0) > 0;
    EXPECT_GT(hurt, 0u);
    fs::remove_all(dir);
}

// A volume inside a partition inside a disk image lies at the sum of the
// offsets, in the image the user named.
TEST(Containers, ASliceOfASliceSaysWhereItLiesInTheImage) {
    const std::string split = DiskImagePath("mbr-split.img.001");
    if (!RequireFile(split))
        return;
    std::shared_ptr<const media::ByteSource> disk = media::OpenDevice(split);
    ASSERT_NE(disk, nullptr);
    auto partition = std::make_shared<media::SliceSource>(disk, 2048 * 512, 1 << 20);
    const media::SliceSource inner(partition, 4096, 512);
    const media::SourceOrigin origin = inner.Origin();
    EXPECT_EQ(origin.Path, split);
    EXPECT_EQ(origin.Container, media::ContainerFormat::Split);
    EXPECT_EQ(origin.Offset, 2048u * 512 + 4096);
    EXPECT_TRUE(media::OpenDevice(DiskImagePath("mbr-disk.img"))->Origin().Container == media::ContainerFormat::Raw);
}
