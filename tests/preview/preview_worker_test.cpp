// The preview workers on real volumes.
#include <gtest/gtest.h>

#include "preview/preview_worker.h"
#include "scan/scan_selection.h"
#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {
TMyFile* Named(ScanSetup& scan, const std::string& name) {
    for (TMyFile* f : scan.results)
        if (f->FileName == name)
            return f;
    return nullptr;
}

std::vector<std::string> ManifestParagraphs(const std::string& image, const std::string& path) {
    const json manifest = LoadManifest(image);
    for (const json& e : manifest["files"])
        if (e["path"] == path)
            return e.value("docx_paragraphs", std::vector<std::string>{});
    return {};
}
} // namespace

TEST(PreviewWorker, WordDocumentsYieldTheirParagraphs) {
    for (const auto& [image, path, name] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"ntfs-basic.img", "Users/Ann/Documents/report.docx", "report.docx"},
             {"fat32-basic.img", "Documents/Report 2021.docx", "Report 2021.docx"}}) {
        SCOPED_TRACE(image);
        if (!RequireFile(CorpusPath(image)))
            continue;
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(CorpusPath(image)));
        TMyFile* doc = Named(scan, name);
        ASSERT_NE(doc, nullptr);
        const auto paragraphs = ManifestParagraphs(image, path);
        ASSERT_FALSE(paragraphs.empty());

        TPreviewWorker large(kLargePreview);
        large.Start(doc);
        large.WaitUntilDone();
        ASSERT_TRUE(large.Success());
        EXPECT_EQ(large.Lines(), paragraphs);
        EXPECT_FALSE(large.Content().empty());

        TPreviewWorker small(kSmallPreview);
        small.Start(doc);
        small.WaitUntilDone();
        ASSERT_TRUE(small.Success());
        EXPECT_EQ(small.Lines().size(), std::min<size_t>(paragraphs.size(), 11));
        EXPECT_TRUE(small.Content().empty());
    }
}

TEST(PreviewWorker, TextFilesShowTheirText) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    TMyFile* notes = Named(scan, "notes.txt");
    ASSERT_NE(notes, nullptr);
    std::vector<uint8_t> raw;
    ASSERT_TRUE(ReadAll(*notes, raw));
    TPreviewWorker worker(kLargePreview);
    worker.Start(notes);
    worker.WaitUntilDone();
    ASSERT_TRUE(worker.Success());
    EXPECT_EQ(worker.Kind(), kPreviewText);
    EXPECT_EQ(worker.Text(), std::string(raw.begin(), raw.end()));
}

TEST(PreviewWorker, KindsAndGradesDecideWhatIsPreviewed) {
    TMyFile f;
    f.PreviewKind = kPreviewPicture;
    f.State = kStatePoor;
    EXPECT_FALSE(IsPreviewable(f));
    f.State = kStateGood;
    EXPECT_TRUE(IsPreviewable(f));
    f.PreviewKind = kPreviewDocx;
    EXPECT_FALSE(IsPreviewable(f));
    f.State = kStateExcellent;
    EXPECT_TRUE(IsPreviewable(f));
    f.PreviewKind = kPreviewText;
    f.State = kStatePoor;
    EXPECT_TRUE(IsPreviewable(f));
    f.PreviewKind = kPreviewNone;
    EXPECT_FALSE(IsPreviewable(f));
}

TEST(PreviewWorker, SmallPaneShowsAtMostTenKilobytesOfText) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    TMyFile* big = Named(scan, "4MiB.bin");
    ASSERT_NE(big, nullptr);
    for (int64_t size : {10'240, 10'241}) {
        TMyFile text = *big;
        text.PreviewKind = kPreviewText;
        text.FileSize = size;
        TPreviewWorker worker(kSmallPreview);
        worker.Start(&text);
        worker.WaitUntilDone();
        ASSERT_TRUE(worker.Success());
        EXPECT_EQ(worker.Content().size(), static_cast<size_t>(size));
        std::vector<uint8_t> first(worker.Content().begin(), worker.Content().begin() + 10'240);
        EXPECT_EQ(worker.Text(), DecodePreviewText(first));
    }
}

TEST(PreviewWorker, ACancelledRequestEndsWithoutResultAndTheWorkerGoesOn) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    TMyFile whole = *scan.results.front();  // the whole volume read as one text
    whole.Runs = {TMyFileRun{0, 48 << 20, 0, true}};
    whole.FileSize = 48 << 20;
    whole.PreviewKind = kPreviewText;
    TPreviewWorker worker(kLargePreview);
    worker.Start(&whole);
    worker.Cancel();
    worker.WaitUntilDone();
    EXPECT_TRUE(worker.State.WorkDone);
    EXPECT_FALSE(worker.Success());
    TMyFile* notes = Named(scan, "notes.txt");
    ASSERT_NE(notes, nullptr);
    worker.Start(notes);
    worker.WaitUntilDone();
    EXPECT_TRUE(worker.Success());
}

TEST(PreviewText, EncodingsAreDetected) {
    EXPECT_EQ(DecodePreviewText({0xEF, 0xBB, 0xBF, 'h', 0xC3, 0xA9}), "hé");
    EXPECT_EQ(DecodePreviewText({0xFF, 0xFE, 'h', 0, 0xE9, 0}), "hé");
    EXPECT_EQ(DecodePreviewText({'h', 0xC3, 0xA9}), "hé");
    EXPECT_EQ(DecodePreviewText({'h', 0xE9}), "hé");  // not UTF-8: Windows-1252
    EXPECT_EQ(DecodePreviewText({0x80}), "€");
}

TEST(PreviewWorker, EncryptedFilesAreNotPreviewed) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    TMyFile* notes = Named(scan, "notes.txt");
    ASSERT_NE(notes, nullptr);
    notes->Encrypted = true;  // as the reader marks data that NTFS encrypted
    EXPECT_FALSE(IsPreviewable(*notes));
    TPreviewWorker worker(kLargePreview);
    worker.Start(notes);
    worker.WaitUntilDone();
    EXPECT_FALSE(worker.Success());
    EXPECT_TRUE(worker.Content().empty());
}

namespace {
// Previews a picture with too little memory to hold it, then again with
// enough; "ok" when the first request ends as failed, saying why, and the
// worker then shows the picture.
std::string PreviewWhileMemoryRunsOut(const std::string& image) {
    ScanSetup scan;
    if (!scan.Run(image))
        return "the image did not scan";
    TMyFile* photo = Named(scan, "beach.jpg");
    if (!photo || photo->FileSize < (128 << 10))
        return "no picture large enough";
    TPreviewWorker worker(kLargePreview);
    if (!LimitAddressSpace(64 << 10))
        return "no limit could be set";
    worker.Start(photo);
    worker.WaitUntilDone();
    UnlimitAddressSpace();
    if (!worker.State.WorkDone || worker.Success())
        return "the request did not end as failed";
    if (worker.Failure() != "memory ran out")
        return "the failure reads: " + worker.Failure();
    worker.Start(photo);
    worker.WaitUntilDone();
    if (!worker.Success() || worker.Content().size() != static_cast<size_t>(photo->FileSize) || !worker.Failure().empty())
        return "the request after it failed too";
    return "ok";
}
} // namespace

TEST(PreviewWorker, MemoryRunningOutEndsTheRequestAsFailed) {
    if (!CanLimitAddressSpace())
        GTEST_SKIP() << "memory is made to run out by limiting a child process's address space";
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithAnswer(PreviewWhileMemoryRunsOut(image)), ::testing::ExitedWithCode(0), "");
}
