// The report of a job that was stopped part-way lists what it did.
#include <gtest/gtest.h>

#include <filesystem>

#include <pugixml.hpp>

#include "platform/clock.h"
#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

TEST(RecoveryReport, AStoppedJobsReportListsWhatWasDone) {
    if (!RequireFile(CorpusPath("ntfs-basic.img")))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    const fs::path dest = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("stopped-report-" + ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    for (TMyFile* f : scan.results)
        f->Checked = f->FileSize > 0 && !f->Encrypted;
    RecordingSink sink;
    TThreadRecover worker(scan.progress, &sink);
    // Long enough after each file for the stop to come before the last.
    worker.FilePauseMs = 300;
    worker.PrepareJob(scan.results);
    worker.DescribeVolumes(scan.disks);
    ASSERT_GT(worker.Jobs.size(), 5u);
    ASSERT_EQ(CheckDestination(worker, dest.string()), DestinationVerdict::Ok);
    worker.Start();
    // Stopped in the pause after the second copy; a slow machine may still
    // stop inside a copy, which the report then lists as not recovered.
    while (scan.progress.FRecoverSucceeded < 2 && !worker.JobDone)
        platform::SleepMs(5);
    worker.Stop();
    worker.WaitUntilDone();
    ASSERT_LT(worker.Outcomes.size(), worker.Jobs.size());
    ASSERT_GE(worker.Outcomes.size(), 2u);

    EXPECT_EQ(PathOf(worker.ReportPath), dest / "dunro-report.xml");
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((dest / "dunro-report.xml").c_str()));
    const pugi::xml_node root = doc.child("dfxml");
    EXPECT_STREQ(root.child("dunro:job").child("dunro:ending").text().get(), "stopped");
    std::vector<std::string> listed;
    for (const pugi::xml_node fo : root.child("volume").children("fileobject"))
        listed.push_back(fo.child("dunro:written_name").text().get());
    ASSERT_EQ(listed.size(), worker.Outcomes.size());
    size_t copies = 0;
    for (size_t i = 0; i < listed.size(); ++i) {
        if (!worker.Outcomes[i].Ok) {
            EXPECT_EQ(listed[i], "") << "a copy that was stopped has no name in the report";
            continue;
        }
        ++copies;
        EXPECT_EQ(PathOf(worker.Outcomes[i].Target), dest / PathOf(listed[i]));
        EXPECT_TRUE(fs::exists(dest / PathOf(listed[i])));
    }
    EXPECT_GE(copies, 2u);
    // Nothing but the copies, the report and its CSV: a stopped copy leaves nothing.
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(dest), fs::directory_iterator())),
              copies + 2);
    fs::remove_all(dest);
}
