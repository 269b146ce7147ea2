// Hostile and edge inputs of the structure walks and the search: a length
// field that points past the end, a directory that leads nowhere, a box of
// 64-bit size beyond the volume end the walk there, never the program.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "content/content_search.h"
#include "content/decoders.h"
#include "content/file_dates.h"
#include "media/byte_source.h"
#include "platform/device.h"
#include "platform/read_faults.h"

using namespace content;

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void Be32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>(v >> s));
}
void Be64(Bytes& b, uint64_t v) {
    for (int s = 56; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>(v >> s));
}
void Le16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Le32(Bytes& b, uint32_t v) {
    Le16(b, static_cast<uint16_t>(v));
    Le16(b, static_cast<uint16_t>(v >> 16));
}

void PngChunk(Bytes& b, const std::string& type, const Bytes& data, uint32_t statedLength) {
    Be32(b, statedLength);
    const size_t typeAt = b.size();
    Put(b, type);
    b.insert(b.end(), data.begin(), data.end());
    Be32(b, static_cast<uint32_t>(crc32(0, b.data() + typeAt, static_cast<uInt>(b.size() - typeAt))));
}

Bytes Png(uint32_t idatStatedLength) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    PngChunk(b, "IHDR", Bytes(13, 1), 13);
    PngChunk(b, "IDAT", Bytes(40, 7), idatStatedLength);
    PngChunk(b, "IEND", {}, 0);
    return b;
}

struct Memory {
    explicit Memory(Bytes bytes, std::shared_ptr<const platform::ReadFaultPlan> faults = nullptr)
        : data(std::move(bytes)),
          source(platform::VolumeDevice::FromMemory(data.data(), data.size(), std::move(faults))) {}
    std::optional<Carved> Decode(Decoder decoder, uint64_t bound = 1u << 30) {
        SourceWindow window(source, 0, bound);
        return decoder(window);
    }
    Bytes data;
    media::DeviceSource source;
};

} // namespace

TEST(ContentDecoders, PngChunkLengthsAndChecksumsDecideItsEnd) {
    Memory whole(Png(40));
    auto good = whole.Decode(DecodePng);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->certainty, Certainty::Checked);
    EXPECT_EQ(good->length, whole.data.size());

    for (uint32_t stated : {41u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
        Memory hostile(Png(stated));
        auto broken = hostile.Decode(DecodePng);
        ASSERT_TRUE(broken) << stated;
        EXPECT_EQ(broken->certainty, Certainty::Broken) << stated;
        EXPECT_LE(broken->length, hostile.data.size());
    }

    Bytes flipped = Png(40);
    flipped[60] ^= 0x55;  // inside IDAT's data
    auto mismatch = Memory(flipped).Decode(DecodePng);
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->reason, "chunk checksum does not match");
}

TEST(ContentDecoders, ZipWalksEndOnDirectoriesThatLeadNowhere) {
    // A local entry whose sizes follow its data, with no descriptor anywhere.
    Bytes lost;
    Le32(lost, 0x04034B50);
    Le16(lost, 20);
    Le16(lost, 0x0008);
    lost.resize(30, 0);
    lost[26] = 1;  // name length
    Put(lost, "a");
    lost.resize(lost.size() + 3000, 'P');
    auto noEnd = Memory(lost).Decode(DecodeZip);
    ASSERT_TRUE(noEnd);
    EXPECT_EQ(noEnd->certainty, Certainty::Broken);

    // An entry and a central directory whose entries and end record name
    // offsets that are no entry (the end record pointing back into itself).
    Bytes looping;
    Le32(looping, 0x04034B50);
    looping.resize(30, 0);
    for (int i = 0; i < 3; ++i) {
        Le32(looping, 0x02014B50);
        const size_t at = looping.size();
        looping.resize(at + 42, 0);
        Le32(looping, static_cast<uint32_t>(looping.size() - 4));  // names itself
    }
    const uint32_t end = static_cast<uint32_t>(looping.size());
    Le32(looping, 0x06054B50);
    looping.resize(looping.size() + 6, 0);
    Le16(looping, 0xFFFE);
    Le32(looping, 0xFFFFFFF0);
    Le32(looping, end);
    Le16(looping, 0);
    auto loop = Memory(looping).Decode(DecodeZip);
    ASSERT_TRUE(loop);
    EXPECT_NE(loop->certainty, Certainty::Checked);
    EXPECT_LE(loop->length, looping.size());

    // An entry whose stated compressed size runs past the end.
    Bytes longEntry(30, 0);
    longEntry[0] = 'P', longEntry[1] = 'K', longEntry[2] = 3, longEntry[3] = 4;
    longEntry[18] = longEntry[19] = longEntry[20] = longEntry[21] = 0xFF;
    auto past = Memory(longEntry).Decode(DecodeZip);
    ASSERT_TRUE(past);
    EXPECT_EQ(past->reason, "entry length past the end");
}

TEST(ContentDecoders, IsoBoxesOfSizeZeroOrOfA64BitSizePastTheEndBreakTheWalk) {
    auto movie = [](uint32_t mdatSize, uint64_t largeSize) {
        Bytes b;
        Be32(b, 16);
        Put(b, "ftypisom");
        Be32(b, 0);
        Be32(b, 16);
        Put(b, "moov");
        b.resize(b.size() + 8, 0);
        Be32(b, mdatSize);
        Put(b, "mdat");
        if (mdatSize == 1)
            Be64(b, largeSize);
        b.resize(b.size() + 64, 0xAB);
        return b;
    };
    for (uint64_t large : {uint64_t{1} << 40, ~uint64_t{0}, uint64_t{3}}) {
        auto broken = Memory(movie(1, large)).Decode(DecodeIsoMedia);
        ASSERT_TRUE(broken) << large;
        EXPECT_EQ(broken->certainty, Certainty::Broken) << large;
    }
    auto sizeZero = Memory(movie(0, 0)).Decode(DecodeIsoMedia);
    ASSERT_TRUE(sizeZero);
    EXPECT_EQ(sizeZero->reason, "last box has no size");

    Memory fits(movie(1, 16 + 64));
    auto whole = fits.Decode(DecodeIsoMedia);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->certainty, Certainty::Estimated);
    EXPECT_EQ(whole->length, fits.data.size());
    EXPECT_EQ(whole->extension, "mp4");
}

TEST(ContentDecoders, JpegSegmentPastTheEndOrAForeignMarkerIsBroken) {
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xF0, 'J', 'F'};
    auto past = Memory(jpeg).Decode(DecodeJpeg);
    ASSERT_TRUE(past);
    EXPECT_EQ(past->certainty, Certainty::Broken);

    // A frame, a scan, scan data and then a second start marker: another
    // picture was written over this one's end.
    Bytes overwritten = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 8, 0, 8, 0, 8, 1, 1, 0x11, 0,
                         0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 0x3F, 0, 0x12, 0x34, 0xFF, 0x00,
                         0xFF, 0xD8, 0xFF, 0xD9};
    auto foreign = Memory(overwritten).Decode(DecodeJpeg);
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->certainty, Certainty::Broken);

    overwritten.erase(overwritten.end() - 4, overwritten.end() - 2);
    auto whole = Memory(overwritten).Decode(DecodeJpeg);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->certainty, Certainty::Checked);
    EXPECT_EQ(whole->length, overwritten.size());
}

TEST(ContentSearch, FindsFilesAcrossBlockEdgesAndPastUnreadableSectors) {
    // PNGs at sector starts: one whose signature lies in the last sector of
    // a search block, and one after a sector the drive cannot read.
    const uint32_t block = 4096;
    Bytes volume(6 * block, 0);
    const Bytes png = Png(40);
    const uint64_t offsets[] = {block - 512, 3 * block + 1024};
    for (uint64_t at : offsets)
        std::memcpy(volume.data() + at, png.data(), png.size());
    auto faults = std::make_shared<platform::ReadFaultPlan>();
    faults->Failing.push_back({2 * block + 512, 512});
    Memory memory(volume, faults);

    std::vector<uint64_t> found;
    ContentSearch search(memory.source, SearchSettings{512, block, {}});
    const SearchTotals totals = search.Run(
        0, volume.size(),
        [&](const FoundFile& f) {
            EXPECT_EQ(f.carved.certainty, Certainty::Checked);
            found.push_back(f.offset);
            return true;
        },
        nullptr, nullptr);
    EXPECT_EQ(found, std::vector<uint64_t>(std::begin(offsets), std::end(offsets)));
    EXPECT_EQ(totals.unreadableBytes, 512u);
    EXPECT_EQ(totals.bytesSearched, volume.size());
}

namespace {

void Vint(Bytes& b, uint64_t v) {
    do {
        b.push_back(static_cast<uint8_t>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
        v >>= 7;
    } while (v);
}

// A RAR 5 block: CRC-32 of the size and the rest of the header, then the header.
void Rar5Block(Bytes& b, uint64_t type, uint64_t flags, std::optional<uint64_t> dataSize) {
    Bytes body;
    Vint(body, type);
    Vint(body, flags | (dataSize ? 2 : 0));
    if (dataSize)
        Vint(body, *dataSize);
    Vint(body, 0);
    Bytes sized;
    Vint(sized, body.size());
    sized.insert(sized.end(), body.begin(), body.end());
    Le32(b, static_cast<uint32_t>(crc32(0, sized.data(), static_cast<uInt>(sized.size()))));
    b.insert(b.end(), sized.begin(), sized.end());
}

} // namespace

TEST(ContentDecoders, RarBlocksAreCheckedAndSizedToTheEndBlock) {
    Bytes archive = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
    Rar5Block(archive, 1, 0, std::nullopt);
    Rar5Block(archive, 2, 0, 100);
    archive.resize(archive.size() + 100, 'x');
    const size_t endAt = archive.size();
    Rar5Block(archive, 5, 0, std::nullopt);
    Memory whole(archive);
    auto good = whole.Decode(DecodeRar);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->certainty, Certainty::Checked);
    EXPECT_EQ(good->length, archive.size());

    // A data size far past the end, and a damaged header checksum, break the walk where they stand.
    Bytes hostile(archive.begin(), archive.begin() + 8);
    Rar5Block(hostile, 1, 0, std::nullopt);
    const size_t fileAt = hostile.size();
    Rar5Block(hostile, 2, 0, uint64_t{1} << 60);
    auto past = Memory(hostile).Decode(DecodeRar);
    ASSERT_TRUE(past);
    EXPECT_EQ(past->certainty, Certainty::Broken);
    EXPECT_EQ(past->length, fileAt);
    Bytes damaged = archive;
    damaged[endAt] ^= 1;
    auto cut = Memory(damaged).Decode(DecodeRar);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->certainty, Certainty::Broken);
    EXPECT_EQ(cut->length, endAt);
}

TEST(ContentDecoders, BareMp3FramesCountOnlyWhenTheyRepeat) {
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417 bytes a frame.
    auto frames = [](size_t n) {
        Bytes b;
        for (size_t i = 0; i < n; ++i) {
            Be32(b, 0xFFFB9000);
            b.resize(b.size() + 413, 0x11);
        }
        b.resize(b.size() + 300, 0);  // what follows is no frame
        return b;
    };
    EXPECT_FALSE(Memory(frames(3)).Decode(DecodeMp3)) << "a few frames are a chance match";
    auto many = Memory(frames(12)).Decode(DecodeMp3);
    ASSERT_TRUE(many);
    EXPECT_EQ(many->length, 12u * 417);
    EXPECT_EQ(many->certainty, Certainty::Estimated);  // nothing counts the frames
}

TEST(FileDates, ExifTextsDecodeOnlyWhenTheyAreRealDatesAndTakeTheirZone) {
    // 2024-07-14 07:30:05 UTC, in 100 ns ticks since 1601.
    constexpr uint64_t kUtc = 13365415805ull * 10'000'000ull;
    EXPECT_EQ(ExifDateText("2024:07:14 09:30:05", "+02:00"), kUtc);
    EXPECT_EQ(ExifDateText("2024:07:14 04:00:05", "-03:30"), kUtc);
    // A camera whose clock was never set, and texts that are no dates.
    EXPECT_EQ(ExifDateText("0000:00:00 00:00:00", ""), 0u);
    EXPECT_EQ(ExifDateText("2024:13:14 09:30:05", "+02:00"), 0u);
    EXPECT_EQ(ExifDateText("2024-07-14 09:30:05", "+02:00"), 0u);
    EXPECT_EQ(ExifDateText("2024:07:1", ""), 0u);
}

TEST(FileDates, AnExifIfdPointingOutsideItsBlockGivesNoDate) {
    Bytes b = {'I', 'I', '*', 0};
    Le32(b, 8);
    Le16(b, 1);  // IFD0: the EXIF IFD's pointer, far past the block
    Le16(b, 34665), Le16(b, 4), Le32(b, 1), Le32(b, 0xFFFFFF00);
    Le32(b, 0);
    Memory m(b);
    SourceWindow window(m.source, 0, b.size());
    EXPECT_EQ(ExifTime(window, 0, b.size()), 0u);
}
