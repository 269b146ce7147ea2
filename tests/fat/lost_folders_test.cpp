// The deep scan's search of a FAT volume's free clusters for folders no walk
// reaches: on the volume from make-lost-folder-image, a folder deleted as a
// tree whose clusters did not follow one another.
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

const std::string kImage = std::string(DUNRO_BINARY_DIR) + "/lost-folder-images/fat32-lost-folder.img";

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

TEST(LostFolders, TheDeepScanFindsEveryFileOfAFolderWhoseClustersDoNotFollowOneAnother) {
    if (!RequireFile(kImage))
        return;
    std::ifstream in(kImage + ".manifest.json");
    const json manifest = json::parse(in);
    const auto plain = ByName("scan '" + kImage + "' --format json");
    const auto deep = ByName("scan '" + kImage + "' --deep --format json");
    // The walk alone reaches the folder's first cluster only.
    EXPECT_LT(plain.size(), manifest["files"].size() / 2);
    ASSERT_EQ(deep.size(), manifest["files"].size());
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
    EXPECT_GE(named, manifest["files"].size() - 4);

    // Every file comes back byte-exact, whatever its name.
    const fs::path dest = fs::temp_directory_path() / ("dunro-lost-folders-" + ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    const CommandResult recovered =
        Dunro("recover '" + kImage + "' --deep --keep-folders --no-report --to '" + dest.string() + "'");
    ASSERT_EQ(recovered.exitCode, 0) << recovered.err;
    std::multiset<std::string> written, expected;
    for (const auto& e : fs::recursive_directory_iterator(dest))
        if (e.is_regular_file())
            written.insert(Sha256OfFile(e.path().string()));
    for (const json& file : manifest["files"])
        expected.insert(file["sha256"].get<std::string>());
    EXPECT_EQ(written, expected);
    fs::remove_all(dest);
}

TEST(LostFolders, VolumesWithoutLostFoldersScanTheSameDeepOrNot) {
    for (const std::string& image : {CorpusPath("fat32-basic.img"), CorpusPath("fat16-small.img")}) {
        if (!RequireFile(image))
            return;
        const auto plain = ByName("scan '" + image + "' --format json");
        const auto deep = ByName("scan '" + image + "' --deep --format json");
        ASSERT_EQ(deep.size(), plain.size()) << image;
        for (auto p = plain.begin(), d = deep.begin(); p != plain.end(); ++p, ++d)
            EXPECT_EQ(p->second["folder_path"], d->second["folder_path"]) << p->first;
    }
}
