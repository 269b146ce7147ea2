// FileList.ini: the user's folders under numbered keys; a new folder goes
// under the key after the last one, never over a key in use.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shell/folder_list.h"
#include "shell/ini_file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {
std::string FreshList(const std::string& name, const std::string& content) {
    const fs::path dir = fs::temp_directory_path() / ("dunro-folders-" + ProcessTag());
    fs::create_directories(dir);
    const fs::path path = dir / (name + ".ini");
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}
} // namespace

TEST(FolderList, TheNextKeyFollowsTheLastKeysNumber) {
    EXPECT_EQ(TFolderListFile::NextKey({}), "0");
    EXPECT_EQ(TFolderListFile::NextKey({"0", "1", "7"}), "8");
    EXPECT_EQ(TFolderListFile::NextKey({"7", "2"}), "3");  // the last key, not the largest
    EXPECT_EQ(TFolderListFile::NextKey({"a", "b"}), "2");  // not a number: the key count
}

TEST(FolderList, TheNextKeyNeverReplacesAFolderStoredUnderIt) {
    EXPECT_EQ(TFolderListFile::NextKey({"2", "x"}), "3");
    EXPECT_EQ(TFolderListFile::NextKey({"3", "4", "2"}), "5");
}

TEST(FolderList, AFolderIsAddedUnderTheNextKeyAndRemovedByItsPath) {
    const std::string path = FreshList("add", "[Files]\r\n7=/data/one\r\n2=/data/two\r\n");
    TFolderListFile list(path);
    EXPECT_EQ(list.Add("/data/three"), "3");
    EXPECT_EQ(list.Folders(), (std::vector<std::string>{"/data/one", "/data/two", "/data/three"}));
    EXPECT_TRUE(list.Remove("/data/two"));
    EXPECT_FALSE(list.Remove("/data/two"));
    EXPECT_EQ(list.Folders(), (std::vector<std::string>{"/data/one", "/data/three"}));
    TSafeIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Files", "7", ""), "/data/one");
    EXPECT_EQ(ini.ReadString("Files", "3", ""), "/data/three");
}

TEST(FolderList, AMissingFileListsNoFolderAndTheFirstFolderGetsKey0) {
    const fs::path path = fs::temp_directory_path() / ("dunro-folders-" + ProcessTag()) / "none" / "FileList.ini";
    fs::remove_all(path.parent_path());
    TFolderListFile list(path.string());
    EXPECT_TRUE(list.Folders().empty());
    EXPECT_EQ(list.Add("/data/first"), "0");
    EXPECT_EQ(list.Folders(), std::vector<std::string>{"/data/first"});
}
