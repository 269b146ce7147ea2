// The scan decoder over real pictures cut and put together again: where it
// says decoding fails, whether it takes up a kept point over other bytes,
// and the pictures the content search makes whole again from two pieces or
// leaves broken. The pictures come from tests/support/make-content-images.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "content/content_search.h"
#include "content/decoders.h"
#include "content/jpeg_entropy.h"
#include "media/byte_source.h"
#include "platform/device.h"
#include "support/test_support.h"

using namespace content;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Picture(const std::string& name) {
    std::ifstream in(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Memory {
    explicit Memory(Bytes bytes) : data(std::move(bytes)), source(platform::VolumeDevice::FromMemory(data.data(), data.size())) {}
    std::optional<Carved> Decode() {
        SourceWindow window(source, 0, 1u << 30);
        return DecodeJpeg(window);
    }
    Bytes data;
    media::DeviceSource source;
};

struct Decoded {
    JpegScanEnd end;
    std::deque<JpegCheckpoint> kept;
    JpegFrame frame;
};

Decoded DecodeWhole(Memory& m, uint64_t keepBack = 1u << 30) {
    SourceWindow window(m.source, 0, m.data.size());
    JpegFrameKind kind;
    Decoded d;
    d.frame = *ReadJpegFrame(window, kind);
    EXPECT_EQ(kind, JpegFrameKind::Sequential);
    const JpegPiece all[] = {{&window, 0, window.Limit()}};
    d.end = DecodeJpegScan(d.frame, all, ScanStart(d.frame), window.Limit(), &d.kept, keepBack);
    return d;
}

const uint64_t kSector = 512;

// The picture cut at `cut` (a sector boundary), `between` in the gap padded
// to whole sectors plus `slack`, then the rest.
Bytes TwoPieces(const Bytes& picture, uint64_t cut, const Bytes& between, uint64_t slack = 0) {
    Bytes out(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(cut));
    out.insert(out.end(), between.begin(), between.end());
    out.resize((out.size() + kSector - 1) / kSector * kSector + slack, 0);
    out.insert(out.end(), picture.begin() + static_cast<std::ptrdiff_t>(cut), picture.end());
    out.resize((out.size() + kSector - 1) / kSector * kSector, 0);
    return out;
}

} // namespace

TEST(JpegScan, WholePicturesDecodeToTheirEndMarkerAndResumeFromEveryKeptPoint) {
    for (const char* name : {"textured.jpg", "textured-restarts.jpg"}) {
        Memory m(Picture(name));
        if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/" + name))
            return;
        const Decoded d = DecodeWhole(m);
        ASSERT_TRUE(d.end.whole) << name << ": " << d.end.reason << " at " << d.end.at;
        EXPECT_EQ(d.end.at, m.data.size()) << name;
        ASSERT_GT(d.kept.size(), 10u) << name;
        SourceWindow window(m.source, 0, m.data.size());
        const JpegPiece all[] = {{&window, 0, window.Limit()}};
        for (const JpegCheckpoint& cp : d.kept) {
            const JpegScanEnd again = DecodeJpegScan(d.frame, all, cp, window.Limit());
            ASSERT_TRUE(again.whole) << name << " from " << cp.at << "/" << int(cp.bitsUsed) << ": " << again.reason
                                     << " at " << again.at;
        }
        const std::optional<Carved> carved = m.Decode();
        ASSERT_TRUE(carved);
        EXPECT_EQ(carved->certainty, Certainty::Checked) << name;
        EXPECT_EQ(carved->length, m.data.size()) << name;
        EXPECT_TRUE(carved->pieces.empty()) << name;
    }
}

TEST(JpegScan, APictureCutAroundAnotherFileIsPutTogetherFromItsTwoPieces) {
    if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/textured.jpg"))
        return;
    const Bytes picture = Picture("textured.jpg"), other = Picture("textured-restarts.jpg");
    const uint64_t cut = 40 * kSector;
    // Another picture in between: it starts where the first piece ends.
    Memory m(TwoPieces(picture, cut, other, 1024));
    const std::optional<Carved> carved = m.Decode();
    ASSERT_TRUE(carved);
    EXPECT_EQ(carved->certainty, Certainty::Checked) << carved->reason;
    ASSERT_EQ(carved->pieces.size(), 2u);
    EXPECT_EQ(carved->pieces[0].offset, 0u);
    EXPECT_EQ(carved->pieces[0].length, cut);
    const uint64_t restAt = cut + (other.size() + kSector - 1) / kSector * kSector + 1024;
    EXPECT_EQ(carved->pieces[1].offset, restAt);
    EXPECT_EQ(carved->pieces[1].length, picture.size() - cut);
    EXPECT_EQ(carved->length, picture.size());
}

namespace {
uint64_t Find(const Bytes& b, std::initializer_list<uint8_t> what, uint64_t from = 0, int nth = 1) {
    for (uint64_t i = from; i + what.size() <= b.size(); ++i)
        if (std::equal(what.begin(), what.end(), b.begin() + static_cast<std::ptrdiff_t>(i)) && --nth == 0)
            return i;
    return 0;
}
} // namespace

TEST(JpegScan, DecodingFailsWhereACodeARestartOrAMarkerIsWrong) {
    if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/textured.jpg"))
        return;
    const Bytes picture = Picture("textured.jpg");
    const uint64_t scan = Find(picture, {0xFF, 0xDA});
    ASSERT_GT(scan, 0u);

    // Sixteen one bits: no code of the tables.
    Bytes badCode = picture;
    const uint64_t at = scan + 6000;
    const uint8_t ones[] = {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00};
    std::memcpy(badCode.data() + at, ones, sizeof ones);
    Memory corrupt(badCode);
    const Decoded bad = DecodeWhole(corrupt);
    EXPECT_FALSE(bad.end.whole);
    EXPECT_GE(bad.end.at, at - 8);
    EXPECT_LE(bad.end.at, at + 64);

    // A start marker inside the data: the decode stops on it.
    Bytes stray = picture;
    stray[at] = 0xFF;
    stray[at + 1] = 0xD8;
    Memory strayed(stray);
    const Decoded marker = DecodeWhole(strayed);
    EXPECT_FALSE(marker.end.whole);
    EXPECT_EQ(marker.end.at, at) << marker.end.reason;

    // The third restart marker numbered as the fourth.
    Bytes restarts = Picture("textured-restarts.jpg");
    const uint64_t third = Find(restarts, {0xFF, 0xD2}, Find(restarts, {0xFF, 0xDA}));
    ASSERT_GT(third, 0u);
    restarts[third + 1] = 0xD3;
    Memory reordered(restarts);
    const Decoded order = DecodeWhole(reordered);
    EXPECT_FALSE(order.end.whole);
    EXPECT_EQ(order.end.at, third);
    EXPECT_NE(order.end.reason.find("restart"), std::string::npos) << order.end.reason;
    EXPECT_EQ(reordered.Decode()->certainty, Certainty::Broken);
}

TEST(JpegScan, ATableWithMoreCodesThanALengthHoldsIsNotDecoded) {
    if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/textured.jpg"))
        return;
    Bytes picture = Picture("textured.jpg");
    // The first DC table: three codes of one bit, as many symbols as before.
    const uint64_t counts = Find(picture, {0xFF, 0xC4}) + 5;
    picture[counts] = 3;
    picture[counts + 1] = 0;
    picture[counts + 2] = 3;
    Memory m(picture);
    SourceWindow window(m.source, 0, m.data.size());
    JpegFrameKind kind;
    ASSERT_TRUE(ReadJpegFrame(window, kind));
    EXPECT_EQ(kind, JpegFrameKind::NotDecoded);
}

TEST(JpegScan, AHostileFrameSizeGivesABrokenPictureNotAWholeOne) {
    if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/textured.jpg"))
        return;
    const Bytes picture = Picture("textured.jpg");
    const uint64_t frame = Find(picture, {0xFF, 0xC0});
    const uint64_t scan = Find(picture, {0xFF, 0xDA});
    // 65535 x 65535 pixels, the scan data a few sectors of the picture's own and its end marker.
    Bytes huge(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(scan + 14 + 4096));
    for (int i = 5; i < 9; ++i)
        huge[frame + i] = 0xFF;
    huge.push_back(0xFF);
    huge.push_back(0xD9);
    Memory m(huge);
    const Decoded d = DecodeWhole(m);
    EXPECT_FALSE(d.end.whole);
    EXPECT_EQ(d.frame.mcus, uint64_t{4096} * 4096);
    const std::optional<Carved> carved = m.Decode();
    ASSERT_TRUE(carved);
    EXPECT_EQ(carved->certainty, Certainty::Broken);
}

TEST(JpegScan, MarkersWalkingAcrossATextToTheEndNoLongerMakeAPictureWhole) {
    if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/textured-restarts.jpg"))
        return;
    const Bytes picture = Picture("textured-restarts.jpg");
    const uint64_t cut = 30 * kSector;
    Bytes text;
    for (int i = 0; text.size() < 9000; ++i)
        for (char c : std::string("a text without a single marker byte, line ") + std::to_string(i) + "\n")
            text.push_back(static_cast<uint8_t>(c));
    // The rest right after the text: found by trying the sectors past the break.
    Memory joined(TwoPieces(picture, cut, text));
    const std::optional<Carved> two = joined.Decode();
    ASSERT_TRUE(two);
    EXPECT_EQ(two->certainty, Certainty::Checked) << two->reason;
    ASSERT_EQ(two->pieces.size(), 2u);
    EXPECT_EQ(two->pieces[0].length, cut);
    EXPECT_EQ(two->length, picture.size());

    // The rest's first sector gone: the markers still walk to the end, the data does not fit.
    Bytes cutShort = TwoPieces(picture, cut, text);
    const uint64_t restAt = cut + (text.size() + kSector - 1) / kSector * kSector;
    cutShort.erase(cutShort.begin() + static_cast<std::ptrdiff_t>(restAt),
                   cutShort.begin() + static_cast<std::ptrdiff_t>(restAt + kSector));
    Memory lost(cutShort);
    const std::optional<Carved> broken = lost.Decode();
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->certainty, Certainty::Broken);
    EXPECT_TRUE(broken->pieces.empty());
    EXPECT_LE(broken->length, restAt);
}

TEST(JpegScan, APictureWhoseRestWasOverwrittenStaysBroken) {
    if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/textured.jpg"))
        return;
    const Bytes picture = Picture("textured.jpg"), other = Picture("textured-restarts.jpg");
    const uint64_t cut = 24 * kSector;
    Bytes lost = TwoPieces(picture, cut, other);
    const uint64_t restAt = cut + (other.size() + kSector - 1) / kSector * kSector;
    uint32_t noise = 12345;
    for (uint64_t i = restAt; i < restAt + 16 * kSector; ++i) {
        noise = noise * 1103515245 + 12345;
        lost[i] = static_cast<uint8_t>(noise >> 16);
    }
    Memory m(lost);
    const std::optional<Carved> carved = m.Decode();
    ASSERT_TRUE(carved);
    EXPECT_EQ(carved->certainty, Certainty::Broken);
    EXPECT_TRUE(carved->pieces.empty());
}

TEST(JpegScan, TheSearchListsAPictureInTwoPiecesOnceAndTheFileBetweenOnItsOwn) {
    if (!testing_support::RequireFile(std::string(DUNRO_CONTENT_IMAGES_DIR) + "/textured.jpg"))
        return;
    const Bytes picture = Picture("textured.jpg"), other = Picture("textured-restarts.jpg");
    const uint64_t cut = 32 * kSector, start = 8 * kSector;
    Bytes volume(start, 0);
    const Bytes two = TwoPieces(picture, cut, other);
    volume.insert(volume.end(), two.begin(), two.end());
    volume.resize(volume.size() + 64 * kSector, 0);
    Memory m(volume);
    std::vector<FoundFile> found;
    ContentSearch search(m.source, SearchSettings{512, 64 * 1024, {}});
    search.Run(0, volume.size(), [&](const FoundFile& f) { found.push_back(f); return true; }, nullptr, nullptr);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].offset, start);
    EXPECT_EQ(found[0].carved.certainty, Certainty::Checked);
    EXPECT_EQ(found[0].carved.pieces.size(), 2u);
    EXPECT_EQ(found[1].offset, start + cut);
    EXPECT_EQ(found[1].carved.length, other.size());
}
