#include <gtest/gtest.h>

#include "support/test_support.h"

#include <filesystem>

#include "shell/ini_file.h"
#include "shell/language.h"
#include "shell/language_root.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// A scratch prefix with bin/ for the program and, on demand, language folders.
struct Prefix {
    fs::path root;
    explicit Prefix(const std::string& name)
        : root(fs::temp_directory_path() / ("dunro-langroot-" + name + "-" + ProcessTag())) {
        fs::remove_all(root);
        fs::create_directories(root / "bin");
    }
    ~Prefix() { fs::remove_all(root); }
    std::string ProgramFolder() const { return (root / "bin").string() + "/"; }
    fs::path Installed() const { return root / "share" / "dunro"; }
    // The shipped files, as the build copies them beside the programs.
    static void CopyShippedInto(const fs::path& folder) {
        const fs::path shipped = fs::path(DUNRO_BINARY_DIR) / "bin";
        for (const char* name : {"Language", "Toolbox_Language"}) {
            fs::create_directories(folder / name);
            fs::copy(shipped / name, folder / name, fs::copy_options::recursive);
        }
    }
};

// Folders end in a delimiter here; Windows will not compare such a path.
bool SameFolder(const std::string& a, const fs::path& b) {
    fs::path folder(a);
    if (!folder.has_filename())
        folder = folder.parent_path();
    std::error_code ec;
    return fs::equivalent(folder, b, ec);
}

bool EndsInDelimiter(const std::string& folder) {
    return !folder.empty() && (folder.back() == '/' || folder.back() == static_cast<char>(fs::path::preferred_separator));
}

} // namespace

TEST(LanguageRoot, InstalledLayoutIsFoundInShareDunroBesideBin) {
    Prefix prefix("installed");
    Prefix::CopyShippedInto(prefix.Installed());
    const std::string root = shell::LanguageRoot(prefix.ProgramFolder());
    EXPECT_TRUE(SameFolder(root, prefix.Installed())) << root;
    EXPECT_TRUE(EndsInDelimiter(root)) << root;

    // The message table reads its translations from there.
    const fs::path data = prefix.root / "data";
    fs::create_directories(data);
    TSafeIniFile settings;
    settings.WriteString("Main", "Language", "Deutsch");
    ASSERT_TRUE(settings.Save((data / "Main.ini").string()));
    TLanUse german(root, data.string() + "/");
    EXPECT_EQ(german.Message("M_RecoverExcellent", "Excellent"), "Ausgezeichnet");
}

TEST(LanguageRoot, FoldersBesideTheProgramWinOverShareDunro) {
    Prefix prefix("beside");
    Prefix::CopyShippedInto(prefix.Installed());
    fs::create_directories(prefix.root / "bin" / "Language");
    EXPECT_EQ(shell::LanguageRoot(prefix.ProgramFolder()), prefix.ProgramFolder());
}

TEST(LanguageRoot, EitherFolderAloneMarksTheLayout) {
    Prefix beside("toolbox-only");
    fs::create_directories(beside.root / "bin" / "Toolbox_Language");
    fs::create_directories(beside.Installed() / "Language");
    EXPECT_EQ(shell::LanguageRoot(beside.ProgramFolder()), beside.ProgramFolder());

    Prefix installed("installed-toolbox-only");
    fs::create_directories(installed.Installed() / "Toolbox_Language");
    EXPECT_TRUE(SameFolder(shell::LanguageRoot(installed.ProgramFolder()), installed.Installed()));
}

TEST(LanguageRoot, NoLanguageFoldersAnywhereLeavesTheProgramFolder) {
    Prefix prefix("none");
    // A share/dunro without language folders is not taken either.
    fs::create_directories(prefix.Installed() / "other");
    EXPECT_EQ(shell::LanguageRoot(prefix.ProgramFolder()), prefix.ProgramFolder());
}

TEST(LanguageRoot, TheBuildTreeKeepsThemBesideThePrograms) {
    EXPECT_TRUE(SameFolder(shell::LanguageRoot(std::string(DUNRO_BINARY_DIR) + "/bin/"),
                           fs::path(DUNRO_BINARY_DIR) / "bin"));
}
