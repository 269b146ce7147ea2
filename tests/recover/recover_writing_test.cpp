// How the recovery writes: a file appears under its name only when whole, a
// folder swapped mid-job receives nothing outside it, and as root through
// pkexec the files belong to the user who asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/destination_folder.h"
#include "platform/read_faults.h"
#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "support/process.h"
#include "support/system_user.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace testing_support;
using nlohmann::json;

namespace {

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch" / (name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

template <typename Condition>
bool WaitFor(Condition condition, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Small files whose data lies in clusters of their own, not in the MFT.
std::vector<TMyFile*> PlainFiles(const ScanSetup& scan, size_t count) {
    std::vector<TMyFile*> picked;
    for (TMyFile* f : scan.results)
        if (picked.size() < count && f->FileSize > 0 && f->FileSize < 200000 && !f->Encrypted &&
            f->CompressionUnit == 0 && !f->Runs.empty() && f->Runs[0].OnVolume && !f->Runs[0].IsHole)
            picked.push_back(f);
    return picked;
}

} // namespace

#ifndef _WIN32

// The command line is killed while the second piece of a fragmented file is
// held up: what it wrote so far must not carry the file's name.
TEST(RecoverWriting, AKilledRecoveryLeavesNoFileUnderTheRealName) {
    const std::string image = CorpusPath("ntfs-fragmented.img");
    if (!RequireFile(image))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    const TMyFile* big = nullptr;
    for (const TMyFile* f : scan.results)
        if (f->Runs.size() >= 3 && f->CompressionUnit == 0 && !f->Encrypted && f->Runs[0].OnVolume &&
            !f->Runs[0].IsHole && f->Runs[1].OnVolume && !f->Runs[1].IsHole && (!big || f->FileSize > big->FileSize))
            big = f;
    ASSERT_NE(big, nullptr) << "no fragmented deleted file in " << image;

    int64_t id = -1;
    const json listing = json::parse(RunProgram(DUNRO_BIN, {"scan", image, "--format", "json"}).out);
    for (const json& f : listing["files"])
        if (f["record_no"].get<int64_t>() == big->RecordNo)
            id = f["id"].get<int64_t>();
    ASSERT_GE(id, 0);

    const fs::path dest = FreshDir("killed-mid-file");
    const std::string slow = "DUNRO_TEST_READ_FAULTS=slow:" + std::to_string(big->Runs[1].RunStart) + ":1:60000";
    RunningProgram child =
        StartProgram(DUNRO_BIN, {"recover", image, "--to", dest.string(), "--id", std::to_string(id)}, {slow});
    ASSERT_GT(child.pid, 0);
    const bool wrote = WaitFor(
        [&] {
            for (const auto& entry : fs::directory_iterator(dest))
                if (entry.is_regular_file() && entry.file_size() >= static_cast<uint64_t>(big->Runs[0].RunLength))
                    return true;
            return false;
        },
        30000);
    KillProgram(child);
    ASSERT_TRUE(wrote) << "the first piece of " << big->FileName << " was never written";
    for (const auto& entry : fs::directory_iterator(dest))
        EXPECT_TRUE(platform::IsTemporaryFileName(entry.path().filename().string()))
            << "a partial file under a finished name: " << entry.path();
    fs::remove_all(dest);
}

// The job is held inside its second file while the destination is moved away
// and a link to another folder put in its place.
TEST(RecoverWriting, AFolderSwappedForALinkMidJobReceivesNothingOutside) {
    if (!RequireFile(CorpusPath("ntfs-basic.img")))
        return;
    const std::string image = CopyToTemp(CorpusPath("ntfs-basic.img"), "swapped-folder");
    std::vector<TMyFile*> files;
    {
        ScanSetup probe;
        ASSERT_TRUE(probe.Run(image));
        files = PlainFiles(probe, 3);
        ASSERT_EQ(files.size(), 3u);
        platform::SetReadFaults(image, {{}, {{static_cast<uint64_t>(files[1]->Runs[0].RunStart), 1, 2000}}});
    }
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    std::vector<TMyFile*> picked = PlainFiles(scan, 3);
    for (TMyFile* f : scan.results)
        f->Checked = std::find(picked.begin(), picked.end(), f) != picked.end();

    const fs::path base = FreshDir("swapped-folder");
    const fs::path dest = base / "dest", moved = base / "moved", outside = base / "outside";
    fs::create_directories(dest);
    fs::create_directories(outside);
    RecordingSink sink;
    TThreadRecover worker(scan.progress, &sink);
    worker.FilePauseMs = 0;
    worker.PrepareJob(scan.results);
    ASSERT_EQ(worker.Jobs.size(), 3u);
    ASSERT_EQ(CheckDestination(worker, dest.string()), DestinationVerdict::Ok);
    worker.Start();
    ASSERT_TRUE(WaitFor([&] { return scan.progress.FRecoverAttempted >= 2u; }, 20000));
    fs::rename(dest, moved);
    fs::create_directory_symlink(outside, dest);
    worker.WaitUntilDone();
    platform::ClearReadFaults();

    EXPECT_TRUE(fs::is_empty(outside)) << "files were written through the link";
    size_t inMoved = 0;
    for (const auto& entry : fs::directory_iterator(moved)) {
        EXPECT_FALSE(platform::IsTemporaryFileName(entry.path().filename().string())) << entry.path();
        ++inMoved;
    }
    // The three files, and the report beside them in the folder held open.
    EXPECT_EQ(inMoved, 5u);
    EXPECT_TRUE(fs::exists(moved / "dunro-report.xml"));
    EXPECT_TRUE(fs::exists(moved / "dunro-report.csv"));
    for (const auto& o : worker.Outcomes)
        EXPECT_TRUE(o.Ok) << o.Error;
    fs::remove_all(base);
    fs::remove(image);
}

TEST(RecoverWriting, AsRootThroughPkexecTheFilesBelongToTheInvokingUser) {
    if (!RequireRoot("giving files to another user"))
        return;
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    ScopedSystemUser user("dunro-t" + std::to_string(::getpid() % 100000));
    ASSERT_TRUE(user.Made()) << "useradd failed";
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    std::vector<TMyFile*> picked = PlainFiles(scan, 2);
    for (TMyFile* f : scan.results)
        f->Checked = std::find(picked.begin(), picked.end(), f) != picked.end();
    const fs::path dest = FreshDir("given-to-user"), third = FreshDir("third-users-folder");
    ASSERT_EQ(::chown(third.c_str(), 65534, 65534), 0);

    ::setenv("PKEXEC_UID", std::to_string(user.Uid()).c_str(), 1);
    RecordingSink sink;
    TThreadRecover worker(scan.progress, &sink);
    worker.FilePauseMs = 0;
    worker.PrepareJob(scan.results);
    // Files given to one user are not dropped into a third user's folder.
    EXPECT_EQ(CheckDestination(worker, third.string()), DestinationVerdict::ReadOnly);
    const DestinationVerdict verdict = CheckDestination(worker, dest.string());
    if (verdict == DestinationVerdict::Ok) {
        worker.Start();
        worker.WaitUntilDone();
    }
    ::unsetenv("PKEXEC_UID");
    ASSERT_EQ(verdict, DestinationVerdict::Ok);

    ASSERT_EQ(worker.Outcomes.size(), 2u);
    for (const auto& o : worker.Outcomes) {
        ASSERT_TRUE(o.Ok) << o.Error;
        struct stat st {};
        ASSERT_EQ(::lstat(o.Target.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, user.Uid()) << o.Target;
        EXPECT_EQ(st.st_gid, user.Gid()) << o.Target;
    }
    fs::remove_all(dest);
    fs::remove_all(third);
}

#endif

// The rename that gives a finished copy its name never replaces a file that
// appeared under that name meanwhile.
TEST(RecoverWriting, NamingAFinishedCopyNeverReplacesAFile) {
    const fs::path dest = FreshDir("rename-no-replace");
    std::string error, temporary;
    auto folder = platform::DestinationFolder::Open(dest.string(), error);
    ASSERT_NE(folder, nullptr) << error;
    auto out = folder->CreateTemporary(temporary, error);
    ASSERT_NE(out, nullptr) << error;
    EXPECT_TRUE(platform::IsTemporaryFileName(temporary)) << temporary;
    const uint8_t byte = 'x';
    ASSERT_TRUE(out->Write({&byte, 1}, error));
    ASSERT_TRUE(out->Close(error));
    std::ofstream(dest / "taken.txt") << "the user's";
    EXPECT_EQ(folder->RenameNoReplace(temporary, "taken.txt", error), platform::DestinationFolder::RenameResult::NameTaken);
    EXPECT_EQ(fs::file_size(dest / "taken.txt"), 10u);
    EXPECT_EQ(folder->RenameNoReplace(temporary, "free.txt", error), platform::DestinationFolder::RenameResult::Done);
    EXPECT_EQ(fs::file_size(dest / "free.txt"), 1u);
    EXPECT_FALSE(folder->Has(temporary));
    folder.reset();
    fs::remove_all(dest);
}
