// The space no partition holds: where it lies, and a deep scan of a real MBR
// disk (make-disk-images) grown at its end, with a picture laid there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "scan/unpartitioned_space.h"
#include "support/process.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMiB = 1ull << 20;

CommandResult Dunro(const std::string& args) { return RunProgram(DUNRO_BIN, SplitArguments(args), {"TZ=UTC"}); }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

media::Partition Held(uint32_t number, uint64_t start, uint64_t length) {
    media::Partition p;
    p.Number = number;
    p.Start = start;
    p.Length = length;
    return p;
}

std::vector<std::pair<uint64_t, uint64_t>> Gaps(const media::PartitionTable& table, uint64_t size) {
    std::vector<std::pair<uint64_t, uint64_t>> gaps;
    for (const media::Partition& p : scan::UnpartitionedSpace(table, size)) {
        EXPECT_EQ(p.Scheme, media::PartitionScheme::Unpartitioned);
        gaps.emplace_back(p.Start, p.Length);
    }
    return gaps;
}

// An intact PNG of the deep-scan card, as its manifest places it.
std::vector<char> PictureFromTheCard() {
    const std::string card = std::string(DUNRO_CONTENT_IMAGES_DIR) + "/content-fat32-raw.img";
    std::ifstream manifestFile(card + ".manifest.json");
    const json manifest = json::parse(manifestFile);
    for (const json& entry : manifest["files"])
        if (entry["kind"] == "png" && entry["intact"].get<bool>()) {
            std::ifstream in(card, std::ios::binary);
            in.seekg(entry["offset"].get<int64_t>());
            std::vector<char> bytes(entry["size"].get<size_t>());
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            return bytes;
        }
    return {};
}

} // namespace

TEST(UnpartitionedSpace, GapsLieBetweenAndAfterPartitionsButNotInTheTablesOwnSectors) {
    media::PartitionTable mbr;
    mbr.Scheme = media::PartitionScheme::Mbr;
    // Out of order and overlapping, as a damaged table may list them; the
    // alignment gap of 1 MiB before the first is too short to list.
    mbr.Partitions = {Held(2, 10 * kMiB, 4 * kMiB), Held(1, 1 * kMiB, 5 * kMiB), Held(5, 12 * kMiB, 1 * kMiB)};
    EXPECT_EQ(Gaps(mbr, 20 * kMiB), (std::vector<std::pair<uint64_t, uint64_t>>{{6 * kMiB, 4 * kMiB}, {14 * kMiB, 6 * kMiB}}));
    EXPECT_EQ(scan::UnpartitionedSpace(mbr, 20 * kMiB).front().Number, 6u);

    // A GPT's backup entries end the disk; with no table at all, the whole disk is a gap.
    media::PartitionTable gpt;
    gpt.Scheme = media::PartitionScheme::Gpt;
    gpt.Partitions = {Held(1, 1 * kMiB, 2 * kMiB)};
    EXPECT_EQ(Gaps(gpt, 8 * kMiB), (std::vector<std::pair<uint64_t, uint64_t>>{{3 * kMiB, 5 * kMiB - 33 * 512}}));
    media::PartitionTable found;
    found.Scheme = media::PartitionScheme::Found;
    EXPECT_EQ(Gaps(found, 2 * kMiB), (std::vector<std::pair<uint64_t, uint64_t>>{{0, 2 * kMiB}}));
    // A partition reaching past the disk's end leaves nothing after it.
    gpt.Partitions = {Held(1, 1 * kMiB, UINT64_MAX)};
    EXPECT_TRUE(Gaps(gpt, 8 * kMiB).empty());
}

TEST(UnpartitionedSpace, ADeepScanRecoversAPictureThatNoPartitionHoldsByteExact) {
    const std::string original = DiskImagePath("mbr-disk.img");
    if (!RequireFile(original))
        return;
    const std::vector<char> picture = PictureFromTheCard();
    ASSERT_FALSE(picture.empty());
    const fs::path dir = fs::temp_directory_path() / ("dunro-unpartitioned-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    const std::string disk = (dir / "disk.img").string();
    fs::copy_file(original, disk);
    // Grown by 4 MiB: the table does not change, so the new end is nobody's.
    const uint64_t end = fs::file_size(disk);
    fs::resize_file(disk, end + 4 * kMiB);
    {
        std::fstream out(disk, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(end + kMiB));
        out.write(picture.data(), static_cast<std::streamsize>(picture.size()));
    }

    const CommandResult plain = Dunro("scan " + Quote(disk) + " --format json");
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const json plainScan = json::parse(plain.out);
    for (const json& s : plainScan["sources"])
        EXPECT_LT(s["offset"].get<uint64_t>(), end) << s.dump();

    const CommandResult deep = Dunro("scan " + Quote(disk) + " --deep --format json");
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    const json scan = json::parse(deep.out);
    std::map<uint32_t, uint64_t> sourceOffset;
    for (const json& s : scan["sources"])
        if (!s["partition"].is_null())
            sourceOffset[s["partition"].get<uint32_t>()] = s["offset"];
    int64_t id = -1;
    for (size_t i = 0; i < scan["files"].size(); ++i) {
        const json& f = scan["files"][i];
        // Only files found by content carry "found_by" and "offset".
        if (f.value("found_by", "") == "content" && !f["partition"].is_null() &&
            sourceOffset[f["partition"].get<uint32_t>()] + f["offset"].get<uint64_t>() == end + kMiB)
            id = static_cast<int64_t>(i);
    }
    ASSERT_GE(id, 0) << deep.out.substr(0, 2000);
    const json& found = scan["files"][static_cast<size_t>(id)];
    EXPECT_EQ(found["size"].get<size_t>(), picture.size());
    EXPECT_EQ(found["state"], "Excellent");

    const CommandResult recovered =
        Dunro("recover " + Quote(disk) + " --deep --id " + std::to_string(id) + " --to " + Quote((dir / "out").string()));
    ASSERT_EQ(recovered.exitCode, 0) << recovered.err;
    std::vector<char> back;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out"))
        if (entry.path().extension() == ".png") {
            std::ifstream in(entry.path(), std::ios::binary);
            back.assign(std::istreambuf_iterator<char>(in), {});
        }
    EXPECT_EQ(back, picture);
    fs::remove_all(dir);
}
