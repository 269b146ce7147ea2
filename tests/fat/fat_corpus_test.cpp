// The FAT32 reader against real volumes: the corpus image with its manifest,
// and third-party images.
#include <gtest/gtest.h>

#include "fat/fat_disk.h"
#include "support/test_support.h"
#include "volume/text.h"

using namespace testing_support;
using nlohmann::json;

namespace {

bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}
// The UTF-8 text after its first character.
std::string Tail(const std::string& s) {
    size_t i = 1;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
        ++i;
    return s.substr(std::min(i, s.size()));
}

// Whether mtools stored a long name: it does unless the name fits 8.3 as it stands.
bool HasLongName(const std::string& base, const std::string& shortName) {
    if (shortName.find('~') != std::string::npos || shortName.find("__") != std::string::npos)
        return true;
    if (!IsAscii(base))
        return false;
    // Case flags store a part in all lower case; mixed case needs a long name.
    auto fits = [](const std::string& part, const std::string& shortPart) {
        return part == shortPart || part == volume::AsciiLower(shortPart);
    };
    const size_t dot = base.rfind('.'), shortDot = shortName.rfind('.');
    const std::string name = base.substr(0, dot), ext = dot == std::string::npos ? "" : base.substr(dot + 1);
    const std::string shortBase = shortName.substr(0, shortDot);
    const std::string shortExt = shortDot == std::string::npos ? "" : shortName.substr(shortDot + 1);
    return !(fits(name, shortBase) && fits(ext, shortExt));
}

// The folder path the reader shows: a deleted folder with only a short name
// has lost its first letter to the deletion mark.
std::string ExpectedFolder(const json& manifest, const std::string& dir) {
    std::string out, prefix;
    size_t start = 0;
    while (start < dir.size()) {
        size_t slash = dir.find('/', start);
        std::string part = dir.substr(start, slash - start);
        prefix += part;
        for (const json& e : manifest["files"]) {
            if (e["path"] == prefix && e.value("deleted", false) && !HasLongName(part, e.value("short_name", "")))
                part = "\xC3\xA5" + Tail(part);
        }
        out += part + "/";
        prefix += "/";
        start = slash + 1;
    }
    return out;
}

TMyFile* FindFile(const std::vector<TMyFile*>& results, const std::string& folder, const std::string& name) {
    for (TMyFile* f : results)
        if (SlashPath(f->FolderPath) == folder && f->FileName == name)
            return f;
    return nullptr;
}

// The found file of a deleted manifest entry, matched by folder and name.
TMyFile* FindDeleted(const json& manifest, const json& e, const std::vector<TMyFile*>& results) {
    const std::string p = e["path"];
    const std::string base = Basename(p);
    const std::string folder = ExpectedFolder(manifest, Dirname(p));
    if (HasLongName(base, e.value("short_name", "")))
        return FindFile(results, folder, base);
    // Only a short entry: its first letter is lost to the deletion mark.
    TMyFile* f = nullptr;
    for (TMyFile* c : results)
        if (SlashPath(c->FolderPath) == folder && c->FileSize == e["size"].get<int64_t>() &&
            volume::StartsWithIgnoreCase(c->FileName, "\xC3\xA5") &&
            (!IsAscii(base) || Tail(c->FileName) == Tail(base)))
            f = c;
    return f;
}

} // namespace


TEST(FatCorpus, BasicImageMatchesItsManifest) {
    const std::string path = CorpusPath("fat32-basic.img");
    if (!RequireFile(path))
        return;
    const json manifest = LoadManifest("fat32-basic.img");
    const std::string before = Sha256OfFile(path);
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    int checkedContent = 0, checkedNames = 0;
    for (const json& e : manifest["files"]) {
        if (e["type"] != "file" || !e.value("deleted", false) || e.value("size", 0) == 0)
            continue;
        const std::string p = e["path"];
        SCOPED_TRACE(p);
        const bool hasLongName = HasLongName(Basename(p), e.value("short_name", ""));
        TMyFile* f = FindDeleted(manifest, e, scan.results);
        ASSERT_NE(f, nullptr) << "not found";
        ++checkedNames;
        EXPECT_EQ(f->FileSize, e["size"].get<int64_t>());
        if (!hasLongName) {
            EXPECT_EQ(f->FileName.substr(0, 2), "\xC3\xA5");  // "å"
        }
        if (e.value("clusters_reallocated", 0) > 0 && !e.value("fragmented", false)) {
            EXPECT_NE(f->State, kStateExcellent);
        }
        if (e.value("content_intact", false) && !e.value("fragmented", false)) {
            std::vector<uint8_t> data;
            ASSERT_TRUE(ReadAll(*f, data));
            EXPECT_EQ(Sha256Of(data), e["sha256"].get<std::string>());
            ++checkedContent;
        }
    }
    EXPECT_GT(checkedNames, 60);
    EXPECT_GT(checkedContent, 30);
    EXPECT_EQ(Sha256OfFile(path), before) << "the image changed";
}

TEST(FatCorpus, AtMostOneInTenDamagedFilesIsExcellent) {
    const std::string path = CorpusPath("fat32-basic.img");
    if (!RequireFile(path))
        return;
    const json manifest = LoadManifest("fat32-basic.img");
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    int damaged = 0, damagedExcellent = 0, intact = 0, intactPoor = 0;
    for (const json& e : manifest["files"]) {
        if (e["type"] != "file" || !e.value("deleted", false) || e.value("size", 0) == 0 ||
            !e.contains("content_intact"))
            continue;
        TMyFile* f = FindDeleted(manifest, e, scan.results);
        ASSERT_NE(f, nullptr) << e["path"];
        if (e["content_intact"].get<bool>()) {
            ++intact;
            intactPoor += f->State == kStatePoor;
        } else {
            ++damaged;
            damagedExcellent += f->State == kStateExcellent;
        }
    }
    ASSERT_GT(damaged, 0);
    EXPECT_LE(damagedExcellent * 10, damaged)
        << damagedExcellent << " of " << damaged << " damaged files are Excellent";
    RecordProperty("damaged", damaged);
    RecordProperty("damaged_excellent", damagedExcellent);
    RecordProperty("intact", intact);
    RecordProperty("intact_poor", intactPoor);
}

TEST(FatCorpus, DeletedFoldersAreWalked) {
    const std::string path = CorpusPath("fat32-basic.img");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    const TMyFolder* deeper = nullptr;
    for (const auto& f : scan.disk->Folders)
        if (f->FolderName == "\xC3\xA5" "eeper")
            deeper = f.get();
    ASSERT_NE(deeper, nullptr);
    EXPECT_TRUE(deeper->IsDeleted);
    EXPECT_NE(FindFile(scan.results, "Old Stuff/Photos 2010/Nested/\xC3\xA5" "eeper/", "\xC3\xA5ote.txt"), nullptr);
    EXPECT_EQ(scan.disk->Folders.back()->FolderName, "Unkown");
    EXPECT_EQ(scan.disk->Folders.back()->FileCount, 0u);
    EXPECT_EQ(scan.disk->Folders[0]->FileCount, scan.results.size());
}

TEST(FatCorpus, FatcatDeletedFileReadsBack) {
    const std::string path = ReferencePath("fatcat-deleted.img");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    TMyFile* file = nullptr;
    for (TMyFile* f : scan.results)
        if (f->FileName == "file.txt")
            file = f;
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> data;
    ASSERT_TRUE(ReadAll(*file, data));
    EXPECT_EQ(std::string(data.begin(), data.end()), "This file was deleted!\n");
}

TEST(FatCorpus, CyrillicLongNameUnderAVeryLongFolderName) {
    const std::string path = UnpackedPath("fat32_full_test.raw");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    TMyFile* file = nullptr;
    for (TMyFile* f : scan.results)
        if (f->FileName == ".привет.txt.swp")
            file = f;
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->FileSize, 1024);
    ASSERT_FALSE(file->FolderPath.empty());
    // The folder's entry holds 20 long-name pieces: 248 ones (listings that
    // shorten long names show one fewer).
    EXPECT_EQ(file->FolderPath, std::string(248, '1') + "\\");
}

TEST(FatCorpus, DeletedFolderOfFiveHundredEntriesIsWalked) {
    const std::string path = UnpackedPath("dfirntfs-fat_deleted_dir.raw");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    const TMyFolder* test = nullptr;
    for (const auto& f : scan.disk->Folders)
        if (f->FolderName == "test")
            test = f.get();
    ASSERT_NE(test, nullptr);
    EXPECT_TRUE(test->IsDeleted);
    // 500 deleted entries over 32 clusters, of which the table no longer says
    // which belong to the folder. They are 0-byte files: the reader records
    // them, the listing leaves them out.
    size_t inTest = 0;
    for (const auto& f : scan.disk->Files)
        inTest += f->FolderIndex == test->ListIndex;
    EXPECT_EQ(inTest, 500u);
}
