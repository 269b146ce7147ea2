// The recovery worker on a real volume: exact copies, unique names, times,
// pauses and stops that never leave a partial file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "support/process.h"
#include "support/test_support.h"
#include "volume/file_data.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch" / (name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Nothing but the report of what the job did.
bool HoldsOnlyTheReport(const fs::path& dest) {
    for (const auto& entry : fs::directory_iterator(dest))
        if (entry.path().filename() != "dunro-report.xml" && entry.path().filename() != "dunro-report.csv")
            return false;
    return true;
}

std::vector<uint8_t> ReadWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class RecoverWorker : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RequireFile(CorpusPath("ntfs-basic.img")))
            GTEST_SKIP();
        ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
        dest = FreshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(dest); }

    void CheckAll() {
        for (TMyFile* f : scan.results)
            f->Checked = true;
    }

    ScanSetup scan;
    fs::path dest;
    RecordingSink sink;
};

} // namespace

TEST_F(RecoverWorker, CopiesExactlyAndNumbersClashes) {
    for (TMyFile* f : scan.results)
        f->Checked = f->FileName == "beach.jpg" || f->FileName == "tiny.png";
    TThreadRecover worker(scan.progress, &sink);
    worker.FilePauseMs = 0;
    std::ofstream(dest / "beach.jpg") << "already here";
    std::ofstream(dest / "beach(0).jpg") << "and here";
    worker.PrepareJob(scan.results);
    ASSERT_EQ(worker.Jobs.size(), 2u);
    ASSERT_EQ(CheckDestination(worker, dest.string()), DestinationVerdict::Ok);
    worker.Start();
    worker.WaitUntilDone();
    ASSERT_EQ(worker.Outcomes.size(), 2u);
    EXPECT_EQ(scan.progress.FRecoverSucceeded, 2u);
    EXPECT_EQ(scan.progress.FUnitsDone, scan.progress.FUnitsTotal);
    EXPECT_EQ(sink.messages, std::vector<unsigned>{kMsgRecoveryFinished});
    for (const auto& o : worker.Outcomes) {
        ASSERT_TRUE(o.Ok) << o.Error;
        std::vector<uint8_t> expected;
        ASSERT_TRUE(ReadAll(*o.File, expected));
        EXPECT_EQ(ReadWhole(PathOf(o.Target)), expected);
        if (o.File->FileName == "beach.jpg") {
            EXPECT_EQ(PathOf(o.Target).filename(), "beach(1).jpg");
        }
    }
    EXPECT_EQ(ReadWhole(dest / "beach.jpg").size(), 12u);  // nothing replaced
}

TEST_F(RecoverWorker, AStopLeavesOnlyCompleteFiles) {
    CheckAll();
    TThreadRecover worker(scan.progress, &sink);
    worker.FilePauseMs = 0;
    worker.PrepareJob(scan.results);
    ASSERT_EQ(CheckDestination(worker, dest.string()), DestinationVerdict::Ok);
    worker.Start();
    worker.Stop();
    worker.WaitUntilDone();
    EXPECT_LT(worker.Outcomes.size(), worker.Jobs.size() + 1);
    std::set<std::string> complete;
    for (const auto& o : worker.Outcomes)
        if (o.Ok)
            complete.insert(shell::TextOf(PathOf(o.Target).filename()));
    complete.insert("dunro-report.xml");
    complete.insert("dunro-report.csv");
    for (const auto& entry : fs::directory_iterator(dest))
        EXPECT_TRUE(complete.count(shell::TextOf(entry.path().filename()))) << "partial file left: " << entry.path();
}

TEST_F(RecoverWorker, PauseHoldsTheJobUntilResumed) {
    // Two files, and a second's rest after each: the pause asked for right after
    // the start always arrives while the job runs.
    int picked = 0;
    for (TMyFile* f : scan.results)
        f->Checked = picked < 2 && f->FileSize < 100000 && ++picked;
    TThreadRecover worker(scan.progress, &sink);
    worker.FilePauseMs = 1000;
    worker.PrepareJob(scan.results);
    ASSERT_EQ(worker.Jobs.size(), 2u);
    ASSERT_EQ(CheckDestination(worker, dest.string()), DestinationVerdict::Ok);
    worker.Start();
    worker.Pause();
    EXPECT_FALSE(worker.WaitUntilDoneFor(1500));  // held after its first file
    EXPECT_FALSE(worker.JobDone);
    EXPECT_LE(worker.Outcomes.size(), 1u);
    worker.Resume();
    worker.WaitUntilDone();
    EXPECT_EQ(worker.Outcomes.size(), 2u);
}

TEST_F(RecoverWorker, AnEmptyJobStillReportsItsEnd) {
    TThreadRecover worker(scan.progress, &sink);
    worker.PrepareJob(scan.results);
    EXPECT_TRUE(worker.Jobs.empty());
    worker.Destination = dest.string();
    worker.Start();
    worker.WaitUntilDone();
    EXPECT_EQ(sink.messages, std::vector<unsigned>{kMsgRecoveryFinished});
}

TEST_F(RecoverWorker, DestinationChecks) {
    CheckAll();
    TThreadRecover worker(scan.progress, &sink);
    worker.PrepareJob(scan.results);
    EXPECT_EQ(CheckDestination(worker, (dest / "missing").string()), DestinationVerdict::Missing);
    // An image is never the destination's drive; a folder is never on an image.
    EXPECT_FALSE(worker.TargetOnSourceDrive());
    EXPECT_EQ(worker.FormatJobSize().back(), 'B');
}

// The reader marks files whose data NTFS encrypted; here one is marked by hand.
TEST_F(RecoverWorker, AnEncryptedFileFailsSayingSoAndWritesNothing) {
    TMyFile* photo = nullptr;
    for (TMyFile* f : scan.results) {
        f->Checked = f->FileName == "beach.jpg";
        if (f->Checked)
            photo = f;
    }
    ASSERT_NE(photo, nullptr);
    photo->Encrypted = true;
    TThreadRecover worker(scan.progress, &sink);
    worker.FilePauseMs = 0;
    worker.PrepareJob(scan.results);
    ASSERT_EQ(CheckDestination(worker, dest.string()), DestinationVerdict::Ok);
    worker.Start();
    worker.WaitUntilDone();
    ASSERT_EQ(worker.Outcomes.size(), 1u);
    EXPECT_FALSE(worker.Outcomes[0].Ok);
    EXPECT_NE(worker.Outcomes[0].Error.find("encrypted"), std::string::npos) << worker.Outcomes[0].Error;
    EXPECT_EQ(scan.progress.FRecoverSucceeded, 0u);
    EXPECT_TRUE(HoldsOnlyTheReport(dest));
    // The shared data reader, which preview and `show --raw` use, refuses it too.
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadAll(*photo, data));
    EXPECT_EQ(volume::ReadFileData(*photo, [](std::span<const uint8_t>, bool) { return true; }),
              volume::ReadStatus::Encrypted);
}

namespace {
// Recovers the 4 MiB file and every file after it with too little memory for
// one read of it; "ok" when the job ends as failed after that file, says so
// and leaves nothing in the destination.
std::string RecoverWhileMemoryRunsOutInto(const std::string& image, const fs::path& dest) {
    ScanSetup scan;
    if (!scan.Run(image))
        return "the image did not scan";
    bool from = false;
    for (TMyFile* f : scan.results) {
        from = from || f->FileName == "4MiB.bin";
        f->Checked = from;
    }
    RecordingSink sink;
    TThreadRecover worker(scan.progress, &sink);
    worker.FilePauseMs = 0;
    worker.PrepareJob(scan.results);
    if (worker.Jobs.size() < 2)
        return "the job holds " + std::to_string(worker.Jobs.size()) + " files";
    if (CheckDestination(worker, shell::TextOf(dest)) != DestinationVerdict::Ok)
        return "the destination was refused";
    if (!LimitAddressSpace(256 << 10))
        return "no limit could be set";
    worker.Start();
    worker.WaitUntilDone();
    UnlimitAddressSpace();
    if (!scan.progress.FRecoverFailed || !scan.progress.FRecoverDone || !worker.JobDone)
        return "the job did not end as failed";
    if (sink.messages != std::vector<unsigned>{kMsgRecoveryFinished})
        return "the window was not told that the job ended";
    if (worker.FailureText != "memory ran out")
        return "the failure reads: " + worker.FailureText;
    if (worker.Outcomes.size() != 1 || worker.Outcomes[0].Ok || worker.Outcomes[0].File->FileName != "4MiB.bin" ||
        worker.Outcomes[0].Error != "memory ran out")
        return "the outcomes do not name the file it failed on";
    if (!HoldsOnlyTheReport(dest))
        return "a partial copy was left behind";
    return "ok";
}

std::string RecoverWhileMemoryRunsOut(const std::string& image) {
    // Made by the child, which has a process id of its own.
    const fs::path dest = fs::path(DUNRO_BINARY_DIR) / "scratch" / "recover-while-memory-runs-out";
    fs::remove_all(dest);
    fs::create_directories(dest);
    const std::string answer = RecoverWhileMemoryRunsOutInto(image, dest);
    fs::remove_all(dest);
    return answer;
}
} // namespace

TEST(RecoverWorkerMemory, RunningOutEndsTheJobAsFailedAndLeavesNoPartialCopy) {
    if (!CanLimitAddressSpace())
        GTEST_SKIP() << "memory is made to run out by limiting a child process's address space";
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithAnswer(RecoverWhileMemoryRunsOut(image)), ::testing::ExitedWithCode(0), "");
}
