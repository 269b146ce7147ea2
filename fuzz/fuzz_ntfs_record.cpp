// One MFT record: update sequence, attribute walk, names, run list.
#include <cstring>
#include <vector>

#include "ntfs/ntfs_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TDriverInfo drive("", 0);
    static TNTFS_Disk disk(&drive, ScanContext{});
    disk.ClusterSize = 4096;
    disk.RecordSize = 1024;
    std::vector<uint8_t> record(1024, 0);
    std::memcpy(record.data(), data, size < 1024 ? size : 1024);
    std::vector<uint8_t> copy = record;
    TMyFile file;
    disk.ParseFileRecord(file, record);
    TMyFolder folder;
    disk.ParseFolderRecord(folder, copy);
    return 0;
}
