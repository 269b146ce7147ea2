#include <gtest/gtest.h>

#include <vector>

#include "volume/lznt1.h"
#include "volume/update_sequence.h"

using namespace volume;

namespace {
// A 1 KiB record whose two strides end in the sequence number 0x0007.
std::vector<uint8_t> RecordWithSequence() {
    std::vector<uint8_t> r(1024, 0xAA);
    r[4] = 48, r[5] = 0;  // array offset
    r[6] = 3, r[7] = 0;   // count: the number and two true tails
    r[48] = 0x07, r[49] = 0x00;
    r[50] = 0x11, r[51] = 0x22;
    r[52] = 0x33, r[53] = 0x44;
    r[510] = r[1022] = 0x07;
    r[511] = r[1023] = 0x00;
    return r;
}
} // namespace

TEST(UpdateSequence, RepairsEveryStrideEnd) {
    auto r = RecordWithSequence();
    ASSERT_TRUE(ApplyUpdateSequence(r));
    EXPECT_EQ(r[510], 0x11);
    EXPECT_EQ(r[511], 0x22);
    EXPECT_EQ(r[1022], 0x33);
    EXPECT_EQ(r[1023], 0x44);
}

TEST(UpdateSequence, RefusesTornAndMalformedRecords) {
    auto torn = RecordWithSequence();
    torn[1022] = 0x08;  // the second stride was written at another time
    auto before = torn;
    EXPECT_FALSE(ApplyUpdateSequence(torn));
    EXPECT_EQ(torn, before);

    auto tooLong = RecordWithSequence();
    tooLong[6] = 9;  // more strides than the record holds
    EXPECT_FALSE(ApplyUpdateSequence(tooLong));

    auto outside = RecordWithSequence();
    outside[4] = 0xFE, outside[5] = 0x03;  // the array would end past the record
    EXPECT_FALSE(ApplyUpdateSequence(outside));

    std::vector<uint8_t> tiny(8, 0);
    EXPECT_FALSE(ApplyUpdateSequence(tiny));
}

TEST(Lznt1, DecompressesLiteralsAndBackReferences) {
    // "abc" then a reference three back, six long: "abcabcabc".
    const std::vector<uint8_t> in = {0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x03, 0x20, 0x00, 0x00};
    std::vector<uint8_t> out;
    ASSERT_TRUE(DecompressLznt1(in, 8192, out));
    ASSERT_EQ(out.size(), 8192u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 9), "abcabcabc");
    EXPECT_EQ(out[9], 0);
}

TEST(Lznt1, StoredChunksAreCopied) {
    std::vector<uint8_t> in = {0xFF, 0x3F};  // an uncompressed chunk of 4096 bytes
    for (int i = 0; i < 4096; ++i)
        in.push_back(static_cast<uint8_t>(i));
    std::vector<uint8_t> out;
    ASSERT_TRUE(DecompressLznt1(in, 4096, out));
    EXPECT_EQ(out[4095], static_cast<uint8_t>(4095));
}

TEST(Lznt1, RefusesDamagedInput) {
    std::vector<uint8_t> out;
    // A reference before the start of the chunk.
    EXPECT_FALSE(DecompressLznt1(std::vector<uint8_t>{0x02, 0xB0, 0x01, 0x03, 0x20}, 4096, out));
    // A chunk longer than the data.
    EXPECT_FALSE(DecompressLznt1(std::vector<uint8_t>{0xFF, 0xBF, 0x00}, 4096, out));
    // A chunk that would yield more than the unit holds.
    std::vector<uint8_t> big = {0xFF, 0x3F};
    big.resize(2 + 4096, 'x');
    EXPECT_FALSE(DecompressLznt1(big, 2048, out));
}
