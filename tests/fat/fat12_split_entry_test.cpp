// FAT12 table entries that lie across a sector boundary, on the FAT12 floppy
// image, when a table sector cannot be read: such an entry is never made of
// halves from different copies, nor of a real half and an unknown one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fat/fat_disk.h"
#include "fat/fat_layout.h"
#include "platform/read_faults.h"
#include "support/test_support.h"
#include "volume/byte_reader.h"

using namespace testing_support;

namespace {

namespace boot = fat::layout::boot;

// Entry 341 starts in the high half of the last byte of the table's first
// 512-byte sector, entry 682 in the whole last byte of its second: both
// cross into the next sector.
constexpr uint64_t kFirstSplitSlot = 341;
constexpr uint64_t kSecondSplitSlot = 682;
constexpr uint32_t kTwelveBitEndOfChain = 0x0FFFFFF8;  // as the reader widens 0xFF8 and up

class Fat12SplitEntry : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string source = std::string(DUNRO_FAT1216_IMAGES) + "/fat12-floppy.img";
        if (!RequireFile(source))
            GTEST_SKIP();
        image_ = CopyToTemp(source, ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::vector<uint8_t> sector(boot::kSize);
        std::ifstream(image_, std::ios::binary).read(reinterpret_cast<char*>(sector.data()), boot::kSize);
        const volume::ByteReader r(sector);
        sectorBytes_ = *r.u16(boot::kBytesPerSector);
        table_ = uint64_t{*r.u16(boot::kReservedSectors)} * sectorBytes_;
        tableBytes_ = uint64_t{*r.u16(boot::kSectorsPerTable16)} * sectorBytes_;
    }
    void TearDown() override {
        platform::ClearReadFaults();
        std::error_code ignored;
        std::filesystem::remove(image_, ignored);
    }
    // The table sector (of one copy) that holds byte `at` of the table.
    platform::ByteRange TableSector(uint64_t copy, uint64_t at) const {
        return {table_ + copy * tableBytes_ + at / sectorBytes_ * sectorBytes_, sectorBytes_};
    }
    // The entry of a table slot as the reader holds it after reading the table.
    static uint32_t Entry(const ScanSetup& scan, uint64_t slot) {
        const auto* reader = dynamic_cast<const TDISK_FAT*>(scan.disk->Reader.get());
        return static_cast<uint32_t>(reader->FatEntry(reader->DataStartCluster + slot - 2));
    }

    std::string image_;
    uint32_t sectorBytes_ = 0;
    uint64_t table_ = 0, tableBytes_ = 0;
};

} // namespace

TEST_F(Fat12SplitEntry, OneWhoseOtherHalfNoCopyGivesEndsAChain) {
    ASSERT_EQ(sectorBytes_, 512u);
    // The table's second sector, in both copies: entry 341 loses its high
    // eight bits, entry 682 its low eight; neither may become a link somewhere.
    ScanSetup scan;
    ASSERT_TRUE(scan.RunWithFailingReads(image_, {TableSector(0, 512), TableSector(1, 512)}));
    ASSERT_NE(scan.disk, nullptr);
    EXPECT_GE(Entry(scan, kFirstSplitSlot), kTwelveBitEndOfChain);
    EXPECT_GE(Entry(scan, kSecondSplitSlot), kTwelveBitEndOfChain);
}

TEST_F(Fat12SplitEntry, OneWhoseHalfIsLostInTheFirstCopyIsTakenWholeFromTheSecond) {
    ASSERT_EQ(sectorBytes_, 512u);
    // The second copy holds another value for entry 341 (low nibble in the
    // high half of table byte 511, high byte at 512) than the first.
    std::vector<uint8_t> second(2);
    {
        std::ifstream in(image_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(table_ + tableBytes_ + 511));
        in.read(reinterpret_cast<char*>(second.data()), 2);
    }
    const uint32_t theirs = 0x123;
    ASSERT_NE(second[0] >> 4, theirs & 0xF);
    Patch(image_, static_cast<int64_t>(table_ + tableBytes_ + 511),
          {static_cast<uint8_t>((second[0] & 0x0F) | ((theirs & 0xF) << 4)), static_cast<uint8_t>(theirs >> 4)});
    ScanSetup scan;
    ASSERT_TRUE(scan.RunWithFailingReads(image_, {TableSector(0, 512)}));
    ASSERT_NE(scan.disk, nullptr);
    EXPECT_EQ(Entry(scan, kFirstSplitSlot), theirs);
}
