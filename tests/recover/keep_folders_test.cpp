// Folders kept by the recovery worker get the times their records keep,
// set once their files are in.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#ifdef _WIN32
#include <windows.h>
#endif

#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "recover/target_folder.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

int64_t UnixSeconds(FileTime time) { return static_cast<int64_t>((time - 116444736000000000ull) / 10000000); }

int64_t UnixSeconds(const fs::path& p) {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::file_clock::to_sys(fs::last_write_time(p)).time_since_epoch())
        .count();
}

#ifdef _WIN32
FileTime CreationTimeOf(const fs::path& p) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(p.wstring().c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<FileTime>(data.ftCreationTime.dwHighDateTime) << 32) | data.ftCreationTime.dwLowDateTime;
}

// Whether files in `dir` keep a creation time set on them: Windows' own file
// systems do; Wine on a Linux host's cannot, and keeps the time of creation.
bool CreationTimesSettable(const fs::path& dir) {
    const fs::path probe = dir / "creation-time-probe";
    { std::ofstream(probe) << "x"; }
    const FileTime wanted = 116444736000000000ull;  // 1970-01-01, far from now
    HANDLE h = CreateFileW(probe.wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    bool kept = false;
    if (h != INVALID_HANDLE_VALUE) {
        FILETIME ft{static_cast<DWORD>(wanted), static_cast<DWORD>(wanted >> 32)};
        kept = SetFileTime(h, &ft, nullptr, nullptr) != 0;
        CloseHandle(h);
    }
    kept = kept && CreationTimeOf(probe) == wanted;
    fs::remove(probe);
    return kept;
}
#endif

struct DeletedTree {
    std::string image;
    const char* top;                    // every file below it is recovered
    std::vector<std::string> folders;   // each named by a last part no other folder has
};

} // namespace

TEST(KeepFolders, FoldersTakeTheirRecordsTimesAfterTheirFiles) {
    const std::string exfat = std::string(DUNRO_BINARY_DIR) + "/exfat-images/exfat-4k.img";
    const std::vector<DeletedTree> trees = {
        {CorpusPath("ntfs-basic.img"), "Users/Bob/", {"Users/Bob", "Users/Bob/Desktop", "Users/Bob/Downloads/Old"}},
        {CorpusPath("fat32-basic.img"), "Old Stuff/",
         {"Old Stuff", "Old Stuff/Photos 2010", "Old Stuff/Photos 2010/Nested"}},
        // Its folder 100CARD was written into after it was made: the two times differ.
        {exfat, "DCIM/", {"DCIM", "DCIM/100CARD"}}};
    for (const DeletedTree& tree : trees) {
        SCOPED_TRACE(tree.image);
        if (!RequireFile(tree.image))
            continue;
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(tree.image));
        const fs::path dest = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("keep-times-" + ProcessTag());
        fs::remove_all(dest);
        fs::create_directories(dest);
        for (TMyFile* f : scan.results)
            f->Checked = SlashPath(f->FolderPath).rfind(tree.top, 0) == 0;
        RecordingSink sink;
        TThreadRecover worker(scan.progress, &sink);
        worker.FilePauseMs = 0;
        worker.KeepFolders = true;
        worker.PrepareJob(scan.results);
        worker.DescribeVolumes(scan.disks);
        ASSERT_GT(worker.Jobs.size(), 2u);
        ASSERT_EQ(CheckDestination(worker, dest.string()), DestinationVerdict::Ok);
        worker.Start();
        worker.WaitUntilDone();
        const fs::path volume = dest / recover::VolumeFolderName(scan.disk->Caption, scan.disk->DriveName);
#ifndef _WIN32
        std::map<std::string, int64_t> created;
        for (const FlsEntry& e : FlsBodyListing(tree.image))
            created[e.path] = e.created;
        ASSERT_FALSE(created.empty()) << "fls read nothing";
#endif
#ifdef _WIN32
        const bool creationSettable = CreationTimesSettable(dest);
#endif
        size_t timed = 0;
        for (const std::string& path : tree.folders) {
            SCOPED_TRACE(path);
            for (const auto& folder : scan.disk->Folders) {
                if (folder->FolderName != fs::path(path).filename().string())
                    continue;
                ASSERT_NE(folder->ModifiedTime, 0u);
                ASSERT_TRUE(fs::is_directory(volume / path));
                EXPECT_EQ(UnixSeconds(volume / path), UnixSeconds(folder->ModifiedTime));
                // The record's creation time too: the copy takes it where the system lets it be set.
                ASSERT_NE(folder->CreatedTime, 0u);
#ifdef _WIN32
                if (creationSettable)
                    EXPECT_EQ(CreationTimeOf(volume / path), folder->CreatedTime);
#else
                ASSERT_EQ(created.count(path), 1u);
                // FAT keeps hundredths beside the creation time, which TSK adds and the copy does not.
                EXPECT_LE(std::abs(UnixSeconds(folder->CreatedTime) - created.at(path)), 1);
#endif
                ++timed;
            }
        }
        EXPECT_EQ(timed, tree.folders.size());
#ifdef _WIN32
        for (const RecoveryOutcome& o : worker.Outcomes)
            if (creationSettable && o.Ok && o.File->HasTimes && o.File->CreatedTime)
                EXPECT_EQ(CreationTimeOf(PathOf(o.Target)), o.File->CreatedTime) << o.Target;
#endif
        fs::remove_all(dest);
    }
}
