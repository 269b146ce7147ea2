// Recovering from a failing drive: unreadable sectors cost only their own
// bytes, which come back as zeros in a copy that is kept and reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/read_faults.h"
#include "recover/recover_worker.h"
#include "support/test_support.h"
#include "volume/file_data.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr uint32_t kLost = 4096;

std::vector<uint8_t> ReadWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A deleted file of about 1.5 MB whose data lies in one run on the volume.
const TMyFile* LargeContiguousFile(const std::vector<TMyFile*>& files) {
    for (const TMyFile* f : files)
        if (f->State == kStateExcellent && f->FileSize >= 1'000'000 && f->FileSize <= 2'000'000 &&
            f->CompressionUnit == 0 && f->Runs.size() == 1 && f->Runs[0].OnVolume && !f->Runs[0].IsHole)
            return f;
    return nullptr;
}

class FailingDriveRecovery : public ::testing::Test {
protected:
    void SetUp() override {
        image = CorpusPath("ntfs-basic.img");
        if (!RequireFile(image))
            GTEST_SKIP();
        dest = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("failing-drive-" + ProcessTag());
        fs::remove_all(dest);
        fs::create_directories(dest);
    }
    void TearDown() override {
        platform::ClearReadFaults();
        fs::remove_all(dest);
    }

    // Scans the image again as a drive failing in `plan`, checks the file of
    // record `recordNo` alone and recovers it.
    RecoveryOutcome RecoverFailing(int64_t recordNo, platform::ReadFaultPlan plan) {
        platform::SetReadFaults(image, std::move(plan));
        EXPECT_TRUE(failing.Run(image));
        for (TMyFile* f : failing.results)
            f->Checked = f->RecordNo == recordNo;
        TThreadRecover worker(failing.progress, &sink);
        worker.FilePauseMs = 0;
        worker.Destination = dest.string();
        worker.PrepareJob(failing.results);
        EXPECT_EQ(worker.Jobs.size(), 1u);
        worker.Start();
        worker.WaitUntilDone();
        EXPECT_EQ(worker.Outcomes.size(), 1u);
        return worker.Outcomes.empty() ? RecoveryOutcome{} : worker.Outcomes[0];
    }

    std::string image;
    fs::path dest;
    ScanSetup healthy, failing;
    RecordingSink sink;
};

TEST_F(FailingDriveRecovery, FourUnreadableKiBComeBackAsZerosAndEveryOtherByteRight) {
    ASSERT_TRUE(healthy.Run(image));
    const TMyFile* file = LargeContiguousFile(healthy.results);
    ASSERT_NE(file, nullptr) << "no deleted file of about 1.5 MB in one run";
    std::vector<uint8_t> expected;
    ASSERT_TRUE(ReadAll(*file, expected));
    // 4 KiB in the middle of the file, on sector boundaries as a drive loses them.
    const uint64_t lostAt = static_cast<uint64_t>(file->FileSize) / 2 / 4096 * 4096;
    const uint64_t volumeAt = static_cast<uint64_t>(file->Runs[0].RunStart) + lostAt;

    platform::ReadFaultPlan plan;
    plan.Failing.push_back({volumeAt, kLost});
    const RecoveryOutcome outcome = RecoverFailing(file->RecordNo, plan);
    ASSERT_TRUE(outcome.Ok) << outcome.Error;
    EXPECT_EQ(outcome.UnreadableBytes, kLost);

    const std::vector<uint8_t> copy = ReadWhole(PathOf(outcome.Target));
    ASSERT_EQ(copy.size(), expected.size());
    for (size_t i = 0; i < copy.size(); ++i) {
        const bool lost = i >= lostAt && i < lostAt + kLost;
        ASSERT_EQ(copy[i], lost ? 0 : expected[i]) << "at byte " << i;
    }
}

TEST_F(FailingDriveRecovery, AFileOfWhichNothingCanBeReadFailsAndLeavesNoCopy) {
    ASSERT_TRUE(healthy.Run(image));
    const TMyFile* file = LargeContiguousFile(healthy.results);
    ASSERT_NE(file, nullptr);
    platform::ReadFaultPlan plan;
    plan.Failing.push_back({static_cast<uint64_t>(file->Runs[0].RunStart), static_cast<uint64_t>(file->FileSize)});
    const RecoveryOutcome outcome = RecoverFailing(file->RecordNo, plan);
    EXPECT_FALSE(outcome.Ok);
    EXPECT_EQ(outcome.UnreadableBytes, 0u);
    // Nothing but the report, which lists the failure.
    for (const auto& entry : fs::directory_iterator(dest))
        EXPECT_EQ(entry.path().stem(), "dunro-report") << "written: " << entry.path();
}

} // namespace
