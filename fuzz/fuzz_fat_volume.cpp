// A whole FAT volume (12, 16 or 32 bits): table, directory walk, result assembly, reading files back.
#include "fat/fat_disk.h"
#include "fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (!IsFatFileSystem(drive->FileSystem))
        return 0;
    FuzzScan scan;
    volume::ReaderContext context = scan.Context();
    // Odd-sized inputs also have their free clusters searched for lost folders, as the deep scan does.
    context.SearchFreeSpace = size % 2 == 1;
    TDISK_FAT fat(drive.get(), context);
    fat.VolumeLabel();
    FileList files;
    FolderList folders;
    fat.Enumerate(files, folders);
    scan.ListAndRead([&](CategoryList* c, std::vector<TMyFile*>* r) { fat.ListResults(files, folders, c, r); },
                     files.size());
    return 0;
}
