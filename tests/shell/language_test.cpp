#include <gtest/gtest.h>

#include "support/test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "shell/ini_file.h"
#include "shell/language.h"
#include "volume/language.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {
fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("dunro-lang-" + name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// The shipped language files, as the build copies them beside the programs.
fs::path Shipped() { return fs::path(DUNRO_BINARY_DIR) / "bin"; }

std::set<std::string> Keys(const fs::path& file) {
    TSafeIniFile ini(file.string());
    auto names = ini.ReadSection("Undelete_M");
    return {names.begin(), names.end()};
}
} // namespace

TEST(LanguageFiles, EnglishHoldsEveryMessageWithItsDefaultText) {
    TSafeIniFile english((Shipped() / "Toolbox_Language" / "English.lng").string());
    for (const auto& [key, text] : MessageDefaults())
        EXPECT_EQ(english.ReadString("Undelete_M", key, "<missing>"), text) << key;
    EXPECT_EQ(Keys(Shipped() / "Toolbox_Language" / "English.lng").size(), MessageDefaults().size());
}

TEST(LanguageFiles, TranslationsHoldTheSameKeysAsEnglish) {
    const auto english = Keys(Shipped() / "Toolbox_Language" / "English.lng");
    int translations = 0;
    for (const auto& entry : fs::directory_iterator(Shipped() / "Toolbox_Language")) {
        if (entry.path().filename() == "English.lng")
            continue;
        ++translations;
        EXPECT_EQ(Keys(entry.path()), english) << entry.path();
        TSafeIniFile file(entry.path().string());
        EXPECT_NE(file.ReadString("Main", "DisplayName", ""), "") << entry.path();
        // Placeholders survive translation.
        for (const char* key : {"M_RecoDiskPoor_", "M_AskRecoStop", "M_Scaning40", "M_SelectFileCount"}) {
            const std::string en = TSafeIniFile((Shipped() / "Toolbox_Language" / "English.lng").string())
                                       .ReadString("Undelete_M", key, "");
            const std::string tr = file.ReadString("Undelete_M", key, "");
            for (const char* ph : {"%d1", "%d2", "%d", "%s1", "%s2", "%s"})
                EXPECT_EQ(en.find(ph) != std::string::npos, tr.find(ph) != std::string::npos) << key << " " << ph;
        }
    }
    EXPECT_GE(translations, 1);
}

TEST(Language, FilesAreListedByDisplayNameOrFileName) {
    fs::path dir = FreshDir("list");
    std::ofstream(dir / "Testish.lng") << "[Main]\nDisplayName=Test Language\n[Undelete_M]\nM_Recover=Rekover\nM_Empty=\n";
    std::ofstream(dir / "Nameless.lng") << "[Undelete_M]\nM_Recover=x\n";
    std::ofstream(dir / "English.lng") << "[Main]\nDisplayName=English\n[Undelete_M]\nM_Recover=Recover!\n";
    TLanguage language("Undelete", dir.string() + "/");
    auto find = [&](const std::string& name) {
        for (size_t i = 0; i < language.Names.size(); ++i)
            if (language.Names[i] == name)
                return language.DisplayNames[i];
        return std::string("<none>");
    };
    EXPECT_EQ(find("Testish"), "Test Language");
    EXPECT_EQ(find("Nameless"), "Nameless");
    language.LoadLanguage("Testish");
    EXPECT_EQ(language.CurrentName(), "Testish");
    EXPECT_EQ(language.Message("M_Recover", "Recover"), "Rekover");
    EXPECT_EQ(language.Message("m_recover", "Recover"), "Rekover");
    EXPECT_EQ(language.Message("M_Empty", "default"), "");
    EXPECT_EQ(language.Message("M_Missing", "default"), "default");
    // A language whose file vanished falls back to English.
    fs::remove(dir / "Testish.lng");
    language.LoadLanguage("Testish");
    EXPECT_EQ(language.Message("M_Recover", "Recover"), "Recover!");
    language.LoadLanguage("Klingon");
    EXPECT_EQ(language.CurrentName(), "English");
    fs::remove_all(dir);
}

TEST(Language, TheMessageTableFollowsMainIni) {
    fs::path data = FreshDir("data");
    {
        TSafeIniFile settings;
        settings.WriteString("main", "Language", "Deutsch");
        ASSERT_TRUE(settings.Save((data / "Main.ini").string()));
    }
    TLanUse german(Shipped().string() + "/", data.string() + "/");
    EXPECT_EQ(german.Message("M_RecoverExcellent", "Excellent"), "Ausgezeichnet");
    german.Install();
    EXPECT_EQ(volume::LangText("M_Photo", "Photos"), "Fotos");
    volume::SetTextLookup(nullptr);
    EXPECT_EQ(volume::LangText("M_Photo", "Photos"), "Photos");

    TLanUse fallback(Shipped().string() + "/", (data / "nowhere").string() + "/");
    EXPECT_EQ(fallback.Message("M_RecoverExcellent", "?"), "Excellent");
    EXPECT_EQ(fallback.Language().CurrentName(), "English");
    fs::remove_all(data);
}

TEST(Language, NoFilesAtAllMeansDefaults) {
    fs::path empty = FreshDir("empty");
    TLanUse none(empty.string() + "/", empty.string() + "/");
    EXPECT_EQ(none.Message("M_Recover", "Recover"), "Recover");
    fs::remove_all(empty);
}

TEST(LanguageFiles, WindowTranslationsHoldTheSameKeysInEveryLanguage) {
    const fs::path folder = Shipped() / "Language";
    TSafeIniFile english((folder / "English.lng").string());
    const auto windows = english.SectionNames();
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        TSafeIniFile file(entry.path().string());
        for (const std::string& section : windows) {
            if (section == "Main")
                continue;
            auto expected = english.ReadSection(section);
            auto found = file.ReadSection(section);
            std::sort(expected.begin(), expected.end());
            std::sort(found.begin(), found.end());
            EXPECT_EQ(found, expected) << entry.path() << " [" << section << "]";
            for (const std::string& key : found)
                EXPECT_NE(file.ReadString(section, key, ""), "") << entry.path() << " " << key;
            ++checked;
        }
    }
    EXPECT_GE(checked, 2);
}
