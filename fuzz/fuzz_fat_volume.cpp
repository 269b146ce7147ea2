// A whole FAT32 volume: table, directory walk, result assembly, reading files back.
#include "fat/fat_disk.h"
#include "fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemFat32)
        return 0;
    FuzzScan scan;
    TDISK_FAT fat(drive.get(), scan.Context());
    fat.VolumeLabel();
    FileList files;
    FolderList folders;
    fat.Scan(files, folders);
    scan.ListAndRead([&](CategoryList* c, std::vector<TMyFile*>* r) { fat.AssembleResults(files, folders, c, r); },
                     files.size());
    return 0;
}
