// Partition tables: the disks make-disk-images builds with sfdisk, read
// against TSK's mmls, and hostile tables made by hand for the cases no tool
// writes (loops, overlaps, entries past the end, absurd counts).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "media/byte_source.h"
#include "media/partition_table.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

using Extent = std::tuple<uint64_t, uint64_t>;  // start, length in bytes

// The data partitions mmls lists (not its meta entries, gaps or extended containers).
std::set<Extent> MmlsPartitions(const std::string& listing) {
    std::ifstream in(listing);
    std::set<Extent> extents;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string index, slot;
        uint64_t start = 0, end = 0, length = 0;
        if (!(fields >> index >> slot >> start >> end >> length) || slot == "Meta" || slot == "-------")
            continue;
        extents.emplace(start * 512, length * 512);
    }
    return extents;
}

std::set<Extent> Extents(const media::PartitionTable& table) {
    std::set<Extent> extents;
    for (const media::Partition& p : table.Partitions)
        extents.emplace(p.Start, p.Length);
    return extents;
}

media::TableReading ReadImage(const std::string& path) {
    auto source = media::OpenDevice(path);
    if (!source) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    return media::ReadPartitionTable(*source);
}

media::TableReading ReadBytes(const std::vector<uint8_t>& bytes) {
    media::DeviceSource source(platform::VolumeDevice::FromMemory(bytes.data(), bytes.size()));
    return media::ReadPartitionTable(source);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A sector-0 table entry: index 0–3 at 446.
void MbrEntry(std::vector<uint8_t>& b, size_t sector, int index, uint8_t type, uint32_t first, uint32_t count) {
    const size_t at = sector * 512 + 446 + 16 * index;
    b[at + 4] = type;
    Put32(b, at + 8, first);
    Put32(b, at + 12, count);
    b[sector * 512 + 510] = 0x55;
    b[sector * 512 + 511] = 0xAA;
}

uint32_t Crc(const uint8_t* data, size_t size) {
    return static_cast<uint32_t>(crc32(crc32(0, Z_NULL, 0), data, static_cast<uInt>(size)));
}

// A disk of `sectors` 512-byte sectors with a protective MBR and a GPT whose
// header (at `headerLba`) claims `count` entries of 128 bytes at LBA 2, and
// one entry per `parts` (first, last LBA).
std::vector<uint8_t> GptDisk(uint64_t sectors, uint64_t headerLba, uint32_t count,
                             const std::vector<std::pair<uint64_t, uint64_t>>& parts) {
    std::vector<uint8_t> b(sectors * 512, 0);
    MbrEntry(b, 0, 0, 0xEE, 1, static_cast<uint32_t>(sectors - 1));
    const uint64_t entriesLba = headerLba == 1 ? 2 : headerLba - 32;
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t at = entriesLba * 512 + 128 * i;
        b[at] = 0xA2;  // any type that is not all zeros
        Put64(b, at + 32, parts[i].first);
        Put64(b, at + 40, parts[i].second);
    }
    const size_t h = headerLba * 512;
    std::memcpy(&b[h], "EFI PART", 8);
    Put32(b, h + 8, 0x00010000);
    Put32(b, h + 12, 92);
    Put64(b, h + 24, headerLba);
    Put64(b, h + 32, headerLba == 1 ? sectors - 1 : 1);
    Put64(b, h + 40, 34);
    Put64(b, h + 48, sectors - 34);
    Put64(b, h + 72, entriesLba);
    Put32(b, h + 80, count);
    Put32(b, h + 84, 128);
    const uint64_t arrayBytes = uint64_t{count} * 128;
    Put32(b, h + 88, arrayBytes <= b.size() - entriesLba * 512 ? Crc(&b[entriesLba * 512], arrayBytes) : 0);
    Put32(b, h + 16, Crc(&b[h], 92));
    return b;
}

} // namespace

TEST(PartitionTable, MbrDiskListsPrimaryAndLogicalPartitionsWhereMmlsDoes) {
    const std::string disk = DiskImagePath("mbr-disk.img");
    if (!RequireFile(disk))
        return;
    const media::TableReading reading = ReadImage(disk);
    ASSERT_TRUE(reading.Found) << reading.Reason;
    EXPECT_EQ(reading.Table.Scheme, media::PartitionScheme::Mbr);
    EXPECT_EQ(Extents(reading.Table), MmlsPartitions(disk + ".mmls.txt"));
    std::vector<std::pair<uint32_t, std::string>> numbered;
    for (const media::Partition& p : reading.Table.Partitions)
        numbered.emplace_back(p.Number, p.Type);
    const std::vector<std::pair<uint32_t, std::string>> expected = {{1, "0x07"}, {5, "0x0C"}, {6, "0x07"}, {3, "0x06"}};
    EXPECT_EQ(numbered, expected);
    EXPECT_TRUE(reading.Table.Notes.empty());
    // Opening a disk is a few reads, not a scan: sector 0 and one per extended boot record.
    EXPECT_EQ(reading.Reads, 3u);
}

TEST(PartitionTable, GptDiskListsItsPartitionsWithTheirNamesAndFallsBackToTheBackupHeader) {
    const std::string disk = DiskImagePath("gpt-disk.img");
    if (!RequireFile(disk))
        return;
    const media::TableReading reading = ReadImage(disk);
    ASSERT_TRUE(reading.Found) << reading.Reason;
    EXPECT_EQ(reading.Table.Scheme, media::PartitionScheme::Gpt);
    EXPECT_FALSE(reading.Table.FromBackup);
    EXPECT_EQ(Extents(reading.Table), MmlsPartitions(disk + ".mmls.txt"));
    std::vector<std::string> labels;
    for (const media::Partition& p : reading.Table.Partitions)
        labels.push_back(p.Label);
    EXPECT_EQ(labels, (std::vector<std::string>{"Ann's data", "Fotos M\xC3\xBCller", "Archive"}));
    EXPECT_EQ(reading.Table.Partitions[0].TypeName, "Microsoft basic data");
    EXPECT_EQ(reading.Reads, 3u);  // sector 0, the header, the entries

    // The primary header and its entries damaged: the copy at the disk's end is read.
    const std::string damaged = CopyToTemp(disk, "gpt-primary-damaged.img");
    {
        std::fstream f(damaged, std::ios::binary | std::ios::in | std::ios::out);
        const std::vector<char> zeros(512 * 33, 0);
        f.seekp(512);
        f.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    }
    const media::TableReading backup = ReadImage(damaged);
    std::filesystem::remove(damaged);
    ASSERT_TRUE(backup.Found) << backup.Reason;
    EXPECT_TRUE(backup.Table.FromBackup);
    EXPECT_EQ(Extents(backup.Table), Extents(reading.Table));
    EXPECT_EQ(backup.Table.Partitions[1].Label, "Fotos M\xC3\xBCller");
}

TEST(PartitionTable, BareVolumesAndEmptySectorsAreNoTable) {
    for (const char* image : {"ntfs-basic.img", "fat32-basic.img", "fat16-small.img"}) {
        const std::string path = CorpusPath(image);
        if (!RequireFile(path))
            continue;
        const media::TableReading reading = ReadImage(path);
        EXPECT_FALSE(reading.Found) << image;
        EXPECT_EQ(reading.Reason, "the first sector is a volume's boot sector") << image;
    }
    const std::vector<uint8_t> zeros(64 * 512, 0);
    EXPECT_FALSE(ReadBytes(zeros).Found);
    // A protective entry with no GPT behind it is named as such.
    std::vector<uint8_t> orphan(64 * 512, 0);
    MbrEntry(orphan, 0, 0, 0xEE, 1, 63);
    const media::TableReading reading = ReadBytes(orphan);
    EXPECT_FALSE(reading.Found);
    EXPECT_NE(reading.Reason.find("protective MBR"), std::string::npos) << reading.Reason;
}

TEST(PartitionTable, HostileMbrEntriesAreCutOrRefused) {
    std::vector<uint8_t> b(1000 * 512, 0);
    MbrEntry(b, 0, 0, 0x07, 100, 200);        // kept
    MbrEntry(b, 0, 1, 0x07, 250, 100);        // overlaps the first: refused
    MbrEntry(b, 0, 2, 0x0C, 900, 500);        // runs past the end: cut to 100 sectors
    MbrEntry(b, 0, 3, 0x83, 5000, 10);        // starts past the end: refused
    const media::TableReading reading = ReadBytes(b);
    ASSERT_TRUE(reading.Found) << reading.Reason;
    ASSERT_EQ(reading.Table.Partitions.size(), 2u);
    EXPECT_EQ(reading.Table.Partitions[0].Number, 1u);
    EXPECT_EQ(reading.Table.Partitions[1].Number, 3u);
    EXPECT_EQ(reading.Table.Partitions[1].Length, 100u * 512);
    EXPECT_TRUE(reading.Table.Partitions[1].Cut);
    EXPECT_EQ(reading.Table.Notes.size(), 3u);
}

TEST(PartitionTable, LoopingOrEndlessExtendedChainsStop) {
    // Each EBR's link points back at the first: the chain is a loop.
    std::vector<uint8_t> loop(400 * 512, 0);
    MbrEntry(loop, 0, 0, 0x05, 100, 300);
    MbrEntry(loop, 100, 0, 0x07, 10, 20);  // logical 5
    MbrEntry(loop, 100, 1, 0x05, 50, 100); // next EBR at 150
    MbrEntry(loop, 150, 0, 0x07, 10, 20);  // logical 6
    MbrEntry(loop, 150, 1, 0x05, 50, 100); // next EBR: itself again
    const media::TableReading looped = ReadBytes(loop);
    ASSERT_TRUE(looped.Found);
    ASSERT_EQ(looped.Table.Partitions.size(), 2u);
    EXPECT_EQ(looped.Table.Partitions[1].Number, 6u);
    EXPECT_NE(looped.Table.Notes.at(0).find("loops"), std::string::npos);

    // A chain of a thousand distinct links is cut at the bound, reading no more than it allows.
    std::vector<uint8_t> endless(2100 * 512, 0);
    MbrEntry(endless, 0, 0, 0x05, 1, 2099);
    for (uint32_t s = 1; s < 2098; s += 2) {
        MbrEntry(endless, s, 0, 0x07, 1, 1);
        MbrEntry(endless, s, 1, 0x05, s + 1, 2);
    }
    const media::TableReading long_ = ReadBytes(endless);
    ASSERT_TRUE(long_.Found);
    EXPECT_EQ(long_.Table.Partitions.size(), 256u);
    EXPECT_LE(long_.Reads, 260u);
    EXPECT_NE(long_.Table.Notes.at(0).find("longer than"), std::string::npos);
}

TEST(PartitionTable, HostileGptHeadersAreRefusedAndItsEntriesCut) {
    // A header claiming a billion entries is not believed (nor read); the backup is.
    std::vector<uint8_t> b = GptDisk(2048, 1, 1'000'000'000, {});
    const std::vector<uint8_t> backup = GptDisk(2048, 2047, 128, {{100, 199}, {150, 300}, {1500, 3000}, {5000, 6000}});
    std::memcpy(&b[(2047 - 32) * 512], &backup[(2047 - 32) * 512], 33 * 512);
    const media::TableReading reading = ReadBytes(b);
    ASSERT_TRUE(reading.Found) << reading.Reason;
    EXPECT_TRUE(reading.Table.FromBackup);
    EXPECT_NE(reading.Table.Notes.at(0).find("1000000000 entries"), std::string::npos) << reading.Table.Notes.at(0);
    // Overlapping (2), past the end (4) refused; running past the end (3) cut.
    ASSERT_EQ(reading.Table.Partitions.size(), 2u);
    EXPECT_EQ(reading.Table.Partitions[0].Number, 1u);
    EXPECT_EQ(reading.Table.Partitions[1].Number, 3u);
    EXPECT_TRUE(reading.Table.Partitions[1].Cut);
    EXPECT_EQ(reading.Table.Partitions[1].Start + reading.Table.Partitions[1].Length, 2048u * 512);
    EXPECT_LE(reading.Reads, 6u);

    // A wrong checksum on both headers: no table, and why.
    std::vector<uint8_t> bad = GptDisk(2048, 1, 128, {{100, 199}});
    bad[512 + 16] ^= 1;
    const media::TableReading refused = ReadBytes(bad);
    EXPECT_FALSE(refused.Found);
    EXPECT_NE(refused.Reason.find("checksum"), std::string::npos) << refused.Reason;
}
