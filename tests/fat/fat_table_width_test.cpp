// Hand-made tables and boot sectors for the narrow FAT widths: 12-bit entries
// packed two to three bytes, 16-bit ones, and the width a boot sector implies.
#include <gtest/gtest.h>

#include <vector>

#include "fat/fat_geometry.h"
#include "fat/fat_layout.h"

namespace fl = fat::layout;

namespace {

// Packs 12-bit entries as FAT12 stores them: an even entry in the low 12 bits
// of its pair's first two bytes, the odd one in the high 12 bits of the last two.
std::vector<uint8_t> Pack12(const std::vector<uint16_t>& entries) {
    std::vector<uint8_t> out((entries.size() * 3 + 1) / 2, 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t at = i * 3 / 2;
        if (i % 2) {
            out[at] |= static_cast<uint8_t>((entries[i] & 0x0F) << 4);
            out[at + 1] = static_cast<uint8_t>(entries[i] >> 4);
        } else {
            out[at] = static_cast<uint8_t>(entries[i]);
            out[at + 1] |= static_cast<uint8_t>(entries[i] >> 8);
        }
    }
    return out;
}

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A boot sector of the FAT12/16 form; `typeText` is written where the label says what it is.
std::vector<uint8_t> NarrowBootSector(uint16_t totalSectors, uint8_t sectorsPerCluster, uint16_t sectorsPerTable,
                                      const char* typeText) {
    std::vector<uint8_t> b(fl::boot::kSize, 0);
    b[0] = fl::boot::kShortJump;
    b[1] = 0x3C;
    b[2] = 0x90;
    Put16(b, fl::boot::kBytesPerSector, 512);
    b[fl::boot::kSectorsPerCluster] = sectorsPerCluster;
    Put16(b, fl::boot::kReservedSectors, 1);
    b[fl::boot::kTableCount] = 2;
    Put16(b, fl::boot::kRootEntryCount, 224);
    Put16(b, fl::boot::kTotalSectors16, totalSectors);
    b[fl::boot::kMedia] = fl::boot::kFloppyMedia;
    Put16(b, fl::boot::kSectorsPerTable16, sectorsPerTable);
    b[fl::boot16::kExtendedSignature] = fl::boot16::kHasLabel;
    for (size_t i = 0; typeText[i]; ++i)
        b[fl::boot16::kFileSystemType + i] = static_cast<uint8_t>(typeText[i]);
    return b;
}

} // namespace

TEST(FatTableWidth, TwelveBitEntriesUnpackOddAndEvenAndWidenTheirMarks) {
    const std::vector<uint8_t> table = Pack12({0xFF0, 0xFFF, 0x003, 0xABC, 0xFF7, 0x123, 0xFF8});
    EXPECT_EQ(fat::TableEntry(table, 2, 12), 0x003u);
    EXPECT_EQ(fat::TableEntry(table, 3, 12), 0xABCu);
    EXPECT_EQ(fat::TableEntry(table, 5, 12), 0x123u);
    EXPECT_EQ(fat::TableEntry(table, 4, 12), fl::table::kBadCluster);
    EXPECT_GE(*fat::TableEntry(table, 1, 12), fl::table::kEndOfChainFrom);
    EXPECT_GE(*fat::TableEntry(table, 6, 12), fl::table::kEndOfChainFrom);
    EXPECT_EQ(fat::RawTableEntry(table, 3, 12), 0xABCu);
}

TEST(FatTableWidth, TheLastTwelveBitEntryIsReadOnlyWhenItsBytesArePresent) {
    // Seven entries take ten and a half bytes: the last, even one ends in the
    // low half of byte 10, and the half byte after it is no entry.
    const std::vector<uint8_t> odd = Pack12({0xFF0, 0xFFF, 2, 3, 4, 5, 0x765});
    ASSERT_EQ(odd.size(), 11u);
    EXPECT_EQ(fat::TableEntry(odd, 6, 12), 0x765u);
    EXPECT_EQ(fat::TableEntry(odd, 7, 12), std::nullopt);
    // Six entries fill nine bytes exactly: the odd last one ends the table.
    const std::vector<uint8_t> even = Pack12({0xFF0, 0xFFF, 2, 3, 4, 0x0AB});
    ASSERT_EQ(even.size(), 9u);
    EXPECT_EQ(fat::TableEntry(even, 5, 12), 0x0ABu);
    EXPECT_EQ(fat::TableEntry(even, 6, 12), std::nullopt);
    EXPECT_EQ(fat::TableEntry(std::vector<uint8_t>(even.begin(), even.end() - 1), 5, 12), std::nullopt);
}

TEST(FatTableWidth, WritingATwelveBitEntryLeavesItsNeighbourAlone) {
    std::vector<uint8_t> table = Pack12({0xFF0, 0xFFF, 0x111, 0x222, 0x333});
    fat::PutRawTableEntry(table, 3, 12, 0xEDC);
    fat::PutRawTableEntry(table, 2, 12, 0x0BA);
    EXPECT_EQ(fat::TableEntry(table, 2, 12), 0x0BAu);
    EXPECT_EQ(fat::TableEntry(table, 3, 12), 0xEDCu);
    EXPECT_EQ(fat::TableEntry(table, 4, 12), 0x333u);
    EXPECT_EQ(fat::TableEntry(table, 1, 12), fat::TableEntry(Pack12({0, 0xFFF}), 1, 12));
}

TEST(FatTableWidth, SixteenBitEntriesWidenTheirMarks) {
    std::vector<uint8_t> table(10, 0);
    Put16(table, 4, 0x1234);
    Put16(table, 6, 0xFFF7);
    Put16(table, 8, 0xFFFF);
    EXPECT_EQ(fat::TableEntry(table, 2, 16), 0x1234u);
    EXPECT_EQ(fat::TableEntry(table, 3, 16), fl::table::kBadCluster);
    EXPECT_GE(*fat::TableEntry(table, 4, 16), fl::table::kEndOfChainFrom);
    EXPECT_EQ(fat::TableEntry(table, 5, 16), std::nullopt);
}

TEST(FatTableWidth, TheWidthComesFromTheClusterCountNotTheLabel) {
    // A 1.44 MB floppy: 2,847 clusters, whatever the label claims.
    const auto floppy = NarrowBootSector(2880, 1, 9, "FAT16   ");
    EXPECT_EQ(fat::TableBitsOf(floppy), 12);
    const auto geometry = fat::ParseGeometry(floppy);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->RootSectors, 14u);
    EXPECT_EQ(geometry->DataStartSector(), 1u + 2 * 9 + 14);
    // 4,085 clusters and more: FAT16 (1 + 2*16 + 14 sectors before the data).
    EXPECT_EQ(fat::TableBitsOf(NarrowBootSector(4085 + 47, 1, 16, "FAT12   ")), 16);
    EXPECT_EQ(fat::TableBitsOf(NarrowBootSector(4084 + 47, 1, 16, "FAT12   ")), 12);
    // No jump at the start: not a FAT boot sector at all.
    auto noJump = floppy;
    noJump[0] = 0;
    EXPECT_EQ(fat::TableBitsOf(noJump), 0);
}
