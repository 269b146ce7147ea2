#include <gtest/gtest.h>

#include "support/test_support.h"

#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "shell/ini_file.h"
#include "shell/text_file.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {
fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("dunro-ini-" + name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void WriteBytes(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}
} // namespace

TEST(IniFile, ParsingRules) {
    fs::path dir = FreshDir("parse");
    WriteBytes(dir / "a.ini",
               "orphan=dropped\r\n"
               "[ Main ]\r\n"
               "  Language = Deutsch  \r\n"
               "; a comment\r\n"
               "Empty=\r\n"
               "Url=a=b=c\r\n"
               "[Main\r\n"
               "[other]\r\n"
               "x=1\r\n"
               "[MAIN]\r\n"
               "Later=yes\r\n");
    TSafeIniFile ini((dir / "a.ini").string());
    EXPECT_FALSE(ini.LoadFailed());
    EXPECT_EQ(ini.ReadString("Main", "Language", "English"), "Deutsch");
    EXPECT_EQ(ini.ReadString("main", "language", "English"), "Deutsch");  // names ignore case
    EXPECT_EQ(ini.ReadString("Main", "Empty", "default"), "");             // empty stays empty
    EXPECT_EQ(ini.ReadString("Main", "Url", ""), "a=b=c");
    EXPECT_EQ(ini.ReadString("Main", "orphan", "none"), "none");
    EXPECT_EQ(ini.ReadString("Main", "Later", ""), "yes");  // [MAIN] reopens Main
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Main", "other"}));
    // "[Main" is a line of its section, not a section of its own.
    auto names = ini.ReadSection("Main");
    EXPECT_NE(std::find(names.begin(), names.end(), "[Main"), names.end());
    fs::remove_all(dir);
}

TEST(IniFile, SavesUtf16WithCrLfAndReadsItBack) {
    fs::path dir = FreshDir("save");
    const fs::path file = dir / "deeper" / "still deeper" / "Main.ini";
    TSafeIniFile ini;
    ini.WriteString("main", "SkipUAC", "1");
    ini.WriteString("Main", "Language", "Deutsch");
    ini.WriteString("Main", "language", "Français");
    ASSERT_TRUE(ini.Save(file.string()));
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(bytes.find(std::string("\r\0\n\0", 4)), std::string::npos);
    TSafeIniFile again(file.string());
    EXPECT_EQ(again.ReadString("MAIN", "SkipUAC", ""), "1");
    EXPECT_EQ(again.ReadString("Main", "Language", ""), "Français");
    EXPECT_EQ(again.SectionNames().size(), 1u);
    fs::remove_all(dir);
}

TEST(IniFile, AReadOnlyFileIsWrittenAndStaysReadOnly) {
    fs::path dir = FreshDir("readonly");
    const fs::path file = dir / "Main.ini";
    WriteBytes(file, "[Main]\nLanguage=English\n");
    fs::permissions(dir, fs::perms::all);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto writeIt = [&file] {
        TSafeIniFile ini(file.string());
        ini.WriteString("Main", "Language", "Deutsch");
        return ini.Save(file.string());
    };
#ifdef _WIN32
    EXPECT_TRUE(writeIt());
#else
    // Root writes anything; the owner of the file is who the rule is for.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        _exit(writeIt() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
    TSafeIniFile ini(file.string());
    EXPECT_EQ(ini.ReadString("Main", "Language", ""), "Deutsch");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    fs::remove_all(dir);
}

TEST(IniFile, EncodingsAreRecognised) {
    fs::path dir = FreshDir("encodings");
    WriteBytes(dir / "le.ini", Utf16("[Main]\r\nKey=le\r\n", false));
    WriteBytes(dir / "be.ini", Utf16("[Main]\r\nKey=be\r\n", true));
    WriteBytes(dir / "bom.ini", "\xEF\xBB\xBF[Main]\nKey=b\xC3\xB6m\n");
    WriteBytes(dir / "plain.ini", "[Main]\nKey=pl\xC3\xA4in\n");
    EXPECT_EQ(TSafeIniFile((dir / "le.ini").string()).ReadString("Main", "Key", ""), "le");
    EXPECT_EQ(TSafeIniFile((dir / "be.ini").string()).ReadString("Main", "Key", ""), "be");
    EXPECT_EQ(TSafeIniFile((dir / "bom.ini").string()).ReadString("Main", "Key", ""), "böm");
    EXPECT_EQ(TSafeIniFile((dir / "plain.ini").string()).ReadString("Main", "Key", ""), "pläin");
    fs::remove_all(dir);
}

TEST(IniFile, HostileFilesAreReadWithoutHarm) {
    fs::path dir = FreshDir("hostile");
    std::string garbage;
    for (int i = 0; i < 100000; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    WriteBytes(dir / "garbage.ini", garbage);
    WriteBytes(dir / "long.ini", "[Main]\nKey=" + std::string(10 << 20, 'x') + "\n");
    WriteBytes(dir / "bom-only.ini", "\xFF\xFE");
    WriteBytes(dir / "odd.ini", Utf16("[Main]\r\nKey=v", false) + "\x41");
    WriteBytes(dir / "bad-utf8.ini", "[Main]\nKey=\xC3\x28\xF0\x28\x8C\xBC\xFF end\n");
    TSafeIniFile((dir / "garbage.ini").string()).ReadString("Main", "Key", "");
    EXPECT_EQ(TSafeIniFile((dir / "long.ini").string()).ReadString("Main", "Key", "").size(), size_t{10} << 20);
    EXPECT_TRUE(TSafeIniFile((dir / "bom-only.ini").string()).SectionNames().empty());
    EXPECT_EQ(TSafeIniFile((dir / "odd.ini").string()).ReadString("Main", "Key", ""), "v");
    const std::string bad = TSafeIniFile((dir / "bad-utf8.ini").string()).ReadString("Main", "Key", "");
    EXPECT_NE(bad.find("end"), std::string::npos);  // the parse went on past the bad bytes
    EXPECT_NE(bad.find("\xEF\xBF\xBD"), std::string::npos);
    fs::remove_all(dir);
}

TEST(IniFile, AMissingFileIsCreatedWithItsFolders) {
    fs::path dir = FreshDir("create");
    const fs::path file = dir / "a" / "b" / "FileList.ini";
    TSafeIniFile ini(file.string(), IniEncoding::Utf16Le);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 2u);
    EXPECT_EQ(ini.ReadString("Files", "0", "none"), "none");
    fs::remove_all(dir);
}
