// Decoding edge cases on hand-made MFT records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ntfs/record_parse.h"

namespace {

class RecordBuilder {
public:
    RecordBuilder() : r_(1024, 0) {
        std::memcpy(r_.data(), "FILE", 4);
        Put16(4, 48);  // update sequence array
        Put16(6, 3);
        Put16(20, 56);  // first attribute
        Put16(22, 0);   // a deleted file
        Put16(48, 0x0009);
        off_ = 56;
    }

    RecordBuilder& StandardInformation(uint64_t created, uint64_t modified, uint64_t accessed) {
        std::vector<uint8_t> v(72, 0);
        Put64(v, 0, created);
        Put64(v, 8, modified);
        Put64(v, 24, accessed);
        return Resident(0x10, v);
    }

    RecordBuilder& FileName(const std::u16string& name, uint8_t nameSpace, uint64_t parent) {
        std::vector<uint8_t> v(66 + name.size() * 2, 0);
        Put64(v, 0, parent | (uint64_t{1} << 48));
        v[64] = static_cast<uint8_t>(name.size());
        v[65] = nameSpace;
        for (size_t i = 0; i < name.size(); ++i) {
            v[66 + 2 * i] = static_cast<uint8_t>(name[i]);
            v[67 + 2 * i] = static_cast<uint8_t>(name[i] >> 8);
        }
        return Resident(0x30, v);
    }

    RecordBuilder& ResidentData(const std::string& data, const std::u16string& streamName = u"") {
        return Resident(0x80, std::vector<uint8_t>(data.begin(), data.end()), streamName);
    }

    RecordBuilder& NonResidentData(uint64_t size, const std::vector<uint8_t>& runs, uint16_t flags = 0,
                                   uint16_t unitShift = 0, const std::u16string& streamName = u"") {
        const size_t nameOffset = 64;
        const size_t runOffset = (nameOffset + streamName.size() * 2 + 7) / 8 * 8;
        const size_t length = (runOffset + runs.size() + 1 + 7) / 8 * 8;
        size_t a = off_;
        Put32(a, 0x80);
        Put32(a + 4, static_cast<uint32_t>(length));
        r_[a + 8] = 1;
        r_[a + 9] = static_cast<uint8_t>(streamName.size());
        Put16(a + 10, static_cast<uint16_t>(nameOffset));
        Put16(a + 12, flags);
        Put16(a + 32, static_cast<uint16_t>(runOffset));
        Put16(a + 34, unitShift);
        Put64(r_, a + 40, size);
        Put64(r_, a + 48, size);
        Put64(r_, a + 56, size);
        PutName(a + nameOffset, streamName);
        std::memcpy(&r_[a + runOffset], runs.data(), runs.size());
        off_ += length;
        return *this;
    }

    std::vector<uint8_t> Build() {
        Put32(off_, 0xFFFFFFFF);
        Put32(24, static_cast<uint32_t>(off_ + 8));
        Put32(28, 1024);
        // The sector tails go to the array; the sequence number takes their place.
        r_[50] = r_[510], r_[51] = r_[511], r_[52] = r_[1022], r_[53] = r_[1023];
        r_[510] = r_[1022] = 0x09;
        r_[511] = r_[1023] = 0x00;
        return r_;
    }

private:
    RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value, const std::u16string& name = u"") {
        const size_t valueOffset = (24 + name.size() * 2 + 7) / 8 * 8;
        const size_t length = (valueOffset + value.size() + 7) / 8 * 8;
        size_t a = off_;
        Put32(a, type);
        Put32(a + 4, static_cast<uint32_t>(length));
        r_[a + 9] = static_cast<uint8_t>(name.size());
        Put16(a + 10, 24);
        PutName(a + 24, name);
        Put32(a + 16, static_cast<uint32_t>(value.size()));
        Put16(a + 20, static_cast<uint16_t>(valueOffset));
        std::memcpy(&r_[a + valueOffset], value.data(), value.size());
        off_ += length;
        return *this;
    }
    void PutName(size_t at, const std::u16string& name) {
        for (size_t i = 0; i < name.size(); ++i) {
            r_[at + 2 * i] = static_cast<uint8_t>(name[i]);
            r_[at + 2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
        }
    }
    void Put16(size_t at, uint16_t v) { r_[at] = static_cast<uint8_t>(v), r_[at + 1] = static_cast<uint8_t>(v >> 8); }
    void Put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            r_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    static void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
        for (int i = 0; i < 8; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    std::vector<uint8_t> r_;
    size_t off_;
};

// The record decoding as the reader calls it, for 1 KiB records.
struct Reader {
    ntfs::RecordShape shape;
    Reader(uint32_t cluster = 4096) : shape{1024, cluster} {}
    bool Parse(TMyFile& file, std::span<uint8_t> record) const {
        return static_cast<bool>(ntfs::ParseFileRecord(file, record, shape));
    }
};

} // namespace

TEST(NtfsRecord, DecodesTimesNameParentAndRuns) {
    Reader reader;
    auto record = RecordBuilder()
                      .StandardInformation(100, 200, 300)
                      .FileName(u"beach.jpg", 1, 67)
                      .NonResidentData(180000, {0x21, 0x2C, 0x00, 0x1A, 0x00})
                      .Build();
    TMyFile file;
    ASSERT_TRUE(reader.Parse(file, record));
    EXPECT_EQ(file.FileName, "beach.jpg");
    EXPECT_EQ(file.Extension, ".jpg");
    EXPECT_EQ(file.ParentRecordNo, 67);
    EXPECT_EQ(file.CreatedTime, 100u);
    EXPECT_EQ(file.ModifiedTime, 200u);
    EXPECT_EQ(file.AccessedTime, 300u);
    EXPECT_TRUE(file.HasTimes);
    EXPECT_EQ(file.FileSize, 180000);
    ASSERT_EQ(file.Runs.size(), 1u);
    EXPECT_EQ(file.Runs[0].RunStart, 0x1A00ll * 4096);
    EXPECT_EQ(file.Runs[0].RunLength, 44ll * 4096);
    EXPECT_EQ(file.DataPos, file.Runs[0].RunStart);
}

TEST(NtfsRecord, DosOnlyNameGivesTheRecordNumberInHex) {
    Reader reader;
    auto record = RecordBuilder().FileName(u"BEACH~1.JPG", 2, 40).ResidentData("hello").Build();
    TMyFile file;
    file.RecordNo = 0x1234;
    ASSERT_TRUE(reader.Parse(file, record));
    EXPECT_EQ(file.FileName, "0000000000001234");
    EXPECT_EQ(file.ParentRecordNo, 40);
}

TEST(NtfsRecord, SparseRunsStayInPlaceAsHoles) {
    Reader reader;
    // A hole of 2 clusters, 3 clusters at 0x100, a hole of 1, then 4 clusters 0x10 further on.
    auto record = RecordBuilder()
                      .FileName(u"sparse.bin", 1, 5)
                      .NonResidentData(10 * 4096, {0x01, 0x02, 0x21, 0x03, 0x00, 0x01, 0x01, 0x01, 0x11, 0x04, 0x10})
                      .Build();
    TMyFile file;
    ASSERT_TRUE(reader.Parse(file, record));
    ASSERT_EQ(file.Runs.size(), 4u);
    EXPECT_TRUE(file.Runs[0].IsHole);
    EXPECT_EQ(file.Runs[0].RunLength, 2 * 4096);
    EXPECT_EQ(file.Runs[1].RunStart, 0x100 * 4096);
    EXPECT_TRUE(file.Runs[2].IsHole);
    EXPECT_EQ(file.Runs[3].RunStart, 0x110 * 4096);  // the delta counts from the last real run
    EXPECT_EQ(file.DataPos, 0x100 * 4096);
}

TEST(NtfsRecord, NegativeDeltaMovesBackwards) {
    Reader reader;
    auto record = RecordBuilder()
                      .FileName(u"frag.bin", 1, 5)
                      .NonResidentData(2 * 4096, {0x21, 0x01, 0x00, 0x20, 0x21, 0x01, 0x00, 0xF0, 0x00})
                      .Build();
    TMyFile file;
    ASSERT_TRUE(reader.Parse(file, record));
    ASSERT_EQ(file.Runs.size(), 2u);
    EXPECT_EQ(file.Runs[1].RunStart, (0x2000 - 4096) * 4096ll);
}

TEST(NtfsRecord, NamedStreamsAreNotTheContent) {
    Reader reader;
    auto record = RecordBuilder()
                      .FileName(u"mult1.dat", 1, 5)
                      .NonResidentData(5000, {0x11, 0x02, 0x40}, 0, 0, u"ADS")
                      .NonResidentData(3801, {0x11, 0x01, 0x20})
                      .Build();
    TMyFile file;
    ASSERT_TRUE(reader.Parse(file, record));
    EXPECT_EQ(file.FileSize, 3801);
    ASSERT_EQ(file.Runs.size(), 1u);
    EXPECT_EQ(file.Runs[0].RunStart, 0x20 * 4096);
}

TEST(NtfsRecord, ResidentDataAfterNonResidentKeepsTheRuns) {
    Reader reader;
    auto record = RecordBuilder()
                      .FileName(u"a.txt", 1, 5)
                      .NonResidentData(4096, {0x11, 0x01, 0x20})
                      .ResidentData("later", u"x")
                      .Build();
    TMyFile file;
    ASSERT_TRUE(reader.Parse(file, record));
    ASSERT_EQ(file.Runs.size(), 1u);
    EXPECT_TRUE(file.Runs[0].OnVolume);
}

TEST(NtfsRecord, ResidentDataPointsIntoTheRecord) {
    Reader reader;
    auto record = RecordBuilder().FileName(u"res1.dat", 1, 5).ResidentData(std::string(101, 'r')).Build();
    TMyFile file;
    file.DataPos = 777 * 1024;
    ASSERT_TRUE(reader.Parse(file, record));
    EXPECT_EQ(file.FileSize, 101);
    ASSERT_EQ(file.Runs.size(), 1u);
    EXPECT_FALSE(file.Runs[0].OnVolume);
    EXPECT_EQ(file.Runs[0].RunStart, 777 * 1024);
    EXPECT_EQ(record[file.Runs[0].ResidentOffset], 'r');
}

TEST(NtfsRecord, CompressedDataRecordsItsUnit) {
    Reader reader;
    auto record = RecordBuilder()
                      .FileName(u"c.txt", 1, 5)
                      .NonResidentData(65536, {0x11, 0x03, 0x30, 0x01, 0x0D}, 0x0001, 4)
                      .Build();
    TMyFile file;
    ASSERT_TRUE(reader.Parse(file, record));
    EXPECT_EQ(file.CompressionUnit, 16u * 4096);
    ASSERT_EQ(file.Runs.size(), 2u);
    EXPECT_TRUE(file.Runs[1].IsHole);
}

TEST(NtfsRecord, SixtyFourKilobyteClustersFit) {
    Reader reader(65536);
    auto record = RecordBuilder().FileName(u"big.bin", 1, 5).NonResidentData(65536, {0x11, 0x01, 0x05}).Build();
    TMyFile file;
    ASSERT_TRUE(reader.Parse(file, record));
    EXPECT_EQ(file.Runs[0].RunStart, 5 * 65536);
    EXPECT_EQ(file.Runs[0].RunLength, 65536);
}

TEST(NtfsRecord, DamagedRecordsDegrade) {
    Reader reader;
    auto good = RecordBuilder().FileName(u"a.txt", 1, 5).NonResidentData(4096, {0x11, 0x01, 0x20}).Build();
    TMyFile file;

    auto torn = good;
    torn[1022] = 0x0A;  // the second stride carries another sequence number
    EXPECT_FALSE(reader.Parse(file, torn));

    auto inUse = good;
    inUse[24] = 0x01, inUse[25] = 0x08;  // 2049 bytes in use in a 1 KiB record
    EXPECT_FALSE(reader.Parse(file, inUse));

    auto zeroLength = good;
    zeroLength[60] = zeroLength[61] = zeroLength[62] = zeroLength[63] = 0;
    TMyFile none;
    EXPECT_TRUE(reader.Parse(none, zeroLength));
    EXPECT_EQ(none.FileName, "FFFFFFFFFFFFFFFF");  // no name read: the record number stands in
    EXPECT_TRUE(none.Runs.empty());

    auto hugeLength = good;
    hugeLength[60] = hugeLength[61] = 0xFF;
    TMyFile none2;
    EXPECT_TRUE(reader.Parse(none2, hugeLength));
    EXPECT_TRUE(none2.Runs.empty());

    // A run header whose offset field claims more than eight bytes ends the list.
    auto badRun = RecordBuilder()
                      .FileName(u"a.txt", 1, 5)
                      .NonResidentData(8192, {0x11, 0x01, 0x20, 0x91, 0x01, 0x20})
                      .Build();
    TMyFile partial;
    ASSERT_TRUE(reader.Parse(partial, badRun));
    EXPECT_EQ(partial.Runs.size(), 1u);

    auto notFile = good;
    notFile[0] = 'B';
    EXPECT_FALSE(reader.Parse(file, notFile));
}
