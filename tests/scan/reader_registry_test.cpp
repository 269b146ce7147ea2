// Which reader a volume gets, how a reader's stop ends its reading, and a
// reading phase that says why it could not read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fat/fat_disk.h"
#include "ntfs/ntfs_disk.h"
#include "platform/drives.h"
#include "scan/reader_registry.h"
#include "support/test_support.h"
#include "volume/byte_reader.h"

using namespace testing_support;

namespace {

struct Examined {
    std::unique_ptr<TDriverInfo> drive;
    scan::ChosenReader chosen;
};

Examined Examine(const std::string& path, const volume::ReaderContext& context = {}) {
    Examined e;
    e.drive = std::make_unique<TDriverInfo>(path, platform::DriveTypeOf(path));
    scan::ExamineDrive(*e.drive);
    e.chosen = scan::MakeReader(*e.drive, context);
    return e;
}

// Asks the reader to stop, through the interface, at the first record it reads.
class StoppingSink final : public volume::ProgressSink {
public:
    VolumeReader* reader = nullptr;
    void SetPercent(double) override {}
    void RecordParsed() override {}
    void RecordRead() override {
        if (reader)
            reader->Stop();
    }
    void FileFound() override {}
    void FileListed() override {}
    void BytesSearched(uint64_t) override {}
    bool ReadingMustEnd(Capped) const override { return false; }
    bool StopRequested() const override { return false; }
    void WaitWhilePaused() const override {}
    uint32_t UnitSize() const override { return volume::kDefaultUnitSize; }
};

} // namespace

TEST(ReaderRegistry, EachCorpusImageGetsTheReaderOfItsFileSystem) {
    const struct {
        const char* image;
        const char* fileSystem;
    } cases[] = {{"ntfs-basic.img", "NTFS"}, {"ntfs-fragmented.img", "NTFS"}, {"fat32-basic.img", "FAT32"},
                 {"fat16-small.img", "FAT16"}};
    for (const auto& c : cases) {
        if (!RequireFile(CorpusPath(c.image)))
            continue;
        const Examined e = Examine(CorpusPath(c.image));
        ASSERT_NE(e.chosen.reader, nullptr) << c.image;
        EXPECT_EQ(e.chosen.reader->FileSystemName(), c.fileSystem) << c.image;
        EXPECT_EQ(e.chosen.status, volume::ReadingStatus::Done) << c.image;
    }
}

TEST(ReaderRegistry, AVolumeNoReaderAcceptsIsRefusedAsNotThisFileSystem) {
    for (const char* image : {"not-a-filesystem.img"}) {
        if (!RequireFile(CorpusPath(image)))
            continue;
        const Examined e = Examine(CorpusPath(image));
        EXPECT_EQ(e.chosen.reader, nullptr) << image;
        EXPECT_EQ(e.chosen.status, volume::ReadingStatus::NotThisFileSystem) << image;
    }
}

TEST(ReaderStop, AStopThroughTheInterfaceEndsEitherReadersReadingAsStopped) {
    for (const char* image : {"ntfs-basic.img", "fat32-basic.img"}) {
        if (!RequireFile(CorpusPath(image)))
            continue;
        FileList wholeFiles;
        FolderList wholeFolders;
        Examined whole = Examine(CorpusPath(image));
        ASSERT_NE(whole.chosen.reader, nullptr);
        EXPECT_EQ(whole.chosen.reader->Enumerate(wholeFiles, wholeFolders), volume::ReadingStatus::Done) << image;

        StoppingSink sink;
        volume::ReaderContext context;
        context.Progress = &sink;
        Examined stopped = Examine(CorpusPath(image), context);
        ASSERT_NE(stopped.chosen.reader, nullptr);
        sink.reader = stopped.chosen.reader.get();
        FileList files;
        FolderList folders;
        EXPECT_EQ(stopped.chosen.reader->Enumerate(files, folders), volume::ReadingStatus::Stopped) << image;
        EXPECT_LT(files.size(), wholeFiles.size()) << image;
    }
}

// An MFT whose own record was read but does not decode (in the MFT and in its
// mirror) leaves nothing to list: the scan says the MFT could not be read,
// not that nothing was deleted.
TEST(ReadingStatus, AnMftRecordThatDoesNotDecodeIsToldAsAnUnreadableMft) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    const std::string copy = CopyToTemp(image, "mft-undecodable.img");
    {
        std::vector<uint8_t> boot(512);
        std::ifstream in(copy, std::ios::binary);
        in.read(reinterpret_cast<char*>(boot.data()), 512);
        const volume::ByteReader r(boot);
        const int64_t cluster = int64_t{r.u16(11).value_or(0)} * r.u8(13).value_or(0);
        ASSERT_GT(cluster, 0);
        // Record 0's signature, at the MFT and at its mirror.
        Patch(copy, r.i64(48).value_or(0) * cluster, {0, 0, 0, 0});
        Patch(copy, r.i64(56).value_or(0) * cluster, {0, 0, 0, 0});
    }
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(copy));
    EXPECT_EQ(scan.disk->Status(), volume::ReadingStatus::MftUnreadable);
    EXPECT_EQ(scan.disk->Outcome(), volume::ReadOutcome::MftUnreadable);
    EXPECT_TRUE(scan.disk->ReadNothing());
    scan.disks.clear();
    std::filesystem::remove(copy);
}
