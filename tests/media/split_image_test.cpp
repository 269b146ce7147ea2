// Split raw images: the MBR test disk cut by split into odd-sized pieces
// reads byte for byte as the whole image, and scans as it does.
#include <gtest/gtest.h>

#include <filesystem>

#include "media/byte_source.h"
#include "media/split_image.h"
#include "platform/read_faults.h"
#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {

constexpr uint64_t kPiece = 5000000;  // make-disk-images cuts at this size

std::vector<uint8_t> Bytes(const media::ByteSource& source, uint64_t offset, uint32_t count, media::ReadResult& result) {
    std::vector<uint8_t> bytes(count);
    result = source.Read(bytes.data(), count, offset, nullptr, 0);
    return bytes;
}

} // namespace

TEST(SplitImage, ThePiecesReadAsTheWholeImageFromEitherFirstName) {
    const std::string whole = DiskImagePath("mbr-disk.img");
    if (!RequireFile(whole) || !RequireFile(DiskImagePath("mbr-split.img.001")))
        return;
    auto raw = media::OpenDevice(whole);
    ASSERT_NE(raw, nullptr);
    for (const char* first : {"mbr-split.img.001", "mbr-split0.000"}) {
        SCOPED_TRACE(first);
        auto split = media::OpenDevice(DiskImagePath(first));
        ASSERT_NE(split, nullptr);
        EXPECT_EQ(split->Size(), raw->Size());
        EXPECT_EQ(media::SplitImagePieces(DiskImagePath(first)).size(), (raw->Size() + kPiece - 1) / kPiece);
        // Reads across one and across several piece ends, and the image's last bytes.
        for (auto [offset, count] : {std::pair<uint64_t, uint32_t>{kPiece - 100, 512}, {3 * kPiece - 7, 3 * kPiece},
                                     {raw->Size() - 4096, 4096}}) {
            media::ReadResult a, b;
            EXPECT_EQ(Bytes(*split, offset, count, a), Bytes(*raw, offset, count, b)) << offset;
            EXPECT_TRUE(a.Ok() && b.Ok());
        }
        media::ReadResult past;
        Bytes(*split, raw->Size() - 100, 512, past);
        EXPECT_EQ(past.Error, media::ReadError::PastEnd);
        EXPECT_EQ(past.Done, 100u);
    }
    // A later piece alone, or a name that only looks numbered, is no split image.
    EXPECT_TRUE(media::SplitImagePieces(DiskImagePath("mbr-split.img.002")).empty());
    EXPECT_TRUE(media::SplitImagePieces(whole).empty());
}

TEST(SplitImage, AFailingPieceIsAnUnreadableRangeOfTheImage) {
    const std::string second = DiskImagePath("mbr-split.img.002");
    if (!RequireFile(second))
        return;
    platform::SetReadFaults(second, {{{1000, 512}}, {}});
    auto split = media::OpenDevice(DiskImagePath("mbr-split.img.001"));
    platform::ClearReadFaults();
    ASSERT_NE(split, nullptr);
    media::ReadResult result;
    Bytes(*split, kPiece - 512, 4096, result);
    EXPECT_EQ(result.Error, media::ReadError::Unreadable);
    Bytes(*split, kPiece + 4096, 4096, result);
    EXPECT_TRUE(result.Ok());
}

TEST(SplitImage, ScanOfTheFirstPieceListsWhatTheWholeDiskLists) {
    const std::string whole = DiskImagePath("mbr-disk.img"), first = DiskImagePath("mbr-split.img.001");
    if (!RequireFile(whole) || !RequireFile(first))
        return;
    auto listing = [](const std::string& source) {
        CommandResult run = RunProgram(DUNRO_BIN, {"scan", source, "--format", "json"}, {"TZ=UTC"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        json out = json::parse(run.out);
        for (json& f : out["files"])
            f.erase("drive");
        return out["files"];
    };
    const json expected = listing(whole);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(listing(first), expected);
}
