// Decoding edge cases of the FAT32 reader on hand-made structures.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "support/process.h"

namespace {

// A FAT32 geometry with no device behind it: 512-byte sectors and clusters,
// 32 reserved sectors, two FATs of 512 sectors, so data starts at sector 1056.
struct Volume {
    TDriverInfo drive{"X:", 0};
    std::unique_ptr<TDISK_FAT> fat;

    explicit Volume(uint32_t totalSectors = 70000) {
        drive.BootSector.assign(512, 0);
        auto put16 = [&](size_t at, uint16_t v) { drive.BootSector[at] = v & 0xFF, drive.BootSector[at + 1] = v >> 8; };
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                drive.BootSector[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        put16(11, 512);
        drive.BootSector[13] = 1;
        put16(14, 32);
        drive.BootSector[16] = 2;
        put32(32, totalSectors);
        put32(36, 512);
        put32(44, 2);
        std::memcpy(&drive.BootSector[82], "FAT32   ", 8);
        fat = std::make_unique<TDISK_FAT>(&drive, volume::ReaderContext{});
        fat->Fat.assign(512 * 512, 0);
        fat->FatSize = fat->Fat.size();
    }
    void SetEntry(uint32_t cluster, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            fat->Fat[cluster * 4 + i] = static_cast<uint8_t>(value >> (8 * i));
    }
};

struct Entries {
    std::vector<uint8_t> bytes;

    Entries& Short(const char name11[12], uint8_t attr, uint32_t cluster, uint32_t size, uint8_t caseFlags = 0,
                   uint8_t first = 0) {
        std::vector<uint8_t> e(32, 0);
        std::memcpy(e.data(), name11, 11);
        if (first)
            e[0] = first;
        e[11] = attr;
        e[12] = caseFlags;
        e[20] = static_cast<uint8_t>(cluster >> 16), e[21] = static_cast<uint8_t>(cluster >> 24);
        e[26] = static_cast<uint8_t>(cluster), e[27] = static_cast<uint8_t>(cluster >> 8);
        for (int i = 0; i < 4; ++i)
            e[28 + i] = static_cast<uint8_t>(size >> (8 * i));
        e[24] = 0x21, e[25] = 0x52;  // 2021-01-01
        e[22] = 0x00, e[23] = 0x60;  // 12:00:00
        bytes.insert(bytes.end(), e.begin(), e.end());
        return *this;
    }

    // Long-name entries for `name` (UTF-16), last piece first, then nothing else.
    Entries& Long(const std::u16string& name, uint8_t checksum, uint8_t first = 0) {
        std::u16string padded = name;
        if (padded.size() % 13)
            padded.push_back(0);
        while (padded.size() % 13)
            padded.push_back(0xFFFF);
        const size_t pieces = padded.size() / 13;
        for (size_t k = pieces; k-- > 0;) {
            std::vector<uint8_t> e(32, 0);
            e[0] = first ? first : static_cast<uint8_t>((k + 1) | (k + 1 == pieces ? 0x40 : 0));
            e[11] = 0x0F;
            e[13] = checksum;
            static const size_t kSlots[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
            for (size_t i = 0; i < 13; ++i) {
                char16_t u = padded[k * 13 + i];
                e[kSlots[i]] = static_cast<uint8_t>(u);
                e[kSlots[i] + 1] = static_cast<uint8_t>(u >> 8);
            }
            bytes.insert(bytes.end(), e.begin(), e.end());
        }
        return *this;
    }
};

// The checksum long-name pieces carry for a short name as it was before deletion.
uint8_t Sum(const char name11[12]) {
    return fat::ShortNameChecksum(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name11), 11));
}

std::vector<std::string> Names(const FileList& files) {
    std::vector<std::string> names;
    for (const auto& f : files)
        names.push_back(f->FileName);
    return names;
}

} // namespace

TEST(FatGeometry, DataRegionAndClusterNumbering) {
    Volume v;
    EXPECT_EQ(v.fat->DataStartCluster, 1056u);
    EXPECT_EQ(v.fat->DataStartRemainder, 0u);
    EXPECT_EQ(v.fat->OffsetOf(v.fat->IndexOf(2)), 1056 * 512);
    EXPECT_EQ(v.drive.SectorSize, 512);
}

TEST(FatChains, ContiguousClustersMergeIntoOneRun) {
    Volume v;
    v.SetEntry(10, 11), v.SetEntry(11, 12), v.SetEntry(12, 0x0FFFFFFF);
    TMyFolder a;
    ASSERT_TRUE(v.fat->BuildRuns(a, 512, v.fat->IndexOf(10), false));
    ASSERT_EQ(a.Runs.size(), 1u);
    EXPECT_EQ(a.Runs[0].RunLength, 3 * 512);

    v.SetEntry(20, 22), v.SetEntry(22, 23), v.SetEntry(23, 0x0FFFFFF8);
    TMyFolder b;
    ASSERT_TRUE(v.fat->BuildRuns(b, 512, v.fat->IndexOf(20), false));
    ASSERT_EQ(b.Runs.size(), 2u);
    EXPECT_EQ(b.Runs[0].RunLength, 512);
    EXPECT_EQ(b.Runs[1].RunLength, 1024);
}

TEST(FatChains, FreeAndReservedValuesEndTheChain) {
    Volume v;
    v.SetEntry(30, 0);
    TMyFolder a;
    ASSERT_TRUE(v.fat->BuildRuns(a, 512, v.fat->IndexOf(30), false));
    EXPECT_EQ(a.Runs.size(), 1u);
    v.SetEntry(31, 1);
    TMyFolder b;
    ASSERT_TRUE(v.fat->BuildRuns(b, 512, v.fat->IndexOf(31), false));
    EXPECT_EQ(b.Runs.size(), 1u);
    TMyFolder outside;
    EXPECT_FALSE(v.fat->BuildRuns(outside, 512, v.fat->ClusterCount + 5, false));
}

TEST(FatChains, ALoopingChainEnds) {
    Volume v;
    v.SetEntry(40, 41), v.SetEntry(41, 42), v.SetEntry(42, 40);
    TMyFolder a;
    EXPECT_TRUE(v.fat->BuildRuns(a, 512, v.fat->IndexOf(40), false));
    EXPECT_TRUE(v.fat->BuildRuns(a, 512, v.fat->IndexOf(40), true));
    v.SetEntry(50, 50);  // a cluster that points at itself
    EXPECT_TRUE(v.fat->BuildRuns(a, 512, v.fat->IndexOf(50), false));
}

TEST(FatChains, LookupsOutsideTheTableCountAsInUse) {
    Volume v;
    EXPECT_EQ(v.fat->FatEntry(0), TDISK_FAT::kNoEntry);
    EXPECT_EQ(v.fat->FatEntry(v.fat->ClusterCount), TDISK_FAT::kNoEntry);
    EXPECT_EQ(v.fat->FatEntry(v.fat->IndexOf(2)), 0u);
    v.fat->Fat.resize(64);  // a table shorter than the volume
    v.fat->FatSize = 64;
    EXPECT_EQ(v.fat->FatEntry(v.fat->IndexOf(100)), TDISK_FAT::kNoEntry);
}

TEST(FatNames, LongNamesDropTerminatorAndPaddingAndKeepSpaces) {
    Volume v;
    TMyFolder root;
    root.ListIndex = 0;
    FileList files;
    FolderList folders;
    Entries e;
    e.Long(u"report.docx", Sum("REPORT~1DOC"), 0xE5).Short("\xE5" "EPORT~1DOC", 0x20, 100, 10, 0, 0);
    e.Long(u"Hello World, this name.txt", Sum("HELLOW~1TXT"), 0xE5).Short("\xE5" "ELLOW~1TXT", 0x20, 101, 10);
    e.Long(u"\U0001F600 smile.txt", Sum("_SMILE~1TXT"), 0xE5).Short("\xE5" "SMILE~1TXT", 0x20, 102, 10);
    e.Long(u"what?.txt", Sum("WHAT_~1 TXT"), 0xE5).Short("\xE5" "HAT_~1 TXT", 0x20, 103, 10);
    ASSERT_TRUE(v.fat->ParseEntries(root, e.bytes, files, folders));
    EXPECT_EQ(Names(files), (std::vector<std::string>{"report.docx", "Hello World, this name.txt",
                                                      "\xF0\x9F\x98\x80 smile.txt", "what_.txt"}));
    EXPECT_EQ(files[0]->Extension, ".docx");
}

TEST(FatNames, ShortNamesLoseTheirFirstLetterAndKeepCaseFlags) {
    Volume v;
    TMyFolder root;
    FileList files;
    FolderList folders;
    Entries e;
    e.Short("\xE5OO     JPG", 0x20, 100, 10);
    e.Short("\xE5OTES   TXT", 0x20, 101, 10, 0x18);
    e.Short("\xE5" "EADME     ", 0x20, 102, 10);
    ASSERT_TRUE(v.fat->ParseEntries(root, e.bytes, files, folders));
    EXPECT_EQ(Names(files), (std::vector<std::string>{"åOO.JPG", "åotes.txt", "åEADME"}));
}

TEST(FatNames, ABadChecksumSplitsTheName) {
    Volume v;
    TMyFolder root;
    FileList files;
    FolderList folders;
    Entries e;
    // Two long-name runs that belong to different short names, then the short entry.
    e.Long(u"first part of a long name.txt", 0x55, 0xE5);
    e.bytes.erase(e.bytes.end() - 32, e.bytes.end());  // lose a piece
    e.Long(u"b.txt", Sum("B~1     TXT"), 0xE5).Short("\xE5~1     TXT", 0x20, 104, 10);
    ASSERT_TRUE(v.fat->ParseEntries(root, e.bytes, files, folders));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->FileName, "b.txt");
}

TEST(FatEntries, EndMarkerStopsTheFolderAndLiveFilesAreSkipped) {
    Volume v;
    TMyFolder root;
    FileList files;
    FolderList folders;
    Entries e;
    e.Short("LIVE    TXT", 0x20, 100, 10);
    e.Short("\xE5" "EAD    TXT", 0x20, 101, 10);
    e.bytes.resize(e.bytes.size() + 32, 0);  // the end of the directory
    e.Short("\xE5" "FTER   TXT", 0x20, 102, 10);
    ASSERT_TRUE(v.fat->ParseEntries(root, e.bytes, files, folders));
    EXPECT_EQ(Names(files), std::vector<std::string>{"åEAD.TXT"});
}

TEST(FatEntries, DeletedFolderWhoseClusterIsReusedYieldsNothing) {
    Volume v;
    TMyFolder root;
    FileList files;
    FolderList folders;
    v.SetEntry(200, 0x0FFFFFFF);
    Entries e;
    e.Short("\xE5LD        ", 0x10, 200, 0);
    e.Short("\xE5REE       ", 0x10, 300, 0);
    ASSERT_TRUE(v.fat->ParseEntries(root, e.bytes, files, folders));
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0]->FolderName, "åREE");
    EXPECT_TRUE(folders[0]->IsDeleted);
}

TEST(FatEntries, TimesAreTheVolumesLocalTime) {
    if (!testing_support::SetProcessTimeZone("Europe/Berlin"))
        GTEST_SKIP() << "this platform takes its time zone from the system";
    Volume v;
    TMyFolder root;
    FileList files;
    FolderList folders;
    Entries e;
    e.Short("\xE5" "EAD    TXT", 0x20, 101, 10);
    ASSERT_TRUE(v.fat->ParseEntries(root, e.bytes, files, folders));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0]->HasTimes);
    // 2021-01-01 12:00 in Berlin is 11:00 UTC.
    EXPECT_EQ(files[0]->ModifiedTime, (1609498800ull + 11644473600ull) * 10000000ull);
    testing_support::SetProcessTimeZone("UTC");
}

TEST(FatGrading, EveryClusterOfTheRunCounts) {
    Volume v;
    TMyFile f;
    f.DataPos = v.fat->OffsetOf(v.fat->IndexOf(1000));
    f.FileSize = 10 * 512;
    f.Runs.push_back(TMyFileRun{f.DataPos, f.FileSize, 0, true});
    EXPECT_EQ(v.fat->Grade(f, v.fat->FreeClusters()), kStateExcellent);
    v.SetEntry(1002, 0x0FFFFFFF);  // the third of ten clusters is in use again
    EXPECT_EQ(v.fat->Grade(f, v.fat->FreeClusters()), kStatePoor);
    v.SetEntry(1002, 0);
    v.SetEntry(1006, 0x0FFFFFFF);  // the seventh
    EXPECT_EQ(v.fat->Grade(f, v.fat->FreeClusters()), kStateGood);
    EXPECT_EQ(v.fat->Grade(f, v.fat->FreeClusters(), 2), kStatePoor);  // the third taken by a newer file
    TMyFile small;
    small.DataPos = v.fat->OffsetOf(v.fat->IndexOf(1006));
    small.FileSize = 100;  // smaller than a cluster, but its cluster is taken
    small.Runs.push_back(TMyFileRun{small.DataPos, small.FileSize, 0, true});
    EXPECT_EQ(v.fat->Grade(small, v.fat->FreeClusters()), kStatePoor);
}
