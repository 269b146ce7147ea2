// One MFT record: update sequence, attribute walk, names, run list; and
// the checks a record found in free clusters (an earlier MFT's) must pass.
#include <cstring>
#include <vector>

#include "ntfs/old_records.h"
#include "ntfs/record_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ntfs::RecordShape shape{1024, 4096};
    std::vector<uint8_t> record(1024, 0);
    std::memcpy(record.data(), data, size < 1024 ? size : 1024);
    std::vector<uint8_t> copy = record;
    std::vector<uint8_t> header = record;
    const bool whole = ntfs::LooksLikeRecord(record, shape.RecordSize);
    TMyFile file;
    ntfs::ParseFileRecord(file, record, shape);
    if (whole)
        ntfs::OldRunsPlausible(file, int64_t{64} << 20, shape.ClusterSize);
    TMyFolder folder;
    ntfs::ParseFolderRecord(folder, copy, shape);
    ntfs::ReadRecordHeader(header, shape.RecordSize, 0);
    ntfs::ReadVolumeName(header, shape.RecordSize);
    ntfs::ParseAttributeList(std::span<const uint8_t>(data, size));
    return 0;
}
