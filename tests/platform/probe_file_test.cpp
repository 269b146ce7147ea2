// The writable-folder probe creates only a file of its own: whatever already
// carries its name is left exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "support/test_support.h"
#include "volume/helpers.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {
fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch" / (name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string Content(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

TEST(ProbeFile, AFileAlreadyThereKeepsItsContent) {
    const fs::path dir = FreshDir("probe-existing");
    const fs::path taken = dir / "1._";
    std::ofstream(taken, std::ios::binary) << "the user's own bytes";
    bool exists = false;
    EXPECT_FALSE(platform::CreateProbeFile(shell::TextOf(taken), exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(Content(taken), "the user's own bytes");

    const fs::path fresh = dir / "1._0";
    EXPECT_TRUE(platform::CreateProbeFile(shell::TextOf(fresh), exists));
    EXPECT_FALSE(exists);
    EXPECT_TRUE(fs::exists(fresh));
    fs::remove_all(dir);
}

TEST(ProbeFile, TheFolderProbeLeavesAFileOfItsNameAsItWas) {
    const fs::path dir = FreshDir("probe-folder");
    std::ofstream(dir / "1._", std::ios::binary) << "keep";
    std::ofstream(dir / "1._0", std::ios::binary) << "keep too";
    EXPECT_FALSE(volume::IsReadOnlyFolder(shell::TextOf(dir)));
    EXPECT_EQ(Content(dir / "1._"), "keep");
    EXPECT_EQ(Content(dir / "1._0"), "keep too");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);  // its own probe is gone
    fs::remove_all(dir);
}
