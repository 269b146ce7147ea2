// The hashes the report proves each copy by, fed as the copy is written.
#include <gtest/gtest.h>

#include <random>

#include "recover/digest.h"
#include "recover/digest_pipeline.h"
#include "recover/sha256_blocks.h"

namespace {

std::pair<std::string, std::string> FedInPieces(const std::vector<uint8_t>& data, size_t piece) {
    recover::Sha256 sha;
    recover::Md5 md5;
    for (size_t at = 0; at < data.size(); at += piece) {
        const std::span<const uint8_t> part(data.data() + at, std::min(piece, data.size() - at));
        sha.Add(part);
        md5.Add(part);
    }
    return {sha.Hex(), md5.Hex()};
}

} // namespace

// Published vectors (FIPS 180-2, RFC 1321), among them one whose padding
// needs a block of its own and a million bytes.
TEST(Digest, PublishedVectors) {
    const auto text = [](std::string_view t) { return std::vector<uint8_t>(t.begin(), t.end()); };
    const std::vector<uint8_t> empty;
    EXPECT_EQ(FedInPieces(empty, 1).first, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(FedInPieces(empty, 1).second, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(FedInPieces(text("abc"), 2).first, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(FedInPieces(text("abc"), 2).second, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FedInPieces(text("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), 64).first,
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(
        FedInPieces(text("12345678901234567890123456789012345678901234567890123456789012345678901234567890"), 7)
            .second,
        "57edf4a22be3c955ac49da2e2107b67a");
    const std::vector<uint8_t> million(1000000, 'a');
    EXPECT_EQ(FedInPieces(million, 4093).first, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(FedInPieces(million, 4093).second, "7707d6ae4e027c70eea2a935c2296f21");
}

// Lengths around the block and padding edges, fed in pieces that straddle blocks.
TEST(Digest, AnyPiecesGiveTheDigestOfTheWhole) {
    std::mt19937 random(30);
    for (size_t size : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u, 100000u}) {
        std::vector<uint8_t> data(size);
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(random());
        const auto whole = FedInPieces(data, size + 1);
        for (size_t piece : {1u, 7u, 64u, 4093u}) {
            SCOPED_TRACE(std::to_string(size) + " bytes in pieces of " + std::to_string(piece));
            EXPECT_EQ(FedInPieces(data, piece), whole);
        }
    }
}

// The processor's SHA instructions, where this machine has them, give the
// portable rounds' state block for block.
TEST(Digest, HardwareAndPortableRoundsAgree) {
    if (!recover::HasSha256Instructions())
        GTEST_SKIP() << "this processor has no SHA instructions";
    std::mt19937 random(31);
    std::vector<uint8_t> data(64 * 257);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(random());
    uint32_t portable[8] = {1, 2, 3, 4, 5, 6, 7, 8}, hardware[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    recover::Sha256BlocksPortable(portable, data.data(), 257);
    recover::Sha256BlocksNi(hardware, data.data(), 257);
    EXPECT_TRUE(std::equal(portable, portable + 8, hardware));
}

// Copies handed over one after another, as a job writes them, each get the
// digests of their own bytes, copies of one piece hashed side by side
// among them; a copy that failed halfway gets none and leaves nothing in the
// next one's; a piece larger than the hashes may fall behind by is taken too.
TEST(DigestPipeline, EachKeptCopyGetsItsOwnDigestsAndNoOtherDoes) {
    std::mt19937 random(32);
    const auto bytes = [&random](size_t size) {
        std::vector<uint8_t> data(size);
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(random());
        return data;
    };
    const std::vector<std::vector<uint8_t>> copies = {bytes(100),     bytes(5000), bytes(70000), bytes(20u << 20),
                                                      bytes(1),       bytes(64),   bytes(130000), bytes(4093),
                                                      bytes(3 << 20), bytes(65)};
    const std::vector<bool> kept = {true, true, false, true, true, true, true, false, true, true};
    recover::DigestPipeline pipeline;
    for (size_t n = 0; n < copies.size(); ++n) {
        EXPECT_EQ(pipeline.Begin(), n);
        const size_t fed = kept[n] ? copies[n].size() : copies[n].size() / 2;
        for (size_t at = 0; at < fed; at += 9u << 20)
            pipeline.Add(std::span(copies[n]).subspan(at, std::min<size_t>(9u << 20, fed - at)));
        if (kept[n])
            pipeline.Keep();
    }
    const std::map<size_t, recover::FileDigests> digests = pipeline.Finish();
    for (size_t n = 0; n < copies.size(); ++n) {
        SCOPED_TRACE("copy " + std::to_string(n));
        ASSERT_EQ(digests.count(n), kept[n] ? 1u : 0u);
        if (kept[n]) {
            const auto whole = FedInPieces(copies[n], copies[n].size());
            EXPECT_EQ(digests.at(n).Sha256, whole.first);
            EXPECT_EQ(digests.at(n).Md5, whole.second);
        }
    }
}

// Two copies fed side by side, of any lengths, give what each gives alone.
TEST(Digest, TwoCopiesSideBySideGiveTheirOwnDigests) {
    std::mt19937 random(33);
    std::vector<uint8_t> data(300000);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(random());
    for (size_t first : {0u, 1u, 63u, 64u, 65u, 1000u, 100000u})
        for (size_t second : {0u, 55u, 64u, 128u, 4093u, 150000u}) {
            SCOPED_TRACE(std::to_string(first) + " and " + std::to_string(second) + " bytes");
            const std::span<const uint8_t> a(data.data(), first), b(data.data() + 140000, second);
            recover::Md5 x, y, xAlone, yAlone;
            recover::Md5::AddTwo(x, a, y, b);
            xAlone.Add(a);
            yAlone.Add(b);
            EXPECT_EQ(x.Hex(), xAlone.Hex());
            EXPECT_EQ(y.Hex(), yAlone.Hex());
        }
}
