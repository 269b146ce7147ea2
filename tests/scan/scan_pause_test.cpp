// A paused scan holds where it stands: the worker and both readers wait at
// their next stop test, nothing more is read or listed, and once resumed
// the scan lists exactly what an uninterrupted one lists.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "scan/scan_worker.h"
#include "support/test_support.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// How long a held reader is watched for movement.
constexpr auto kWatch = 300ms;

size_t UnpausedResultCount(const std::string& image) {
    ScanSetup s;
    EXPECT_TRUE(s.Run(image));
    return s.results.size();
}

// Reads and lists `image` with the scan paused before the reading, or
// before the listing, and checks that the reader waits until resumed.
void ExpectReaderHoldsWhilePaused(const std::string& image, bool pauseListing) {
    const size_t expected = UnpausedResultCount(image);
    ASSERT_GT(expected, 0u);
    ScanSetup s;
    s.disk = DiskFor(s.disks, image, s.Context());
    ASSERT_NE(s.disk, nullptr);
    s.paths.AddDriver(image);
    s.paths.AddWholeDriver(image);
    s.progress.ResetScan();
    if (pauseListing) {
        s.disk->Enumerate();
        s.progress.FFoundCount = static_cast<uint32_t>(s.disk->Files.size());
        s.progress.BeginListing();
    }
    s.progress.PauseScan();
    auto pass = std::async(std::launch::async, [&s, pauseListing] {
        if (!pauseListing) {
            s.disk->Enumerate();
            s.progress.FFoundCount = static_cast<uint32_t>(s.disk->Files.size());
            s.progress.BeginListing();
        }
        s.disk->ListResults(&s.results, &s.categories);
    });
    ASSERT_EQ(pass.wait_for(kWatch), std::future_status::timeout) << "the reader did not wait";
    const uint32_t read = s.progress.FRecordsRead, listed = s.progress.FListedCount;
    std::this_thread::sleep_for(kWatch);
    EXPECT_EQ(uint32_t(s.progress.FRecordsRead), read);
    EXPECT_EQ(uint32_t(s.progress.FListedCount), listed);
    s.progress.ResumeScan();
    pass.get();
    EXPECT_EQ(s.results.size(), expected);
}

} // namespace

TEST(ScanPause, TheNtfsReaderWaitsWhileReadingUntilResumed) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (RequireFile(image))
        ExpectReaderHoldsWhilePaused(image, false);
}

TEST(ScanPause, TheNtfsReaderWaitsWhileListingUntilResumed) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (RequireFile(image))
        ExpectReaderHoldsWhilePaused(image, true);
}

TEST(ScanPause, TheFatReaderWaitsWhileReadingUntilResumed) {
    const std::string image = CorpusPath("fat32-basic.img");
    if (RequireFile(image))
        ExpectReaderHoldsWhilePaused(image, false);
}

TEST(ScanPause, TheFatReaderWaitsWhileListingUntilResumed) {
    const std::string image = CorpusPath("fat32-basic.img");
    if (RequireFile(image))
        ExpectReaderHoldsWhilePaused(image, true);
}

TEST(ScanPause, APausedWorkerStartsNoDiskUntilResumedAndThenListsAll) {
    const std::string ntfs = CorpusPath("ntfs-basic.img"), fat = CorpusPath("fat32-basic.img");
    if (!RequireFile(ntfs) || !RequireFile(fat))
        return;
    const size_t expected = UnpausedResultCount(ntfs) + UnpausedResultCount(fat);
    TUnDeleteProgress progress;
    TScanFileType types;
    types.SelectAll();
    TScanPath paths;
    RecordingSink sink;
    TThreadScan worker(progress, types, paths, &sink);
    for (const std::string& image : {ntfs, fat}) {
        ASSERT_NE(worker.DiskFor(image), nullptr);
        paths.AddDriver(image);
        paths.AddWholeDriver(image);
    }
    progress.PauseScan();
    worker.StartScan();
    EXPECT_FALSE(worker.WaitUntilIdleFor(300));
    EXPECT_EQ(uint32_t(progress.FRecordsRead), 0u);
    EXPECT_EQ(uint8_t(progress.FDiskOrdinal), 0);
    EXPECT_FALSE(progress.FScanFinished);
    progress.ResumeScan();
    worker.WaitUntilIdle();
    EXPECT_TRUE(progress.FScanFinished);
    EXPECT_EQ(worker.AllFiles.size(), expected);
    EXPECT_TRUE(sink.messages.empty());
}

TEST(ScanPause, ClosingTheWorkerReleasesAPausedScan) {
    const std::string ntfs = CorpusPath("ntfs-basic.img");
    if (!RequireFile(ntfs))
        return;
    TUnDeleteProgress progress;
    TScanFileType types;
    types.SelectAll();
    TScanPath paths;
    auto worker = std::make_unique<TThreadScan>(progress, types, paths, nullptr);
    ASSERT_NE(worker->DiskFor(ntfs), nullptr);
    paths.AddDriver(ntfs);
    paths.AddWholeDriver(ntfs);
    progress.PauseScan();
    worker->StartScan();
    EXPECT_FALSE(worker->WaitUntilIdleFor(100));
    auto closing = std::async(std::launch::async, [&worker] { worker.reset(); });
    EXPECT_EQ(closing.wait_for(10s), std::future_status::ready) << "the paused worker kept its owner waiting";
}
