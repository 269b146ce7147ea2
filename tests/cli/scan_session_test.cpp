// A scan as the command line runs it, in-process: what it tells the user of
// how the scan ended.
#include <gtest/gtest.h>

#include <cstdio>

#include "cli/scan_listing.h"
#include "cli/scan_session.h"
#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {
std::string PrintedJson(const cli::ScanSession& session, const cli::Options& options) {
    std::FILE* file = std::tmpfile();
    if (!file)
        return {};
    cli::PrintScanJson(session, session.Filtered(options), file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

bool AnyNoteSays(const std::vector<std::string>& notes, const std::string& word) {
    for (const std::string& note : notes)
        if (note.find(word) != std::string::npos)
            return true;
    return false;
}
} // namespace

TEST(ScanSession, ACappedScanWarnsAndItsJsonSaysTruncated) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    std::atomic<bool> interrupted{false};
    cli::ScanSession session(interrupted);
    ASSERT_EQ(session.Open({image}), cli::kExitOk);
    const cli::Options options;

    ASSERT_EQ(session.Run(options), cli::kExitOk);
    EXPECT_TRUE(session.EndNotes().empty());
    json whole = json::parse(PrintedJson(session, options));
    EXPECT_EQ(whole["truncated"], false);
    EXPECT_EQ(whole["low_memory"], false);

    session.Progress().FMaxFiles = 10;
    ASSERT_EQ(session.Run(options), cli::kExitOk);
    EXPECT_TRUE(AnyNoteSays(session.EndNotes(), "limit of 10 files")) << ::testing::PrintToString(session.EndNotes());
    json capped = json::parse(PrintedJson(session, options));
    EXPECT_EQ(capped["truncated"], true);
    EXPECT_LT(capped["files"].size(), whole["files"].size());
}

namespace {
// Runs a scan as the command line does, with too little memory for the FAT
// volume's allocation table; "ok" when it ends as failed and says so in one line.
std::string ScanSessionWhileMemoryRunsOut(const std::string& image) {
    std::atomic<bool> interrupted{false};
    cli::ScanSession session(interrupted);
    if (session.Open({image}) != cli::kExitOk)
        return "the image did not open";
    if (!LimitAddressSpace(64 << 10))
        return "no limit could be set";
    const int rc = session.Run(cli::Options());
    UnlimitAddressSpace();
    if (rc != cli::kExitJobFailed)
        return "the scan ended with " + std::to_string(rc);
    const auto notes = session.EndNotes();
    const std::string expected = "the scan failed: " + image + ": memory ran out; nothing is listed";
    if (notes != std::vector<std::string>{expected})
        return "the notes read: " + ::testing::PrintToString(notes);
    return "ok";
}
} // namespace

TEST(ScanSession, AScanThatRunsOutOfMemorySaysWhatFailedInOneLine) {
    if (!CanLimitAddressSpace())
        GTEST_SKIP() << "memory is made to run out by limiting a child process's address space";
    const std::string image = CorpusPath("fat32-basic.img");
    if (!RequireFile(image))
        return;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithAnswer(ScanSessionWhileMemoryRunsOut(image)), ::testing::ExitedWithCode(0),
                "dunro: the scan failed: .*memory ran out; nothing is listed\n");
}
