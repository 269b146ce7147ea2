// Decoding exFAT entry sets and timestamps from small buffers: sets written
// by exfat-fuse (live and deleted), and the ways a deleted set is found damaged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exfat/entry_set.h"
#include "exfat/exfat_layout.h"

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// "a.bin", 20,000 bytes from cluster 6, NoFatChain, as exfat-fuse wrote it.
const std::vector<uint8_t> kLiveSet = FromHex(
    "8502528320000000471c8a5d471c8a5d471c8a5d000080808000000000000000"
    "c0030005b2ac0000204e0000000000000000000006000000204e000000000000"
    "c10061002e00620069006e000000000000000000000000000000000000000000");
// "b.bin", 300,000 bytes from cluster 11, after exfat-fuse deleted it.
const std::vector<uint8_t> kDeletedSet = FromHex(
    "05023ff520000000471c8a5d471c8a5d471c8a5d006480808000000000000000"
    "4003000532ad0000e093040000000000000000000b000000e093040000000000"
    "410062002e00620069006e000000000000000000000000000000000000000000");

} // namespace

TEST(ExfatEntrySet, SetsWrittenByExfatFuseDecode) {
    auto live = exfat::ParseEntrySet(kLiveSet);
    ASSERT_TRUE(live) << live.Reason();
    EXPECT_FALSE(live->deleted);
    EXPECT_EQ(live->name, "a.bin");
    EXPECT_EQ(live->firstCluster, 6u);
    EXPECT_EQ(live->dataLength, 20000u);
    EXPECT_EQ(live->validDataLength, 20000u);
    EXPECT_TRUE(live->noFatChain);
    EXPECT_TRUE(live->checksumMatches);
    EXPECT_EQ(live->EntryCount(), 3u);

    // The sum recorded while in use still matches once the in-use bits are cleared.
    auto deleted = exfat::ParseEntrySet(kDeletedSet);
    ASSERT_TRUE(deleted) << deleted.Reason();
    EXPECT_TRUE(deleted->deleted);
    EXPECT_EQ(deleted->name, "b.bin");
    EXPECT_EQ(deleted->firstCluster, 11u);
    EXPECT_EQ(deleted->dataLength, 300000u);
    EXPECT_TRUE(deleted->checksumMatches);
}

TEST(ExfatEntrySet, DamagedSetsAreRefusedOrMarked) {
    // A checksum that fails keeps a set that is sound otherwise.
    auto bent = kDeletedSet;
    bent[32 + exfat::layout::stream::kFirstCluster] = 12;
    auto kept = exfat::ParseEntrySet(bent);
    ASSERT_TRUE(kept);
    EXPECT_FALSE(kept->checksumMatches);

    auto refused = [](std::vector<uint8_t> set, size_t at, uint8_t value) {
        set[at] = value;
        return !exfat::ParseEntrySet(set);
    };
    EXPECT_TRUE(refused(kDeletedSet, exfat::layout::file::kSecondaryCount, 1)) << "count below a stream and a name";
    EXPECT_TRUE(refused(kDeletedSet, exfat::layout::file::kSecondaryCount, 3)) << "count past the buffer";
    EXPECT_TRUE(refused(kDeletedSet, 32 + exfat::layout::stream::kNameLength, 16)) << "name longer than its entries";
    EXPECT_TRUE(refused(kDeletedSet, 64 + exfat::layout::name::kFileName + 4, 0)) << "name cut short by a zero";
    EXPECT_TRUE(refused(kDeletedSet, 64, exfat::layout::entry::kFileName)) << "name entry of a live set";
    EXPECT_TRUE(refused(kDeletedSet, 32, exfat::layout::entry::kDeletedFileName)) << "no stream extension";
    EXPECT_TRUE(refused(kDeletedSet, 32 + exfat::layout::stream::kValidDataLength + 3, 1)) << "valid data past the length";
    EXPECT_FALSE(exfat::ParseEntrySet(std::span(kDeletedSet).first(64))) << "set cut short";
}

TEST(ExfatEntrySet, TimestampsKeepTheirHundredthsAndOffset) {
    // 2026-12-10 03:34:14 as exfat-fuse writes it, offset valid and zero.
    const uint32_t stamp = 0x5d8a1c47;
    const auto utc = exfat::DecodeTimestamp(stamp, 0, 0x80);
    ASSERT_TRUE(utc);
    const auto later = exfat::DecodeTimestamp(stamp, 150, 0x80);
    ASSERT_TRUE(later);
    EXPECT_EQ(*later - *utc, 15'000'000u);  // 1.5 s in 100 ns ticks
    // Two hours east of UTC (eight quarters): the same wall clock was two hours earlier in UTC.
    const auto east = exfat::DecodeTimestamp(stamp, 0, 0x80 | 8);
    ASSERT_TRUE(east);
    EXPECT_EQ(*utc - *east, 2 * 36'000'000'000u);
    // One hour west (-4 quarters, seven bits signed).
    const auto west = exfat::DecodeTimestamp(stamp, 0, 0x80 | 0x7C);
    ASSERT_TRUE(west);
    EXPECT_EQ(*west - *utc, 36'000'000'000u);
    EXPECT_FALSE(exfat::DecodeTimestamp(stamp, 200, 0x80)) << "past 1.99 s";
    EXPECT_FALSE(exfat::DecodeTimestamp(0, 0, 0x80)) << "month 0";
}
