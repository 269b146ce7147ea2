// The scan worker runs whole scans: NTFS drives first, stops reported once.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <mutex>
#include <new>

#include "scan/scan_worker.h"
#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {
struct Fixture {
    TUnDeleteProgress progress;
    TScanFileType types;
    TScanPath paths;
    RecordingSink sink;
    TThreadScan worker{progress, types, paths, &sink};
    Fixture() {
        types.SelectAll();
    }
    void Whole(const std::string& drive) {
        paths.AddDriver(drive);
        paths.AddWholeDriver(drive);
    }
};
} // namespace

TEST(ScanWorker, ReadsNtfsBeforeFatAndListsBoth) {
    const std::string fat = CorpusPath("fat32-basic.img"), ntfs = CorpusPath("ntfs-basic.img");
    if (!RequireFile(fat) || !RequireFile(ntfs))
        return;
    Fixture s;
    ASSERT_NE(s.worker.DiskFor(fat), nullptr);  // the FAT drive comes first in the list
    ASSERT_NE(s.worker.DiskFor(ntfs), nullptr);
    s.Whole(fat);
    s.Whole(ntfs);
    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    EXPECT_TRUE(s.progress.FScanFinished);
    EXPECT_EQ(s.progress.FDiskCount, 2);
    EXPECT_EQ(s.progress.FNtfsDiskCount, 1);
    EXPECT_EQ(s.worker.Disks[1]->AcceptedCount + s.worker.Disks[0]->AcceptedCount, s.worker.AllFiles.size());
    EXPECT_EQ(s.progress.FResultCount, s.worker.AllFiles.size());
    // The listing follows the list of drives: the FAT drive's files come first.
    ASSERT_FALSE(s.worker.AllFiles.empty());
    EXPECT_EQ(s.worker.AllFiles.front()->Drive, s.worker.Disks[0]->Drive.get());
    EXPECT_TRUE(s.sink.messages.empty());  // an unstopped pass posts nothing
    EXPECT_GT(s.progress.FRecordEstimate, 0);
}

TEST(ScanWorker, NoSelectedDriveFinishesEmpty) {
    Fixture s;
    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    EXPECT_TRUE(s.progress.FScanFinished);
    EXPECT_EQ(s.progress.FResultCount, 0u);
    EXPECT_TRUE(s.sink.messages.empty());
}

TEST(ScanWorker, AStopDuringReadingEndsWithNothingListedAndOneMessage) {
    const std::string ntfs = CorpusPath("ntfs-basic.img");
    if (!RequireFile(ntfs))
        return;
    Fixture s;
    ASSERT_NE(s.worker.DiskFor(ntfs), nullptr);
    s.Whole(ntfs);
    // The worker is held in another job while the scan is asked for and stopped,
    // so the stop is in place before the scan's first step, whatever the timing.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    s.worker.FilterPass = [released] { released.wait(); };
    s.worker.StartFilterPass();
    s.worker.StartScan();
    s.worker.StopCurrentDisk();
    s.worker.PassIdle = true;
    s.progress.FScanCancelled = true;
    release.set_value();
    s.worker.WaitUntilIdle();
    EXPECT_TRUE(s.worker.AllFiles.empty());
    EXPECT_EQ(s.sink.messages, std::vector<unsigned>{kMsgScanStopped});
}

TEST(ScanWorker, DriveRefreshKeepsNamedImages) {
    const std::string ntfs = CorpusPath("ntfs-basic.img");
    if (!RequireFile(ntfs))
        return;
    Fixture s;
    ASSERT_NE(s.worker.DiskFor(ntfs), nullptr);
    s.worker.StartDriveRefresh();
    s.worker.WaitUntilIdle();
    EXPECT_TRUE(s.worker.EnumDone);
    EXPECT_EQ(s.worker.Disks.front()->DriveName, ntfs);
}

TEST(ScanWorker, ReachingTheRecordCapMarksTheScanTruncated) {
    for (const std::string name : {"ntfs-basic.img", "fat32-basic.img"}) {
        SCOPED_TRACE(name);
        const std::string image = CorpusPath(name);
        if (!RequireFile(image))
            continue;
        Fixture s;
        ASSERT_NE(s.worker.DiskFor(image), nullptr);
        s.Whole(image);
        s.worker.StartScan();
        s.worker.WaitUntilIdle();
        EXPECT_FALSE(s.progress.FTruncated);
        const size_t whole = s.worker.AllFiles.size();

        s.progress.FMaxFiles = 10;
        s.worker.StartScan();
        s.worker.WaitUntilIdle();
        EXPECT_TRUE(s.progress.FTruncated);
        EXPECT_TRUE(s.progress.FScanFinished);
        EXPECT_LT(s.worker.AllFiles.size(), whole);

        // The mark belongs to one scan: the next, under the cap, starts clear of it.
        s.progress.FMaxFiles = 8'000'000;
        s.worker.StartScan();
        s.worker.WaitUntilIdle();
        EXPECT_FALSE(s.progress.FTruncated);
        EXPECT_EQ(s.worker.AllFiles.size(), whole);
    }
}

TEST(ScanWorker, AJobThatThrowsEndsFailedAndTheWorkerGoesOn) {
    const std::string ntfs = CorpusPath("ntfs-basic.img");
    if (!RequireFile(ntfs))
        return;
    Fixture s;
    ASSERT_NE(s.worker.DiskFor(ntfs), nullptr);
    s.Whole(ntfs);
    // The result view's filter pass runs on the worker's thread; here it finds no memory.
    s.worker.FilterPass = [] { throw std::bad_alloc(); };
    s.worker.StartFilterPass();
    s.worker.WaitUntilIdle();
    EXPECT_TRUE(s.progress.FFilterDone);  // the result view waiting on it is released
    EXPECT_EQ(s.worker.FailureText, "memory ran out");

    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    EXPECT_FALSE(s.progress.FScanFailed);
    EXPECT_EQ(s.worker.FailureText, "");
    EXPECT_FALSE(s.worker.AllFiles.empty());
}

// Scans a FAT volume with too little memory for its allocation table, then
// again with enough; "ok" when the first ends as failed and the second lists.
std::string ScanWhileMemoryRunsOut(const std::string& fat) {
    Fixture s;
    if (!s.worker.DiskFor(fat))
        return "the image did not open";
    s.Whole(fat);
    if (!LimitAddressSpace(64 << 10))
        return "no limit could be set";
    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    UnlimitAddressSpace();
    if (!s.progress.FScanFailed)
        return "the scan did not end as failed (" + std::to_string(s.worker.AllFiles.size()) + " files)";
    if (!s.progress.FScanFinished || !s.worker.PassIdle)
        return "the scan was left unfinished";
    if (s.worker.FailureText != fat + ": memory ran out")
        return "the failure reads: " + s.worker.FailureText;
    if (!s.worker.AllFiles.empty())
        return "a failed scan lists files";
    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    if (s.progress.FScanFailed || s.worker.AllFiles.empty())
        return "the scan after it failed too";
    return "ok";
}

TEST(ScanWorker, MemoryRunningOutEndsTheScanAsFailed) {
    if (!CanLimitAddressSpace())
        GTEST_SKIP() << "memory is made to run out by limiting a child process's address space";
    const std::string fat = CorpusPath("fat32-basic.img");
    if (!RequireFile(fat))
        return;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithAnswer(ScanWhileMemoryRunsOut(fat)), ::testing::ExitedWithCode(0), "");
}

// The window's deep scan: an image opened to be searched by content is read
// whole, its bytes counted for the progress; the next scan counts afresh; and
// a FAT volume listed before the deep scan was asked for gets its lost folders.
TEST(ScanWorker, ADeepScanCountsTheBytesSearchedAndSearchesAListedVolumesFreeSpace) {
    const std::string card = std::string(DUNRO_CONTENT_IMAGES_DIR) + "/content-fat32-raw.img";
    const std::string fat = std::string(DUNRO_BINARY_DIR) + "/lost-folder-images/fat32-lost-folder.img";
    if (!RequireFile(card) || !RequireFile(fat))
        return;
    Fixture s;
    s.worker.ImagesToOpen = {card};
    s.worker.ImagesByContent = {card};
    s.worker.StartImageOpen();
    s.worker.WaitUntilIdle();
    ASSERT_EQ(s.worker.OpenedImages.size(), 1u);
    EXPECT_EQ(s.worker.OpenedImages[0].Verdict, SourceVerdict::Usable);
    s.worker.AdoptOpenedImages();
    ASSERT_EQ(s.worker.Disks.size(), 1u);
    EXPECT_EQ(s.worker.Disks[0]->FileSystem(), kFileSystemContent);
    s.Whole(card);
    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    EXPECT_EQ(uint64_t(s.progress.FBytesSearched), std::filesystem::file_size(card));
    EXPECT_GT(s.progress.FResultCount, 0u);

    TMyDisk* volume = s.worker.DiskFor(fat);
    ASSERT_NE(volume, nullptr);
    auto lostFolderFiles = [&s] {
        size_t count = 0;
        for (const TMyFile* f : s.worker.AllFiles)
            count += f->FolderPath.rfind("Found by content\\Lost folder ", 0) == 0;
        return count;
    };
    s.paths.Clear();
    s.Whole(fat);
    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    EXPECT_EQ(uint64_t(s.progress.FBytesSearched), 0u);
    EXPECT_EQ(lostFolderFiles(), 0u);
    s.worker.DeepScan = true;
    s.worker.StartScan();
    s.worker.WaitUntilIdle();
    EXPECT_GT(lostFolderFiles(), 0u);
    EXPECT_EQ(volume->FileSystem(), kFileSystemFat32);
}
