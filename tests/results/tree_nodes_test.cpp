// What the result page's trees list, from real scans.
#include <gtest/gtest.h>

#include <algorithm>

#include "results/location.h"
#include "results/tree_nodes.h"
#include "support/test_support.h"
#include "volume/text.h"

using namespace testing_support;

namespace {
std::vector<std::string> FolderNames(const std::vector<TMyFolder*>& folders) {
    std::vector<std::string> names;
    for (const TMyFolder* f : folders)
        names.push_back(f->FolderName);
    return names;
}
} // namespace

TEST(TreeNodes, TheTypeTreeListsCategoriesWithFilesAndTheirExtensionCounts) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    const auto nodes = results::TypeTreeOf(scan.categories);
    ASSERT_FALSE(nodes.empty());
    uint32_t total = 0;
    int last = -1;
    for (const auto& node : nodes) {
        EXPECT_GT(node.Index, last);  // index order
        last = node.Index;
        EXPECT_EQ(node.Text, scan.categories[static_cast<size_t>(node.Index)]->Caption);
        uint32_t sum = 0;
        for (const auto& e : node.Extensions)
            sum += e.Count;
        EXPECT_EQ(node.Count, sum);
        EXPECT_FALSE(node.Extensions.empty());
        total += node.Count;
    }
    EXPECT_EQ(total, scan.results.size());
}

TEST(TreeNodes, FoldersWithoutFoundFilesAndTheNtfsRootHaveNoNode) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(CorpusPath("ntfs-basic.img")));
    const TMyFolder* root = results::RootFolderOf(*scan.disk);
    ASSERT_NE(root, nullptr);
    const auto top = results::SubFoldersForTree(*root);
    const auto names = FolderNames(top);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](const std::string& a, const std::string& b) { return volume::CompareTextUtf16(a, b) < 0; }));
    for (const TMyFolder* f : top) {
        EXPECT_NE(f, root);
        EXPECT_NE(f->RecordNo, 5);
        EXPECT_GT(f->FileCount, 0u);
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "Users"), names.end());
    // Users\Ann\Empty Folder was deleted empty: nothing below it, no node.
    const auto ann = results::FoldersAt(*scan.disk, "Users/Ann");
    ASSERT_EQ(ann.size(), 1u);
    const auto annNames = FolderNames(results::SubFoldersForTree(*ann.front()));
    EXPECT_EQ(std::find(annNames.begin(), annNames.end(), "Empty Folder"), annNames.end());
    EXPECT_NE(std::find(annNames.begin(), annNames.end(), "Pictures"), annNames.end());
}

TEST(TreeNodes, TwoDrivesInNameOrderAndADriveWithoutFilesHasNoNode) {
    TUnDeleteProgress progress;
    TScanFileType types;
    types.SelectAll();
    TScanPath paths;
    ScanContext context{&progress, &types, &paths};
    DiskList disks;
    // Added in reverse name order, as a drive refresh may list them.
    const std::string ntfs = CorpusPath("ntfs-basic.img"), fat = CorpusPath("fat32-basic.img"),
                      fragmented = CorpusPath("ntfs-fragmented.img");
    ASSERT_TRUE(DiskFor(disks, ntfs, context));
    ASSERT_TRUE(DiskFor(disks, fragmented, context));
    ASSERT_TRUE(DiskFor(disks, fat, context));
    // ntfs-fragmented is read, but only for a folder it does not have.
    for (const std::string& name : {ntfs, fat}) {
        paths.AddDriver(name);
        paths.AddWholeDriver(name);
    }
    paths.AddLocation(fragmented + "\\No such folder\\");
    CategoryList categories = MakeCategories();
    std::vector<TMyFile*> all;
    for (auto& disk : disks) {
        disk->Selected = true;
        disk->Enumerate();
        disk->ListResults(&all, &categories);
    }
    const auto drives = results::DrivesForTree(disks);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0]->DriveName, fat);  // .../fat32-basic.img before .../ntfs-basic.img
    EXPECT_EQ(drives[1]->DriveName, ntfs);
    // A drive not chosen for the scan has no node either.
    disks[0]->Selected = false;
    EXPECT_EQ(results::DrivesForTree(disks).size(), 1u);
}

TEST(TreeNodes, ADriveNodeCountsWhatChoosingItShows) {
    for (const char* image : {"ntfs-basic.img", "fat32-basic.img", "ntfs-fragmented.img"}) {
        SCOPED_TRACE(image);
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(CorpusPath(image)));
        size_t collected = 0;
        results::CollectLocation(*results::RootFolderOf(*scan.disk), [&](TMyFile*) { ++collected; });
        EXPECT_EQ(collected, scan.disk->AcceptedCount);
        EXPECT_EQ(collected, scan.results.size());
    }
}
