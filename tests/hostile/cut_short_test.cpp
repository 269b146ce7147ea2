// Structures cut short at each of their fields: every decode stays inside
// the bytes it was given and refuses, or takes only what is there. Each cut
// is copied into a buffer of exactly its length, so that the sanitizer build
// catches a read one byte past it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "fat/fat_geometry.h"
#include "fat/fat_layout.h"
#include "ntfs/ntfs_geometry.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/record_parse.h"
#include "volume/update_sequence.h"

namespace {

namespace nl = ntfs::layout;
namespace fl = fat::layout;

void Put(std::vector<uint8_t>& b, size_t at, uint64_t v, size_t width) {
    for (size_t i = 0; i < width; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Cut(const std::vector<uint8_t>& whole, size_t length) {
    return std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
}

std::vector<uint8_t> NtfsBootSector() {
    std::vector<uint8_t> b(nl::boot::kSize, 0);
    std::memcpy(&b[nl::boot::kOemName], "NTFS    ", 8);
    Put(b, nl::boot::kBytesPerSector, 512, 2);
    b[nl::boot::kSectorsPerCluster] = 8;
    Put(b, nl::boot::kTotalSectors, 204799, 8);
    Put(b, nl::boot::kMftCluster, 4, 8);
    Put(b, nl::boot::kMftMirrorCluster, 2, 8);
    b[nl::boot::kClustersPerRecord] = 0xF6;  // 2^10 bytes
    return b;
}

// A deleted file's record: a resident $FILE_NAME "a.txt" and a non-resident $DATA.
std::vector<uint8_t> NtfsRecord() {
    std::vector<uint8_t> r(1024, 0);
    std::memcpy(r.data(), "FILE", 4);
    Put(r, nl::record::kUpdateSequenceOffset, nl::record::kUsualUpdateSequence, 2);
    Put(r, nl::record::kUpdateSequenceCount, 3, 2);
    Put(r, nl::record::kFirstAttribute, nl::record::kUsualFirstAttribute, 2);
    size_t at = nl::record::kUsualFirstAttribute;
    // $FILE_NAME
    const std::u16string name = u"a.txt";
    const size_t valueLength = nl::file_name::kName + name.size() * 2;
    Put(r, at + nl::attribute::kType, ntfs::kAttrFileName, 4);
    Put(r, at + nl::attribute::kLength, 0x68, 4);
    Put(r, at + nl::attribute::kValueLength, valueLength, 4);
    Put(r, at + nl::attribute::kValueOffset, nl::attribute::kResidentHeaderSize, 2);
    const size_t value = at + nl::attribute::kResidentHeaderSize;
    Put(r, value + nl::file_name::kParent, 5, 8);
    r[value + nl::file_name::kNameLength] = static_cast<uint8_t>(name.size());
    r[value + nl::file_name::kNameSpace] = 1;
    for (size_t i = 0; i < name.size(); ++i)
        r[value + nl::file_name::kName + 2 * i] = static_cast<uint8_t>(name[i]);
    at += 0x68;
    // $DATA: 8 clusters at cluster 0x100.
    Put(r, at + nl::attribute::kType, ntfs::kAttrData, 4);
    Put(r, at + nl::attribute::kLength, 0x48, 4);
    r[at + nl::attribute::kNonResident] = 1;
    Put(r, at + nl::attribute::kRunsOffset, 0x40, 2);
    Put(r, at + nl::attribute::kRealSize, 30000, 8);
    const uint8_t runs[] = {0x21, 0x08, 0x00, 0x01, 0x00};
    std::memcpy(&r[at + 0x40], runs, sizeof runs);
    at += 0x48;
    Put(r, at, nl::attribute::kEndMarker, 4);
    Put(r, nl::record::kBytesInUse, at + 8, 4);
    // The update sequence: number 1, the tails saved in the array.
    Put(r, nl::record::kUsualUpdateSequence, 1, 2);
    for (size_t stride = 1; stride <= 2; ++stride)
        Put(r, stride * nl::kUpdateStride - 2, 1, 2);
    return r;
}

std::vector<uint8_t> FatBootSector() {
    std::vector<uint8_t> b(fl::boot::kSize, 0);
    Put(b, fl::boot::kBytesPerSector, 512, 2);
    b[fl::boot::kSectorsPerCluster] = 1;
    Put(b, fl::boot::kReservedSectors, 32, 2);
    b[fl::boot::kTableCount] = 2;
    Put(b, fl::boot::kTotalSectors, 70000, 4);
    Put(b, fl::boot::kSectorsPerTable, 512, 4);
    Put(b, fl::boot::kRootCluster, 2, 4);
    std::memcpy(&b[fl::boot::kFileSystemType], "FAT32   ", 8);
    return b;
}

std::vector<uint8_t> FatShortEntry() {
    std::vector<uint8_t> e(fl::entry::kSize, 0);
    std::memcpy(e.data(), "REPORT  TXT", 11);
    e[fl::entry::kName] = fl::entry::kDeletedMark;
    e[fl::entry::kAttributes] = 0x20;
    Put(e, fl::entry::kModifiedDate, 0x5221, 2);  // 2021-01-01
    Put(e, fl::entry::kFirstClusterLow, 9, 2);
    Put(e, fl::entry::kFileSize, 1234, 4);
    return e;
}

} // namespace

TEST(CutShort, NtfsBootSectorIsRefusedAtEveryField) {
    const std::vector<uint8_t> whole = NtfsBootSector();
    ASSERT_TRUE(ntfs::ParseGeometry(whole));
    for (const size_t cut : {size_t{0}, nl::boot::kBytesPerSector + 1, nl::boot::kSectorsPerCluster,
                             nl::boot::kTotalSectors + 4, nl::boot::kMftCluster, nl::boot::kMftMirrorCluster + 7,
                             nl::boot::kClustersPerRecord, nl::boot::kSize - 1}) {
        const auto geometry = ntfs::ParseGeometry(Cut(whole, cut));
        EXPECT_FALSE(geometry) << cut;
        EXPECT_STRNE(geometry.Reason(), "") << cut;
    }
    EXPECT_FALSE(ntfs::HasNtfsName(Cut(whole, nl::boot::kOemName + 7)));
}

TEST(CutShort, NtfsRecordHeaderIsReadOnlyWhereItIs) {
    const std::vector<uint8_t> whole = NtfsRecord();
    const auto header = ntfs::ReadRecordHeader(whole, 1024, 77);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->recordNo, 0);  // the header's own number field, which the record carries as 0
    for (const size_t cut : {size_t{0}, size_t{3}, nl::record::kBytesInUse + 2, nl::record::kFlags,
                             nl::record::kBaseRecord + 4, nl::record::kRecordNumber + 1, nl::record::kUsualSavedTail}) {
        const auto part = ntfs::ReadRecordHeader(Cut(whole, cut), 1024, 77);
        if (cut <= nl::record::kBytesInUse + 2) {
            EXPECT_FALSE(part) << cut;
            continue;
        }
        // Past the bytes in use, what is missing reads as absent, never as a neighbour's bytes.
        ASSERT_TRUE(part) << cut;
        if (cut <= nl::record::kRecordNumber + 1) {
            EXPECT_EQ(part->recordNo, 77) << cut;
        }
        EXPECT_EQ(part->savedTail, 0) << cut;
    }
}

TEST(CutShort, NtfsRecordsAndAttributesCutShortAreRefusedOrEndTheWalk) {
    const ntfs::RecordShape shape{1024, 4096};
    std::vector<uint8_t> whole = NtfsRecord();
    {
        std::vector<uint8_t> copy = whole;
        TMyFile file;
        ASSERT_TRUE(ntfs::ParseFileRecord(file, copy, shape));
        EXPECT_EQ(file.FileName, "a.txt");
        EXPECT_EQ(file.FileSize, 30000);
    }
    // A buffer shorter than a record is no record.
    for (const size_t cut : {size_t{0}, size_t{4}, nl::record::kHeaderSize, size_t{600}, size_t{1023}}) {
        std::vector<uint8_t> part = Cut(whole, cut);
        TMyFile file;
        const auto parsed = ntfs::ParseFileRecord(file, part, shape);
        EXPECT_FALSE(parsed) << cut;
        EXPECT_STRNE(parsed.Reason(), "") << cut;
        TMyFolder folder;
        EXPECT_FALSE(ntfs::ParseFolderRecord(folder, part, shape)) << cut;
    }
    // The walk of attributes stops at the bytes it has, whatever the record claims in use.
    const size_t firstAttribute = nl::record::kUsualFirstAttribute;
    for (const size_t cut : {firstAttribute + nl::attribute::kLength + 2, firstAttribute + nl::attribute::kNonResident,
                             firstAttribute + nl::attribute::kNameLength, firstAttribute + 0x67}) {
        const std::vector<uint8_t> part = Cut(whole, cut);
        int visited = 0;
        ntfs::ForEachAttribute(volume::ByteReader(part), 1024, [&](const ntfs::AttributeView&) {
            ++visited;
            return true;
        });
        EXPECT_EQ(visited, 0) << cut;
    }
}

TEST(CutShort, NtfsValuesCutShortAreNotTaken) {
    const std::vector<uint8_t> whole = NtfsRecord();
    const size_t nameAttribute = nl::record::kUsualFirstAttribute, dataAttribute = nameAttribute + 0x68;
    // A $FILE_NAME whose value ends before the name, or before the name's length.
    const size_t value = nl::attribute::kResidentHeaderSize;
    for (const size_t cut : {nl::attribute::kValueOffset + 1, value + nl::file_name::kNameLength,
                             value + nl::file_name::kName + 3}) {
        const std::vector<uint8_t> part = Cut(std::vector<uint8_t>(whole.begin() + nameAttribute, whole.end()), cut);
        ntfs::AttributeView view;
        view.type = ntfs::kAttrFileName;
        view.length = part.size();
        view.bytes = volume::ByteReader(part);
        EXPECT_FALSE(ntfs::ReadFileName(view)) << cut;
        TMyFile file;
        EXPECT_FALSE(ntfs::TakeFileName(file, view)) << cut;
        EXPECT_EQ(file.ParentRecordNo, TMyFile().ParentRecordNo) << cut;
    }
    // A $DATA attribute said to reach past its record is left alone.
    TMyFile file;
    ntfs::ParseData(file, whole, dataAttribute, whole.size(), 4096);
    EXPECT_EQ(file.FileSize, 0);
    EXPECT_TRUE(file.Runs.empty());
    // A run list cut inside a pair keeps the pairs before it.
    std::vector<uint8_t> runs = {0x11, 0x04, 0x10, 0x21, 0x08, 0x00};
    for (size_t cut = 0; cut <= runs.size(); ++cut) {
        const std::vector<uint8_t> part = Cut(runs, cut);
        std::vector<TMyFileRun> decoded;
        ntfs::DecodeRuns(volume::ByteReader(part), 0, 4096, decoded);
        EXPECT_EQ(decoded.size(), cut >= 3 ? 1u : 0u) << cut;
    }
}

TEST(CutShort, NtfsListEntriesAndVolumeNameCutShortAreNotTaken) {
    std::vector<uint8_t> entry(32, 0);
    Put(entry, nl::list_entry::kType, ntfs::kAttrData, 4);
    Put(entry, nl::list_entry::kLength, 32, 2);
    Put(entry, nl::list_entry::kFirstVcn, 16, 8);
    Put(entry, nl::list_entry::kHolder, 40 | (uint64_t{3} << 48), 8);
    ASSERT_EQ(ntfs::ParseAttributeList(entry).size(), 1u);
    for (const size_t cut : {nl::list_entry::kLength + 1, nl::list_entry::kNameOffset, nl::list_entry::kFirstVcn + 3,
                             nl::list_entry::kHolder + 7, nl::list_entry::kMinimumLength, size_t{31}})
        EXPECT_TRUE(ntfs::ParseAttributeList(Cut(entry, cut)).empty()) << cut;

    std::vector<uint8_t> record(1024, 0);
    Put(record, nl::record::kBytesInUse, 1024, 4);
    Put(record, nl::record::kFirstAttribute, nl::record::kUsualFirstAttribute, 2);
    const size_t at = nl::record::kUsualFirstAttribute;
    Put(record, at + nl::attribute::kType, ntfs::kAttrVolumeName, 4);
    Put(record, at + nl::attribute::kLength, 0x28, 4);
    Put(record, at + nl::attribute::kValueLength, 8, 4);
    Put(record, at + nl::attribute::kValueOffset, nl::attribute::kResidentHeaderSize, 2);
    std::memcpy(&record[at + nl::attribute::kResidentHeaderSize], "D\0a\0t\0a\0", 8);
    Put(record, at + 0x28, nl::attribute::kEndMarker, 4);
    EXPECT_EQ(ntfs::ReadVolumeName(record, 1024), "Data");
    for (const size_t cut : {size_t{0}, nl::record::kBytesInUse + 1, at + nl::attribute::kLength, at + 0x20})
        EXPECT_EQ(ntfs::ReadVolumeName(Cut(record, cut), 1024), "") << cut;
}

TEST(CutShort, UpdateSequenceOfARecordCutShortIsRefused) {
    const std::vector<uint8_t> whole = NtfsRecord();
    for (const size_t cut : {size_t{0}, nl::record::kUpdateSequenceCount + 1, nl::record::kUsualUpdateSequence + 3,
                             size_t{511}, size_t{1000}}) {
        std::vector<uint8_t> part = Cut(whole, cut);
        EXPECT_FALSE(volume::ApplyUpdateSequence(part)) << cut;
    }
}

TEST(CutShort, FatBootSectorIsRefusedAtEveryField) {
    const std::vector<uint8_t> whole = FatBootSector();
    ASSERT_TRUE(fat::ParseGeometry(whole));
    ASSERT_TRUE(fat::IsFat32(whole));
    for (const size_t cut : {size_t{0}, fl::boot::kBytesPerSector + 1, fl::boot::kReservedSectors,
                             fl::boot::kTableCount, fl::boot::kTotalSectors + 3, fl::boot::kSectorsPerTable + 1,
                             fl::boot::kRootCluster + 3}) {
        const auto geometry = fat::ParseGeometry(Cut(whole, cut));
        EXPECT_FALSE(geometry) << cut;
        EXPECT_STRNE(geometry.Reason(), "") << cut;
    }
    EXPECT_FALSE(fat::IsFat32(Cut(whole, fl::boot::kFileSystemType + 5)));
    uint16_t sectorBytes = 0;
    EXPECT_EQ(fat::BackupBootSectors(Cut(whole, fl::boot::kBackupBootSector + 1), sectorBytes),
              std::vector<uint64_t>{6});
    EXPECT_EQ(sectorBytes, 512);
}

TEST(CutShort, FatEntriesCutShortDecodeAsNothing) {
    const std::vector<uint8_t> whole = FatShortEntry();
    fat::Geometry geometry = *fat::ParseGeometry(FatBootSector());
    TMyFile file;
    ASSERT_TRUE(fat::FillFromEntry(whole, geometry, file));
    EXPECT_EQ(file.DataPos, geometry.OffsetOf(geometry.IndexOf(9)));
    EXPECT_TRUE(file.HasTimes);
    for (const size_t cut : {size_t{0}, fl::entry::kAttributes, fl::entry::kModifiedDate + 1,
                             fl::entry::kFirstClusterLow + 1, fl::entry::kFileSize + 3}) {
        const std::vector<uint8_t> part = Cut(whole, cut);
        TMyFile cutFile;
        EXPECT_FALSE(fat::FillFromEntry(part, geometry, cutFile)) << cut;
        EXPECT_FALSE(cutFile.HasTimes) << cut;
        EXPECT_EQ(cutFile.DataPos, 0) << cut;  // the first cluster is not all there
        EXPECT_EQ(fat::ShortName(part), "") << cut;
        EXPECT_FALSE(fat::IsPlausibleEntry(part)) << cut;
    }
    // A long name whose piece is cut short ends before it.
    std::vector<uint8_t> piece(fl::entry::kSize, 0);
    piece[fl::long_name::kOrder] = 1 | fl::long_name::kLastPiece;
    piece[fl::long_name::kAttributes] = fl::entry::kAttrLongName;
    piece[fl::long_name::kUnits1] = 'x';
    for (const size_t cut : {size_t{0}, fl::long_name::kChecksum + 1, fl::long_name::kUnits3 + 1}) {
        size_t pos = 0;
        const fat::LongName name = fat::ReadLongName(Cut(piece, cut), pos);
        EXPECT_EQ(name.text, "") << cut;
        EXPECT_EQ(pos, 0u) << cut;
    }
    size_t pos = 0;
    EXPECT_EQ(fat::ReadLongName(piece, pos).text, "x");
    EXPECT_EQ(pos, fl::entry::kSize);
}

TEST(CutShort, FatTableEndsAtItsLastWholeEntry) {
    std::vector<uint8_t> table(3 * fl::table::kEntrySize + 2, 0xFF);
    EXPECT_EQ(fat::TableEntry(table, 2), fl::table::kEntryMask);
    EXPECT_FALSE(fat::TableEntry(table, 3));
    EXPECT_FALSE(fat::TableEntry(table, UINT64_MAX));
}

TEST(CutShort, FatReaderWithABootSectorCutShortHasNoLabel) {
    // A boot sector that ends before its label field: the reader refuses the
    // volume and reads no label from beyond it.
    TDriverInfo drive("X:", 0);
    drive.BootSector = Cut(FatBootSector(), fl::boot::kVolumeLabel);
    TDISK_FAT reader(&drive, volume::ReaderContext{});
    EXPECT_EQ(reader.Outcome(), volume::ReadOutcome::BootSectorUnreadable);
    EXPECT_EQ(reader.VolumeLabel(), "");
}
