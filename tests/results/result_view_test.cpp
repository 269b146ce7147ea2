// The result view on real scans: what each filter shows, the check marks
// and their counters, and the column sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "results/location.h"
#include "results/result_view.h"
#include "results/view_texts.h"
#include "support/process.h"
#include "support/test_support.h"
#include "volume/helpers.h"
#include "volume/text.h"
#include "platform/drives.h"
#include "platform/read_faults.h"

using namespace testing_support;
using results::TResultView;
using results::ViewFilter;

namespace {

std::set<std::string> Names(const std::vector<TMyFile*>& files) {
    std::set<std::string> names;
    for (const TMyFile* f : files)
        names.insert(f->FileName);
    return names;
}

const TMyFolder* Folder(const TMyDisk& disk, const std::string& path) {
    auto found = results::FoldersAt(disk, path);
    return found.size() == 1 ? found.front() : nullptr;
}

// Files of the scan whose folder path begins with `prefix` ("Users\").
std::set<std::string> NamesUnder(const std::vector<TMyFile*>& files, const std::string& prefix) {
    std::set<std::string> names;
    for (const TMyFile* f : files)
        if (f->FolderPath.rfind(prefix, 0) == 0)
            names.insert(f->FileName);
    return names;
}

// Two volumes scanned into one list of found files, as the scan worker
// lists its drives one after the other.
struct TwoVolumes {
    ScanSetup ntfs, fat;
    std::vector<TMyFile*> all;
    bool Run() {
        if (!ntfs.Run(CorpusPath("ntfs-basic.img")) || !fat.Run(CorpusPath("fat32-basic.img")))
            return false;
        all = ntfs.results;
        all.insert(all.end(), fat.results.begin(), fat.results.end());
        return true;
    }
};

} // namespace

TEST(ResultView, AFolderShowsEverythingBelowIt) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    const TMyFolder* users = Folder(*scan.disk, "Users");
    ASSERT_NE(users, nullptr);
    view.ShowLocation(scan.disk, users);
    EXPECT_EQ(Names(view.ShownFiles), NamesUnder(scan.results, "Users\\"));
    EXPECT_TRUE(Names(view.ShownFiles).count("todo.txt"));   // Users\Bob\Desktop, two levels down
    EXPECT_TRUE(Names(view.ShownFiles).count("beach.jpg"));  // Users\Ann\Pictures
    EXPECT_EQ(view.ShownFiles.size(), users->FileCount);
    EXPECT_EQ(std::set<TMyFile*>(view.BaseFiles.begin(), view.BaseFiles.end()),
              std::set<TMyFile*>(view.ShownFiles.begin(), view.ShownFiles.end()));
}

TEST(ResultView, ADriveShowsOnlyTheFilesTheScanKept) {
    // A folder of the rebuilt tree also holds the files the location choice
    // dropped; choosing the drive must not bring them back.
    ScanSetup scan;
    scan.paths.AddLocation(CorpusPath("ntfs-basic.img") + "\\Users\\");
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    scan.paths.FWholeDrivers.clear();
    // Run() chose the drive whole; list it again with the folder alone.
    scan.results.clear();
    for (auto& category : scan.categories)
        category->ClearExtensions();
    scan.disk->Enumerate();
    scan.disk->ListResults(&scan.results, &scan.categories);
    ASSERT_FALSE(scan.results.empty());
    ASSERT_EQ(Names(scan.results), NamesUnder(scan.results, "Users\\"));

    TResultView view(scan.results, &scan.progress);
    view.ShowLocation(scan.disk, nullptr);
    EXPECT_EQ(Names(view.ShownFiles), Names(scan.results));
    EXPECT_EQ(view.ShownFiles.size(), scan.results.size());
}

TEST(ResultView, ACategoryAfterAFolderListsMatchesFromAllDrives) {
    TwoVolumes scans;
    ASSERT_TRUE(scans.Run());
    TResultView view(scans.all, &scans.ntfs.progress);
    view.ShowLocation(scans.ntfs.disk, Folder(*scans.ntfs.disk, "Users/Ann/Music"));
    ASSERT_FALSE(view.ShownFiles.empty());
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"Photos", kCategoryPictures, false}));
    std::set<std::string> drives;
    for (const TMyFile* f : view.ShownFiles) {
        EXPECT_EQ(TScanFileType().CategoryOf(f->Extension), kCategoryPictures) << f->FileName;
        drives.insert(f->Drive->DriveName);
    }
    EXPECT_EQ(drives.size(), 2u);
    size_t photos = 0;
    for (const TMyFile* f : scans.all)
        photos += TScanFileType().CategoryOf(f->Extension) == kCategoryPictures;
    EXPECT_EQ(view.ShownFiles.size(), photos);
    EXPECT_EQ(view.BaseFiles.size(), scans.all.size());
}

TEST(ResultView, ATypedSearchWhileAFolderIsChosenSearchesAllFiles) {
    TwoVolumes scans;
    ASSERT_TRUE(scans.Run());
    TResultView view(scans.all, &scans.ntfs.progress);
    view.ShowLocation(scans.ntfs.disk, Folder(*scans.ntfs.disk, "Documents"));
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"TXT", -1, false}));
    std::set<std::string> expected;
    for (const TMyFile* f : scans.all)
        if (volume::ContainsIgnoreCase(f->FileName, "txt"))
            expected.insert(f->Drive->DriveName + "|" + f->FolderPath + f->FileName);
    std::set<std::string> shown;
    for (const TMyFile* f : view.ShownFiles)
        shown.insert(f->Drive->DriveName + "|" + f->FolderPath + f->FileName);
    EXPECT_EQ(shown, expected);
    EXPECT_GT(NamesUnder(view.ShownFiles, "Misc\\").size(), 0u);  // outside the chosen folder
}

TEST(ResultView, TheEmptyExtensionNodeListsExactlyTheFilesWithoutExtension) {
    // setup.exe (record 128) becomes "setup_exe": a file without extension.
    const std::string image = RenamedCopy("ntfs-basic.img", "no-extension", {{128, u"setup.exe", u"setup_exe"}});
    ASSERT_FALSE(image.empty());
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    const auto& others = scan.categories[kCategoryOthers]->Extensions;
    auto none = std::find_if(others.begin(), others.end(), [](const ExtensionCount& e) { return e.Extension.empty(); });
    ASSERT_NE(none, others.end());
    EXPECT_EQ(none->Count, 1u);
    TResultView view(scan.results, &scan.progress);
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"", -1, true}));
    EXPECT_EQ(Names(view.ShownFiles), std::set<std::string>{"setup_exe"});
}

TEST(ResultView, IdenticalFilterDoesNotRefilterButTheSameTextOfAnotherKindDoes) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"a", -1, false}));
    ASSERT_FALSE(view.ShownFiles.empty());
    view.CheckOne(*view.ShownFiles.front());
    // The same text again: nothing happens, so the check mark stays.
    EXPECT_FALSE(view.ApplySearch(ViewFilter{"a", -1, false}));
    EXPECT_EQ(view.CheckedCount, 1);
    // The category "Photos" chosen in the type tree, then "Photos" typed:
    // a name search now, not the category again.
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"Photos", kCategoryPictures, false}));
    EXPECT_FALSE(view.ShownFiles.empty());
    EXPECT_TRUE(view.ApplySearch(ViewFilter{"Photos", -1, false}));
    EXPECT_TRUE(view.ShownFiles.empty());
}

TEST(ResultView, SearchTextFindsItInAnyCaseAnywhereInTheName) {
    // notes.txt (record 77) becomes "JPG_s.txt".
    const std::string image = RenamedCopy("ntfs-basic.img", "jpg-text", {{77, u"notes.txt", u"JPG_s.txt"}});
    ASSERT_FALSE(image.empty());
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    TResultView view(scan.results, &scan.progress);
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"JPG", -1, false}));
    EXPECT_EQ(Names(view.ShownFiles), (std::set<std::string>{"beach.jpg", "Plage à Nice.jpg", "JPG_s.txt"}));
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"jpg", -1, false}));
    EXPECT_EQ(view.ShownFiles.size(), 3u);
}

TEST(ResultView, CategoriesGoByExtensionInAnyCaseAndTheUnlistedAreOthers) {
    // cat.gif (record 69) becomes cat.JPG; tiny.png (record 71) tiny.xyz.
    const std::string image =
        RenamedCopy("ntfs-basic.img", "categories", {{69, u"cat.gif", u"cat.JPG"}, {71, u"tiny.png", u"tiny.xyz"}});
    ASSERT_FALSE(image.empty());
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    TResultView view(scan.results, &scan.progress);
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"Photos", kCategoryPictures, false}));
    EXPECT_TRUE(Names(view.ShownFiles).count("cat.JPG"));
    EXPECT_FALSE(Names(view.ShownFiles).count("tiny.xyz"));
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"Others", kCategoryOthers, false}));
    EXPECT_TRUE(Names(view.ShownFiles).count("tiny.xyz"));
    EXPECT_TRUE(Names(view.ShownFiles).count("setup.exe"));
    EXPECT_FALSE(Names(view.ShownFiles).count("cat.JPG"));
    // Each category lists exactly the files the scan tallied under it.
    for (int c = kCategoryPictures; c <= kCategoryOthers; ++c) {
        uint32_t tallied = 0;
        for (const ExtensionCount& e : scan.categories[static_cast<size_t>(c)]->Extensions)
            tallied += e.Count;
        ASSERT_TRUE(view.ApplySearch(ViewFilter{"x", c, false}));
        EXPECT_EQ(view.ShownFiles.size(), tallied) << c;
    }
}

TEST(ResultView, AnExtensionNodeListsWhatItCountsInAnySpelling) {
    // beach.jpg (record 67, the first picture listed) becomes beach.JPG.
    const std::string image = RenamedCopy("ntfs-basic.img", "jpg-case", {{67, u"beach.jpg", u"beach.JPG"}});
    ASSERT_FALSE(image.empty());
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    const auto& photos = scan.categories[kCategoryPictures]->Extensions;
    size_t jpegNodes = 0;
    for (const ExtensionCount& e : photos) {
        if (!volume::EqualsIgnoreCase(e.Extension, ".jpg"))
            continue;
        ++jpegNodes;
        EXPECT_EQ(e.Extension, ".JPG");  // spelled as first met
        EXPECT_EQ(e.Count, 2u);          // beach.JPG and Plage à Nice.jpg
        TResultView view(scan.results, &scan.progress);
        ASSERT_TRUE(view.ApplySearch(ViewFilter{e.Extension, -1, true}));
        EXPECT_EQ(view.ShownFiles.size(), e.Count);
    }
    EXPECT_EQ(jpegNodes, 1u);
}

TEST(ResultView, TheSameHeaderTwiceReverses) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    view.ShowLocation(nullptr, nullptr);
    view.SortByColumn(results::kColumnSize);
    const bool first = view.SortAscending;
    auto sizes = [&] {
        std::vector<int64_t> s;
        for (const TMyFile* f : view.ShownFiles)
            s.push_back(f->FileSize);
        return s;
    };
    const auto once = sizes();
    view.SortByColumn(results::kColumnSize);
    EXPECT_NE(view.SortAscending, first);
    auto twice = sizes();
    std::reverse(twice.begin(), twice.end());
    EXPECT_EQ(once, twice);
    EXPECT_TRUE(std::is_sorted(once.begin(), once.end()) || std::is_sorted(once.rbegin(), once.rend()));
}

TEST(ResultView, AfterALocationChangeTheFirstClickOnRecoverabilityIsAscending) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    view.ShowLocation(scan.disk, nullptr);
    auto states = [&] {
        std::vector<int> s;
        for (const TMyFile* f : view.ShownFiles)
            s.push_back(f->State);
        return s;
    };
    auto best = states();
    EXPECT_TRUE(std::is_sorted(best.rbegin(), best.rend()));  // best first
    EXPECT_EQ(view.SortColumn, results::kColumnState);
    EXPECT_FALSE(view.SortAscending);
    view.SortByColumn(results::kColumnState);
    EXPECT_TRUE(view.SortAscending);
    auto poorest = states();
    EXPECT_TRUE(std::is_sorted(poorest.begin(), poorest.end()));
    EXPECT_NE(poorest.front(), poorest.back());
}

TEST(ResultView, EveryViewChangeClearsEveryCheckMarkAlsoOfFilesNotShown) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    view.ShowLocation(scan.disk, Folder(*scan.disk, "Users"));
    view.CheckAllShown();
    ASSERT_GT(view.CheckedCount, 0);
    int64_t size = 0;
    for (const TMyFile* f : view.ShownFiles)
        size += f->FileSize;
    EXPECT_EQ(view.CheckedSize, size);
    EXPECT_TRUE(view.AllShownChecked());
    // Another folder: the Users files are no longer shown and none stays checked.
    view.ShowLocation(scan.disk, Folder(*scan.disk, "Misc"));
    EXPECT_EQ(view.CheckedCount, 0);
    EXPECT_EQ(view.CheckedSize, 0);
    EXPECT_TRUE(std::none_of(scan.results.begin(), scan.results.end(), [](const TMyFile* f) { return f->Checked; }));
    view.CheckAllShown();
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"zzz-no-such-name", -1, false}));
    EXPECT_EQ(view.CheckedCount, 0);
    EXPECT_TRUE(std::none_of(scan.results.begin(), scan.results.end(), [](const TMyFile* f) { return f->Checked; }));
}

TEST(ResultView, CheckOneAndUncheckOneKeepTheCounters) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    view.ShowLocation(nullptr, nullptr);
    ASSERT_GE(view.ShownFiles.size(), 2u);
    TMyFile& a = *view.ShownFiles[0];
    TMyFile& b = *view.ShownFiles[1];
    view.CheckOne(a);
    view.CheckOne(a);  // twice counts once
    view.CheckOne(b);
    EXPECT_EQ(view.CheckedCount, 2);
    EXPECT_EQ(view.CheckedSize, a.FileSize + b.FileSize);
    EXPECT_FALSE(view.AllShownChecked());
    view.UncheckOne(a);
    view.UncheckOne(a);
    EXPECT_EQ(view.CheckedCount, 1);
    EXPECT_EQ(view.CheckedSize, b.FileSize);
    view.CheckAllShown();
    EXPECT_TRUE(view.AllShownChecked());
    view.UncheckAllShown();
    EXPECT_EQ(view.CheckedCount, 0);
    EXPECT_EQ(view.CheckedSize, 0);
}

TEST(ResultView, AnEmptyListCountsAsAllChecked) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    ASSERT_TRUE(view.ApplySearch(ViewFilter{"zzz-no-such-name", -1, false}));
    EXPECT_TRUE(view.ShownFiles.empty());
    EXPECT_TRUE(view.AllShownChecked());
}

TEST(ResultView, AFilterPassStopsWhenAskedAndShowsWhatItHad) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    scan.progress.FFilterCancel = true;
    view.ShowLocation(nullptr, nullptr);
    EXPECT_TRUE(view.ShownFiles.empty());
    scan.progress.FFilterCancel = false;
    view.ShowLocation(nullptr, nullptr);
    EXPECT_EQ(view.ShownFiles.size(), scan.results.size());
}

TEST(ResultView, HeaderAndSelectedTextsFillEveryPlaceholder) {
    EXPECT_EQ(results::HeaderText(12, 1536), "Deleted files found: <a>12</a> <a>files</a> <a>(1.5 KB)</a>");
    EXPECT_EQ(results::SelectedFilesText(3, 1'572'864), "Select <a>3</a> files <a>(1.5 MB)</a>");
    EXPECT_EQ(results::ReplaceIgnoringCase("%S1 and %s1", "%s1", "x"), "x and x");
}

TEST(ResultView, CellTextsOfEveryColumn) {
    testing_support::SetProcessTimeZone("UTC");
    TDriverInfo drive("E:", 0);
    TMyFile f;
    f.Drive = &drive;
    f.FileName = "a.jpg";
    f.FolderPath = "Photos\\2019\\";
    f.State = kStateUnjudged;
    f.FileSize = 1023;
    EXPECT_EQ(results::CellText(f, results::kColumnName), "a.jpg");
    // The path the way the running system writes paths; either form on request.
    EXPECT_EQ(results::CellText(f, results::kColumnPath), results::PathText(f, volume::kSystemSeparator));
    EXPECT_EQ(results::PathText(f, '\\'), "E:\\Photos\\2019\\");
    EXPECT_EQ(results::PathText(f, '/'), "E:/Photos/2019/");
    EXPECT_EQ(results::CellText(f, results::kColumnState), "Poor");
    EXPECT_EQ(results::CellText(f, results::kColumnSize), "1023 B");
    EXPECT_EQ(results::CellText(f, results::kColumnDate), "N/A");
    f.HasTimes = true;
    f.ModifiedTime = 132'539'328'000'000'000ull;  // 2021-01-01 00:00:00 UTC
    EXPECT_EQ(results::CellText(f, results::kColumnDate), "2021-01-01 00:00:00");
    EXPECT_EQ(results::CellText(f, results::kColumnPreview), "");
}

TEST(ResultView, AfterASearchTheColumnSortSaysRecoverabilityAscending) {
    // The pass leaves the rows poorest first whatever column was sorted last.
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    TResultView view(scan.results, &scan.progress);
    view.ShowLocation(nullptr, nullptr);
    view.SortByColumn(results::kColumnName);
    view.SortByColumn(results::kColumnName);
    ASSERT_TRUE(view.ApplySearch(ViewFilter{".", -1, false}));
    EXPECT_EQ(view.SortColumn, results::kColumnState);
    EXPECT_TRUE(view.SortAscending);
    for (size_t i = 1; i < view.ShownFiles.size(); ++i)
        EXPECT_LE(view.ShownFiles[i - 1]->State, view.ShownFiles[i]->State);
    // A click on the recoverability header then turns the order round.
    view.SortByColumn(results::kColumnState);
    EXPECT_FALSE(view.SortAscending);
    EXPECT_GE(view.ShownFiles.front()->State, view.ShownFiles.back()->State);
}

// The window's line after a scan of a failing drive gives the reader's reason.
TEST(ResultView, TheDamageLineNamesWhatTheScanCouldNotRead) {
    const std::string source = CorpusPath("fat32-basic.img");
    if (!RequireFile(source))
        return;
    const std::string image = CopyToTemp(source, "damage-line");
    const uint64_t size = std::filesystem::file_size(image);
    auto damageLine = [&image](std::vector<platform::ByteRange> failing) {
        ScanSetup scan;
        EXPECT_TRUE(scan.RunWithFailingReads(image, std::move(failing)));
        scan.disk->Selected = true;
        return results::ScanDamageText(scan.disks);
    };
    // The boot sectors, and nothing after them: the root folder is the reason.
    EXPECT_EQ(damageLine({{16 * 512, size - 16 * 512}}), "The root folder could not be read.");
    EXPECT_EQ(damageLine({{0, 512}}), "The boot sector could not be read; its backup was used.");
    std::filesystem::remove(image);
}
