// Files whose attributes outgrew their MFT record: a deleted file of
// hundreds of extents made by ntfs-3g, and an MFT whose own run list is
// moved into an extension record by a patch; and an MFT run list whose
// lengths overflow.
#include <gtest/gtest.h>

#include <map>

#include "ntfs/ntfs_disk.h"
#include "support/ntfs_patch.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {

std::map<int64_t, int64_t> SizesByRecord(const ScanSetup& scan) {
    std::map<int64_t, int64_t> out;
    for (const auto& f : scan.disk->Files)
        out[f->RecordNo] = f->FileSize;
    return out;
}

// Mapping pairs of the run list at `at` in a record, as (first cluster, count).
std::vector<ClusterRun> RunsAt(const std::vector<uint8_t>& r, size_t at) {
    std::vector<ClusterRun> runs;
    int64_t lcn = 0;
    while (at < r.size() && r[at] != 0) {
        const size_t countBytes = r[at] & 0x0F, offsetBytes = r[at] >> 4;
        uint64_t count = 0;
        for (size_t i = 0; i < countBytes; ++i)
            count |= uint64_t{r[at + 1 + i]} << (8 * i);
        int64_t delta = 0;
        for (size_t i = 0; i < offsetBytes; ++i)
            delta |= int64_t{r[at + 1 + countBytes + i]} << (8 * i);
        if (offsetBytes && offsetBytes < 8 && (r[at + countBytes + offsetBytes] & 0x80))
            delta -= int64_t{1} << (8 * offsetBytes);
        lcn += delta;
        runs.push_back({lcn, count});
        at += 1 + countBytes + offsetBytes;
    }
    return runs;
}

void Put(std::vector<uint8_t>& b, size_t at, uint64_t v, size_t width) {
    for (size_t i = 0; i < width; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

TEST(NtfsAttributeList, FileOfHundredsOfExtentsIsReadWhole) {
    const std::string path = CorpusPath("ntfs-attrlist.img");
    if (!RequireFile(path))
        return;
    const json manifest = LoadManifest("ntfs-attrlist.img");
    const json* big = nullptr;
    for (const json& e : manifest["files"])
        if (e["path"] == "Video/holiday.mp4")
            big = &e;
    ASSERT_NE(big, nullptr);
    ASSERT_GE((*big)["extents"].get<int>(), 200);
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    TMyFile* f = FoundRecord(scan, (*big)["mft_record"].get<int64_t>());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->FileSize, (*big)["size"].get<int64_t>());
    EXPECT_EQ(f->State, kStateExcellent);
    std::vector<uint8_t> data;
    ASSERT_TRUE(ReadAll(*f, data));
    EXPECT_EQ(Sha256Of(data), (*big)["sha256"].get<std::string>());
    // The records that held its other pieces are part of it, not files.
    for (const json& n : (*big)["extension_records"])
        EXPECT_EQ(FoundRecord(scan, n.get<int64_t>()), nullptr) << "record " << n;
}

TEST(NtfsAttributeList, MftWhoseRunsContinueInAnExtensionRecordIsReadWhole) {
    ScanSetup original;
    if (!RequireFile(CorpusPath("ntfs-fragmented.img")) || !original.Run(CorpusPath("ntfs-fragmented.img")))
        FAIL() << "ntfs-fragmented.img cannot be scanned";
    PatchedNtfsImage image("ntfs-fragmented.img");
    ASSERT_TRUE(image.Ready());

    // Record 0 keeps the MFT's first extent; the others move to record 16
    // (one of the reserved records mkntfs leaves unused), and an attribute
    // list in record 0 says so.
    MftRecordEdit base(image.Path(), image.RecordAt(0));
    std::vector<uint8_t>& r = base.Bytes();
    const size_t data = base.FindAttribute(0x80);
    ASSERT_NE(data, std::string::npos);
    const std::vector<ClusterRun> runs = RunsAt(r, data + base.Get16(data + 32));
    ASSERT_GE(runs.size(), 2u) << "the MFT of ntfs-fragmented is no longer fragmented";
    uint64_t total = 0;
    for (const ClusterRun& run : runs)
        total += run.count;
    const uint64_t split = runs[0].count;
    const std::vector<ClusterRun> rest(runs.begin() + 1, runs.end());

    // The attributes of record 0 in order, with the attribute list after $STANDARD_INFORMATION.
    std::vector<std::vector<uint8_t>> attributes;
    for (size_t off = base.Get16(20); base.Get64(off) & 0xFFFFFFFF && (base.Get64(off) & 0xFFFFFFFF) != 0xFFFFFFFF;
         off += base.Get16(off + 4))
        attributes.emplace_back(r.begin() + static_cast<std::ptrdiff_t>(off),
                                r.begin() + static_cast<std::ptrdiff_t>(off + base.Get16(off + 4)));
    const uint16_t baseSequence = base.Get16(16);
    auto entry = [&](uint32_t type, uint64_t vcn, uint64_t record, uint16_t id) {
        std::vector<uint8_t> e(32, 0);
        Put(e, 0, type, 4);
        Put(e, 4, 32, 2);
        e[7] = 0x1A;
        Put(e, 8, vcn, 8);
        Put(e, 16, record | uint64_t{record == 0 ? baseSequence : uint16_t{1}} << 48, 8);
        Put(e, 24, id, 2);
        return e;
    };
    std::vector<uint8_t> list;
    for (const auto& a : attributes) {
        const uint32_t type = static_cast<uint32_t>(a[0] | a[1] << 8);
        const uint16_t id = static_cast<uint16_t>(a[14] | a[15] << 8);
        auto e = entry(type, 0, 0, id);
        list.insert(list.end(), e.begin(), e.end());
        if (type == 0x80) {
            auto more = entry(0x80, split, 16, 0);
            list.insert(list.end(), more.begin(), more.end());
        }
    }
    std::vector<uint8_t> listAttribute(24 + list.size(), 0);
    Put(listAttribute, 0, 0x20, 4);
    Put(listAttribute, 4, listAttribute.size(), 4);
    Put(listAttribute, 14, 7, 2);
    Put(listAttribute, 16, list.size(), 4);
    Put(listAttribute, 20, 24, 2);
    std::copy(list.begin(), list.end(), listAttribute.begin() + 24);

    std::vector<uint8_t> rebuilt(r.begin(), r.begin() + base.Get16(20));
    for (const auto& a : attributes) {
        std::vector<uint8_t> piece = a;
        const uint32_t type = static_cast<uint32_t>(a[0] | a[1] << 8);
        if (type == 0x80) {
            // The first extent only, with the highest VCN it reaches.
            const size_t pairsAt = piece[32] | piece[33] << 8;
            const auto pairs = EncodeRuns({runs[0]});
            piece.resize((pairsAt + pairs.size() + 1 + 7) / 8 * 8);
            std::fill(piece.begin() + static_cast<std::ptrdiff_t>(pairsAt), piece.end(), 0);
            std::copy(pairs.begin(), pairs.end(), piece.begin() + static_cast<std::ptrdiff_t>(pairsAt));
            Put(piece, 4, piece.size(), 4);
            Put(piece, 24, split - 1, 8);
        }
        rebuilt.insert(rebuilt.end(), piece.begin(), piece.end());
        if (type == 0x10)
            rebuilt.insert(rebuilt.end(), listAttribute.begin(), listAttribute.end());
    }
    const size_t end = rebuilt.size();
    rebuilt.resize(r.size(), 0);
    Put(rebuilt, end, 0xFFFFFFFF, 4);
    Put(rebuilt, 24, end + 8, 4);
    ASSERT_LE(end + 8, r.size());
    Put(rebuilt, 40, 8, 2);  // next attribute id
    r = rebuilt;
    base.Write();

    // Record 16: the extension, its header like record 0's, holding the rest of $DATA.
    MftRecordEdit extension(image.Path(), image.RecordAt(16));
    std::vector<uint8_t>& x = extension.Bytes();
    std::fill(x.begin(), x.end(), 0);
    std::copy(r.begin(), r.begin() + 56, x.begin());
    Put(x, 16, 1, 2);                          // its sequence number
    Put(x, 22, 1, 2);                          // in use
    Put(x, 0x20, uint64_t{baseSequence} << 48, 8);  // part of record 0
    Put(x, 40, 1, 2);
    Put(x, 44, 16, 4);
    const auto pairs = EncodeRuns(rest);
    std::vector<uint8_t> piece((0x40 + pairs.size() + 1 + 7) / 8 * 8, 0);
    Put(piece, 0, 0x80, 4);
    Put(piece, 4, piece.size(), 4);
    piece[8] = 1;
    Put(piece, 10, 0x40, 2);
    Put(piece, 16, split, 8);
    Put(piece, 24, total - 1, 8);
    Put(piece, 32, 0x40, 2);
    std::copy(pairs.begin(), pairs.end(), piece.begin() + 0x40);
    std::copy(piece.begin(), piece.end(), x.begin() + 56);
    Put(x, 56 + piece.size(), 0xFFFFFFFF, 4);
    Put(x, 24, 56 + piece.size() + 8, 4);
    Put(x, 28, static_cast<uint64_t>(x.size()), 4);
    extension.Write();

    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    EXPECT_EQ(dynamic_cast<TNTFS_Disk*>(scan.disk->Reader.get())->MftFile->Runs.size(), runs.size());
    EXPECT_EQ(SizesByRecord(scan), SizesByRecord(original)) << "the same deleted files, whatever record they lie in";
}

TEST(NtfsAttributeList, MftRunLengthsWhoseSumOverflowsEndTheScanCleanly) {
    PatchedNtfsImage image("ntfs-fragmented.img");
    if (!image.Ready())
        return;
    MftRecordEdit record(image.Path(), image.RecordAt(0));
    const size_t data = record.FindAttribute(0x80);
    ASSERT_NE(data, std::string::npos);
    auto runs = RunsAt(record.Bytes(), data + record.Get16(data + 32));
    ASSERT_GE(runs.size(), 3u);
    // Each length fits a 64-bit byte count, and so does the sum of the first
    // two; only the last one carries the sum past the largest number.
    runs[1].count = static_cast<uint64_t>(INT64_MAX / image.Cluster()) - runs[0].count - 16;
    runs[2].count = 64;
    record.SetRunList(data, EncodeRuns(runs));
    record.Write();

    ScanSetup scan;
    bool scanned = false;
    EXPECT_NO_THROW(scanned = scan.Run(image.Path()));
    ASSERT_TRUE(scanned);
    const TNTFS_Disk& reader = dynamic_cast<TNTFS_Disk&>(*scan.disk->Reader);
    EXPECT_GT(reader.MftSize, 0);
    EXPECT_LE(reader.MftSize, scan.disk->Drive->VolumeBytes);
    // The records of the first extent are read as before.
    EXPECT_NE(FoundRecord(scan, image.RecordOf("Frag/chunk_0000.bin")), nullptr);
}
