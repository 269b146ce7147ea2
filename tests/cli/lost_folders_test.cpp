// The deep scan's search of a FAT or exFAT volume's free clusters for folders
// no walk reaches: a folder deleted as a tree whose clusters did not follow
// one another (make-lost-folder-image, make-exfat-images).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

CommandResult Dunro(const std::string& args) { return RunProgram(DUNRO_BIN, SplitArguments(args), {"TZ=UTC"}); }

// name -> (folder, size, state) of a scan's files.
std::multimap<std::string, json> ByName(const std::string& args) {
    const CommandResult run = Dunro(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::multimap<std::string, json> files;
    const json scan = json::parse(run.out);
    for (const json& f : scan["files"])
        files.emplace(f["name"].get<std::string>(), f);
    return files;
}

} // namespace

// A FAT32 volume made by mtools and an exFAT one written through exfat-fuse,
// each with "Trip" deleted as a tree after it grew between other files.
class LostFolders : public testing::TestWithParam<const char*> {};

// The sha256 of every file written into Trip, by the image's manifest.
std::multiset<std::string> TripFiles(const json& manifest) {
    std::multiset<std::string> shas;
    if (manifest.contains("files"))
        for (const json& file : manifest["files"])
            shas.insert(file["sha256"].get<std::string>());
    if (manifest.contains("written"))
        for (const json& file : manifest["written"])
            if (file["path"].get<std::string>().starts_with("Trip/"))
                shas.insert(file["sha256"].get<std::string>());
    return shas;
}

TEST_P(LostFolders, TheDeepScanFindsEveryFileOfAFolderWhoseClustersDoNotFollowOneAnother) {
    const std::string image = std::string(DUNRO_BINARY_DIR) + "/" + GetParam();
    if (!RequireFile(image))
        return;
    std::ifstream in(image + ".manifest.json");
    const std::multiset<std::string> expected = TripFiles(json::parse(in));
    const auto plain = ByName("scan '" + image + "' --format json");
    const auto deep = ByName("scan '" + image + "' --deep --format json");
    // The walk alone reaches the folder's first cluster only.
    EXPECT_LT(plain.size(), expected.size() / 2);
    ASSERT_EQ(deep.size(), expected.size());
    size_t named = 0;
    for (const auto& [name, found] : deep) {
        EXPECT_NE(found["state"], "Poor") << name;
        const std::string folder = found["folder_path"];
        if (plain.count(name))
            EXPECT_EQ(folder, "Trip\\") << name;
        else
            EXPECT_EQ(folder.rfind("Found by content\\Lost folder ", 0), 0u) << name << " in " << folder;
        named += name.starts_with("Holiday picture ");
    }
    // A name is lost only where its pieces were cut by the end of a cluster.
    EXPECT_GE(named, expected.size() - 4);

    // Every file comes back byte-exact, whatever its name.
    const fs::path dest = fs::temp_directory_path() / ("dunro-lost-folders-" + ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    const CommandResult recovered =
        Dunro("recover '" + image + "' --deep --keep-folders --no-report --to '" + dest.string() + "'");
    ASSERT_EQ(recovered.exitCode, 0) << recovered.err;
    std::multiset<std::string> written;
    for (const auto& e : fs::recursive_directory_iterator(dest))
        if (e.is_regular_file())
            written.insert(Sha256OfFile(e.path().string()));
    EXPECT_EQ(written, expected);
    fs::remove_all(dest);
}

INSTANTIATE_TEST_SUITE_P(Volumes, LostFolders,
                         testing::Values("lost-folder-images/fat32-lost-folder.img",
                                         "exfat-images/exfat-lost-folder.img"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return info.index == 0 ? std::string("Fat32") : std::string("Exfat");
                         });

TEST(LostFolderSearch, VolumesWithoutLostFoldersScanTheSameDeepOrNot) {
    for (const std::string& image : {CorpusPath("fat32-basic.img"), CorpusPath("fat16-small.img"),
                                     std::string(DUNRO_BINARY_DIR) + "/exfat-images/exfat-4k.img"}) {
        if (!RequireFile(image))
            return;
        const auto plain = ByName("scan '" + image + "' --format json");
        const auto deep = ByName("scan '" + image + "' --deep --format json");
        ASSERT_EQ(deep.size(), plain.size()) << image;
        for (auto p = plain.begin(), d = deep.begin(); p != plain.end(); ++p, ++d)
            EXPECT_EQ(p->second["folder_path"], d->second["folder_path"]) << p->first;
    }
}
