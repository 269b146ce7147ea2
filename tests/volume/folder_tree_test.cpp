// The shared folder tree on small hand-made trees: the damage real volumes
// seldom show all at once (loops, lost parents, reused keys, deep chains).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "volume/folder_tree.h"

namespace {
constexpr int64_t kRoot = 5;

// Folders "on disk": key -> (name, parent key, sequence).
struct DiskFolder {
    std::string name;
    int64_t parent = kRoot;
    uint16_t sequence = 1;
};

class FolderTreeTest : public ::testing::Test {
protected:
    FolderTreeTest() : tree_(MakeSetup()) {
        tree_.Start(folders_);
        auto root = std::make_unique<TMyFolder>();
        root->RecordNo = kRoot;
        root->FolderName = ".";
        tree_.Append(std::move(root), kRoot);
    }

    volume::FolderTree::Setup MakeSetup() {
        volume::FolderTree::Setup setup;
        setup.rootKey = kRoot;
        setup.load = [this](int64_t key) -> std::optional<volume::FolderTree::Loaded> {
            ++loads_;
            auto it = disk_.find(key);
            if (it == disk_.end())
                return std::nullopt;
            auto folder = std::make_unique<TMyFolder>();
            folder->RecordNo = key;
            folder->FolderName = it->second.name;
            folder->ParentRecordNo = it->second.parent;
            return volume::FolderTree::Loaded{std::move(folder), {it->second.sequence, false}};
        };
        setup.matches = [](uint16_t wanted, volume::FolderTree::Identity current) {
            return wanted == 0 || wanted == current.sequence;
        };
        return setup;
    }

    // A file in the folder its parent reference names, placed, given its path and counted.
    TMyFile& List(int64_t parent, uint16_t sequence = 0) {
        auto file = std::make_unique<TMyFile>();
        file->ParentRecordNo = parent;
        file->ParentSequence = sequence;
        TMyFile& kept = *file;
        files_.push_back(std::move(file));
        tree_.AttachFile(kept);
        tree_.BuildPath(kept);
        tree_.CountUp(kept);
        return kept;
    }

    TMyFolder& Folder(int64_t key) { return *folders_[static_cast<size_t>(tree_.Find(key))]; }
    TMyFolder& Root() { return *folders_[0]; }

    std::map<int64_t, DiskFolder> disk_;
    int loads_ = 0;
    FolderList folders_;
    FileList files_;
    volume::FolderTree tree_;
};

TEST_F(FolderTreeTest, ParentsAreReadOnceAndNamedFromBelowTheRoot) {
    disk_[10] = {"Users", kRoot};
    disk_[11] = {"bob", 10};
    EXPECT_EQ(List(11).FolderPath, "Users\\bob\\");
    EXPECT_EQ(List(11).FolderPath, "Users\\bob\\");
    EXPECT_EQ(List(10).FolderPath, "Users\\");
    EXPECT_EQ(loads_, 2);
    EXPECT_EQ(Folder(11).FileCount, 2u);
    EXPECT_EQ(Folder(10).FileCount, 3u);
    EXPECT_EQ(Root().FileCount, 3u);
    EXPECT_EQ(Root().ParentIndex, kNoParent);
    ASSERT_EQ(Root().SubFolders.size(), 1u);
    EXPECT_EQ(Root().SubFolders[0], &Folder(10));
}

TEST_F(FolderTreeTest, LoopOfTwoFoldersIsCutAndHangsFromTheRoot) {
    disk_[20] = {"a", 21};
    disk_[21] = {"b", 20};
    TMyFile& file = List(20);
    EXPECT_EQ(file.FolderPath, "b\\a\\");
    EXPECT_EQ(Folder(21).ParentIndex, 0);
    EXPECT_EQ(Folder(20).FileCount, 1u);
    EXPECT_EQ(Folder(21).FileCount, 1u);
    EXPECT_EQ(Root().FileCount, 1u);
    ASSERT_EQ(Root().SubFolders.size(), 1u);
    EXPECT_EQ(Root().SubFolders[0], &Folder(21));
}

TEST_F(FolderTreeTest, MissingParentBecomesADeletedPlaceholderUnderTheRoot) {
    disk_[30] = {"photos", 31};  // 31 is gone
    EXPECT_EQ(List(30).FolderPath, "DIRECTORY31\\photos\\");
    EXPECT_EQ(List(32).FolderPath, "DIRECTORY32\\");
    const TMyFolder& lost = Folder(31);
    EXPECT_TRUE(lost.IsDeleted);
    EXPECT_EQ(lost.ParentIndex, 0);
    EXPECT_EQ(Root().FileCount, 2u);
    EXPECT_EQ(Root().SubFolders.size(), 2u);
}

TEST_F(FolderTreeTest, SequenceMismatchGivesAPlaceholderBesideTheFolderThereNow) {
    disk_[40] = {"now", kRoot, 7};
    EXPECT_EQ(List(40, 7).FolderPath, "now\\");
    const int32_t current = tree_.Find(40);
    EXPECT_EQ(List(40, 6).FolderPath, "DIRECTORY40\\");  // an earlier folder under the same key
    EXPECT_EQ(List(40, 6).FolderPath, "DIRECTORY40\\");
    EXPECT_GT(tree_.Find(40), current);
    EXPECT_EQ(folders_[static_cast<size_t>(current)]->FileCount, 1u);
    EXPECT_EQ(Folder(40).FileCount, 2u);
    EXPECT_EQ(List(40, 0).FolderPath, "now\\");  // no sequence names any use
    EXPECT_EQ(folders_.size(), 3u);
}

TEST_F(FolderTreeTest, DeepChainGivesTheWholePathAndCountsEveryLevelOnce) {
    constexpr int64_t kDepth = 20000;  // deeper than any recursion would survive
    for (int64_t k = 1; k <= kDepth; ++k)
        disk_[100 + k] = {"d", k == 1 ? kRoot : 100 + k - 1};
    TMyFile& file = List(100 + kDepth);
    EXPECT_EQ(file.FolderPath.size(), static_cast<size_t>(kDepth * 2));
    EXPECT_EQ(Folder(101).FileCount, 1u);
    EXPECT_EQ(Folder(100 + kDepth / 2).FileCount, 1u);
    EXPECT_EQ(Root().FileCount, 1u);
}

TEST_F(FolderTreeTest, ParentsFirstTreesKnowTheirDepthAndAddUpTheirCounts) {
    // As a walk from the root appends them: each folder's parent already listed.
    int64_t parent = 0;
    for (int k = 1; k <= 3; ++k) {
        auto folder = std::make_unique<TMyFolder>();
        folder->FolderName = "level" + std::to_string(k);
        folder->ParentIndex = parent;
        EXPECT_EQ(tree_.DepthOf(parent) + 1, static_cast<uint32_t>(k));
        parent = tree_.Append(std::move(folder), kNoParent)->ListIndex;
        folders_.back()->FileCount = 1;
    }
    auto file = std::make_unique<TMyFile>();
    file->FolderIndex = static_cast<int32_t>(parent);
    tree_.PlaceFile(*file);
    tree_.BuildPath(*file);
    EXPECT_EQ(file->FolderPath, "level1\\level2\\level3\\");
    EXPECT_TRUE(tree_.AddUpCounts());
    EXPECT_EQ(Root().FileCount, 3u);
    EXPECT_EQ(folders_[1]->FileCount, 3u);
    EXPECT_EQ(folders_[3]->Files.size(), 1u);
}
} // namespace
