// FAT12 and FAT16 volumes made with mkfs.fat and mtools, against what The
// Sleuth Kit finds on them (fls -r -d, icat), and the corpus's FAT16 image.
#include <gtest/gtest.h>

#include <fstream>

#include "fat/fat_disk.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {

const char* const kImages[] = {"fat12-floppy.img", "fat16-card.img"};

std::string ImagePath(const std::string& name) { return std::string(DUNRO_FAT1216_IMAGES) + "/" + name; }

json LoadOracle(const std::string& name) {
    std::ifstream in(ImagePath(name) + ".oracle.json");
    return json::parse(in);
}

// The UTF-8 text after its first character.
std::string Tail(const std::string& s) {
    size_t i = 1;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
        ++i;
    return s.substr(std::min(i, s.size()));
}

// A deleted entry without a long name has lost its first letter: fls shows
// "_" for it, the reader the code page's reading of the deletion mark.
bool SameName(const std::string& listed, const std::string& found) {
    return listed == found || (!listed.empty() && listed[0] == '_' && Tail(listed) == Tail(found));
}

TMyFile* FindListed(const std::string& listedPath, const std::vector<TMyFile*>& results) {
    const std::string folder = Dirname(listedPath), name = Basename(listedPath);
    for (TMyFile* f : results) {
        const std::string path = SlashPath(f->FolderPath);
        if (!SameName(name, f->FileName))
            continue;
        // Folder by folder ("Docs/Old/"), with the same allowance for deleted short names.
        const std::string& want = folder;
        bool same = true;
        size_t a = 0, b = 0;
        while (same && a < want.size() && b < path.size()) {
            const size_t ea = want.find('/', a), eb = path.find('/', b);
            if (ea == std::string::npos || eb == std::string::npos)
                break;
            same = SameName(want.substr(a, ea - a), path.substr(b, eb - b));
            a = ea + 1;
            b = eb + 1;
        }
        if (same && a == want.size() && b == path.size())
            return f;
    }
    return nullptr;
}

struct Scanned {
    ScanSetup scan;
    json oracle;
    bool ok = false;
    explicit Scanned(const std::string& name) {
        if (!RequireFile(ImagePath(name)))
            return;
        oracle = LoadOracle(name);
        ok = scan.Run(ImagePath(name));
    }
};

} // namespace

TEST(Fat1216Volumes, TheWidthComesFromTheClusterCountAndTheLabelFromTheVolume) {
    const struct {
        const char* image;
        uint8_t fileSystem;
        const char* name;
    } cases[] = {{"fat12-floppy.img", kFileSystemFat12, "FAT12"}, {"fat16-card.img", kFileSystemFat16, "FAT16"}};
    for (const auto& c : cases) {
        Scanned s(c.image);
        ASSERT_TRUE(s.ok) << c.image;
        EXPECT_EQ(s.scan.disk->FileSystem(), c.fileSystem) << c.image;
        EXPECT_EQ(s.scan.disk->Reader->FileSystemName(), c.name) << c.image;
        EXPECT_EQ(s.scan.disk->Reader->VolumeLabel(), s.oracle["label"].get<std::string>()) << c.image;
    }
}

TEST(Fat1216Volumes, EveryDeletedFileTheSleuthKitListsIsFoundWithItsPath) {
    for (const char* image : kImages) {
        Scanned s(image);
        ASSERT_TRUE(s.ok) << image;
        int found = 0, inDeletedFolder = 0;
        for (const json& e : s.oracle["deleted"]) {
            const std::string path = e["path"];
            TMyFile* f = FindListed(path, s.scan.results);
            EXPECT_NE(f, nullptr) << image << ": " << path;
            found += f != nullptr;
            inDeletedFolder += f && path.rfind("Old Projects/", 0) == 0;
        }
        EXPECT_GE(found, 8) << image;
        EXPECT_EQ(inDeletedFolder, 3) << image;
    }
}

TEST(Fat1216Volumes, LongUnicodeNamesOnFat16AreFoundWholeAndComeBackByteExact) {
    Scanned s("fat16-card.img");
    ASSERT_TRUE(s.ok);
    const std::string names[] = {"Φωτογραφία διακοπών.txt", "照片集合 二〇一九.txt", std::string(196, 'L') + ".txt"};
    for (const std::string& name : names) {
        const json* listed = nullptr;
        for (const json& e : s.oracle["deleted"])
            if (e["path"] == "Names/" + name)
                listed = &e;
        ASSERT_NE(listed, nullptr) << name << " is not in the oracle: the images are older than this test";
        TMyFile* found = nullptr;
        for (TMyFile* f : s.scan.results)
            if (SlashPath(f->FolderPath) == "Names/" && f->FileName == name)
                found = f;
        ASSERT_NE(found, nullptr) << name;
        std::vector<uint8_t> data;
        ASSERT_TRUE(ReadAll(*found, data)) << name;
        EXPECT_EQ(Sha256Of(data), (*listed)["icat_sha256"].get<std::string>()) << name;
        EXPECT_TRUE((*listed)["intact"].get<bool>()) << name;
    }
}

TEST(Fat1216Volumes, IntactFilesComeBackByteExactAndDamagedOnesAreRarelyExcellent) {
    for (const char* image : kImages) {
        Scanned s(image);
        ASSERT_TRUE(s.ok) << image;
        int intact = 0, damaged = 0, damagedExcellent = 0;
        for (const json& e : s.oracle["deleted"]) {
            TMyFile* f = FindListed(e["path"], s.scan.results);
            if (!f)
                continue;  // reported by the finding test
            // A fragmented file is damaged for a reading that takes its clusters as contiguous.
            if (e["intact"].get<bool>() && !e["fragmented"].get<bool>()) {
                ++intact;
                std::vector<uint8_t> data;
                ASSERT_TRUE(ReadAll(*f, data)) << e["path"];
                EXPECT_EQ(Sha256Of(data), e["icat_sha256"].get<std::string>()) << image << ": " << e["path"];
            } else {
                ++damaged;
                damagedExcellent += f->State == kStateExcellent;
            }
        }
        EXPECT_GE(intact, 5) << image;
        ASSERT_GT(damaged, 0) << image;
        EXPECT_LE(damagedExcellent * 10, damaged) << image << ": " << damagedExcellent << " of " << damaged;
    }
}

TEST(Fat1216Volumes, TheCorpusFat16ImageIsScannedAsFat16) {
    const std::string path = CorpusPath("fat16-small.img");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    EXPECT_EQ(scan.disk->FileSystem(), kFileSystemFat16);
    std::ifstream listing(path + ".fls-deleted.txt");
    int checked = 0;
    for (std::string line; std::getline(listing, line);) {
        const size_t tab = line.find('\t');
        if (line.rfind("r/r * ", 0) != 0 || tab == std::string::npos || line.find("$OrphanFiles") != std::string::npos)
            continue;
        const std::string listed = line.substr(tab + 1);
        EXPECT_NE(FindListed(listed, scan.results), nullptr) << listed;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(Fat1216Volumes, TheUndeleteTestImageIsScannedAsFat16) {
    const std::string path = ReferencePath("dftt06-fat-undel.dd");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    EXPECT_EQ(scan.disk->FileSystem(), kFileSystemFat16);
    // What fls -r -d lists outside the restore points.
    for (const char* listed : {"_rag1.dat", "_rag2.dat", "_ing.dat", "_ult1.dat", "_ir1/dir2/frag3.dat", "_ir1/mult2.dat"})
        EXPECT_NE(FindListed(listed, scan.results), nullptr) << listed;
}
