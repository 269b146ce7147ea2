// A whole NTFS volume: enumeration, folder tree, grading, reading files back.
#include "fuzz_volume.h"
#include "ntfs/ntfs_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemNtfs)
        return 0;
    FuzzScan scan;
    TNTFS_Disk disk(drive.get(), scan.Context());
    disk.VolumeLabel();
    FileList files;
    FolderList folders;
    disk.Enumerate(files, folders);
    scan.ListAndRead([&](CategoryList* c, std::vector<TMyFile*>* r) { disk.ListResults(files, folders, c, r); },
                     files.size());
    return 0;
}
