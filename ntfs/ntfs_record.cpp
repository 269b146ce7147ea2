// The reader's entry points to the record decoding of record_parse.h, with
// this volume's record and cluster sizes and its stop test.
#include "ntfs/ntfs_disk.h"
#include "ntfs/record_parse.h"

bool TNTFS_Disk::ParseFileRecord(TMyFile& file, std::span<uint8_t> record) {
    return static_cast<bool>(ntfs::ParseFileRecord(file, record, {RecordSize, ClusterSize}, stopTest_));
}

bool TNTFS_Disk::ParseFolderRecord(TMyFolder& folder, std::span<uint8_t> record) {
    return static_cast<bool>(ntfs::ParseFolderRecord(folder, record, {RecordSize, ClusterSize}, stopTest_));
}

bool TNTFS_Disk::ParseAttributes(TMyFile& file, std::span<uint8_t> record) {
    return static_cast<bool>(ntfs::ParseAttributes(file, record, {RecordSize, ClusterSize}, stopTest_));
}

bool TNTFS_Disk::TakeFileName(TMyFile& file, const ntfs::AttributeView& attribute) {
    return static_cast<bool>(ntfs::TakeFileName(file, attribute));
}

void TNTFS_Disk::NameByRecordNumber(TMyFile& file) { ntfs::NameByRecordNumber(file); }

void TNTFS_Disk::ParseData(TMyFile& file, std::span<const uint8_t> record, size_t offset, size_t length) {
    ntfs::ParseData(file, record, offset, length, ClusterSize);
}
