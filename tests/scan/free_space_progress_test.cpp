// The deep scan of a readable volume as the scan drives it: the reader's own
// reading fills the first half of the bar and the search of its free space
// by content the rest, the bar never going back; a stop during the search
// ends the reading as stopped. The volumes come from make-content-images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "media/byte_source.h"
#include "platform/drives.h"
#include "scan/reader_registry.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class RecordingSink final : public volume::ProgressSink {
public:
    VolumeReader* reader = nullptr;
    size_t stopAtFind = SIZE_MAX;  // a stop is asked at this file found (counted from 1)
    size_t finds = 0;
    std::vector<double> percents;
    uint64_t bytesSearched = 0;

    void SetPercent(double percent) override { percents.push_back(percent); }
    void BytesSearched(uint64_t bytes) override { bytesSearched += bytes; }
    void RecordParsed() override {}
    void RecordRead() override {}
    void FileFound() override {
        if (++finds == stopAtFind && reader)
            reader->Stop();
    }
    void FileListed() override {}
    bool ReadingMustEnd(Capped) const override { return false; }
    bool StopRequested() const override { return false; }
    void WaitWhilePaused() const override {}
    uint32_t UnitSize() const override { return volume::kDefaultUnitSize; }
};

struct DeepRead {
    volume::ReadingStatus status = volume::ReadingStatus::Done;
    size_t byContent = 0;
    size_t listed = 0;  // every file the reading gave
    size_t finds = 0;  // every file the reader said it found
    std::vector<double> percents;
    uint64_t bytesSearched = 0;
};

// A source that counts the bytes asked of it.
class CountingSource final : public media::ByteSource {
public:
    CountingSource(std::unique_ptr<media::ByteSource> inner, uint64_t& asked) : inner_(std::move(inner)), asked_(asked) {}
    uint64_t Size() const override { return inner_->Size(); }
    media::ReadResult Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                           uint32_t limitMs) const override {
        asked_ += count;
        return inner_->Read(buffer, count, offset, cancel, limitMs);
    }

private:
    std::unique_ptr<media::ByteSource> inner_;
    uint64_t& asked_;
};

DeepRead ReadDeep(const std::string& path, size_t stopAtFind = SIZE_MAX, uint64_t* bytesAsked = nullptr) {
    TDriverInfo drive(path, platform::DriveTypeOf(path));
    if (bytesAsked && drive.Source)
        drive.Source = std::make_unique<CountingSource>(std::move(drive.Source), *bytesAsked);
    scan::ExamineDrive(drive);
    RecordingSink sink;
    sink.stopAtFind = stopAtFind;
    volume::ReaderContext context;
    context.Progress = &sink;
    scan::ChosenReader chosen = scan::MakeReader(drive, context, true);
    DeepRead read;
    if (!chosen.reader)
        return read;
    sink.reader = chosen.reader.get();
    FileList files;
    FolderList folders;
    read.status = chosen.reader->Enumerate(files, folders);
    read.percents = sink.percents;
    read.finds = sink.finds;
    read.bytesSearched = sink.bytesSearched;
    read.listed = files.size();
    for (const auto& file : files)
        if (file->FoundBy == kFoundByContent)
            ++read.byContent;
    return read;
}

std::string Formatted(const char* kind) {
    return std::string(DUNRO_CONTENT_IMAGES_DIR) + "/formatted-" + kind + ".img";
}

} // namespace

TEST(FreeSpaceProgress, TheReadersOwnReadingFillsHalfTheBarAndTheSearchTheRestCountingItsBytes) {
    for (const char* kind : {"ntfs", "fat32", "exfat"}) {
        if (!RequireFile(Formatted(kind)))
            continue;
        const DeepRead read = ReadDeep(Formatted(kind));
        EXPECT_EQ(read.status, volume::ReadingStatus::Done) << kind;
        ASSERT_GT(read.byContent, 0u) << kind;
        ASSERT_FALSE(read.percents.empty()) << kind;
        EXPECT_TRUE(std::is_sorted(read.percents.begin(), read.percents.end())) << kind;
        EXPECT_DOUBLE_EQ(read.percents.back(), 100.0) << kind;
        // The window's counter of bytes searched follows the search of free space too.
        EXPECT_GT(read.bytesSearched, 0u) << kind;
        // The search reports between its blocks: some of them lie past the half.
        EXPECT_TRUE(std::any_of(read.percents.begin(), read.percents.end(),
                                [](double p) { return p > 50.0 && p < 100.0; }))
            << kind;
    }
}

TEST(FreeSpaceProgress, AStopDuringTheSearchOfFreeSpaceEndsTheReadingAsStopped) {
    for (const char* kind : {"ntfs", "fat32", "exfat"}) {
        if (!RequireFile(Formatted(kind)))
            continue;
        // The search of free space finds the last files (by content, and on
        // NTFS by old records too): a stop at the last but one ends it there.
        const DeepRead whole = ReadDeep(Formatted(kind));
        ASSERT_GT(whole.byContent, 2u) << kind;
        const DeepRead stopped = ReadDeep(Formatted(kind), whole.finds - 1);
        EXPECT_EQ(stopped.status, volume::ReadingStatus::Stopped) << kind;
        // Nothing is found after the stop (on NTFS the last find may be one
        // the old records drop, so the listings can be the same).
        EXPECT_EQ(stopped.finds, whole.finds - 1) << kind;
        EXPECT_LE(stopped.listed, whole.listed) << kind;
    }
}

// The records of an old MFT are looked for in the same reading of the free
// clusters as the search by content: a deep scan reads the volume about
// once, not its free space twice.
TEST(FreeSpaceProgress, ADeepScanOfAnNtfsVolumeReadsItsFreeSpaceOnce) {
    const std::string image = Formatted("ntfs");
    if (!RequireFile(image))
        return;
    uint64_t asked = 0;
    const DeepRead read = ReadDeep(image, SIZE_MAX, &asked);
    ASSERT_GT(read.byContent, 0u);
    const uint64_t volume = std::filesystem::file_size(image);
    EXPECT_LT(asked, volume + volume / 4);
}
