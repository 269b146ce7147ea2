// A whole exFAT volume: the boot region and its backup, the table and the
// bitmap, the walk of live and deleted folders, grading, reading files back.
#include "exfat/exfat_reader.h"
#include "fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemExfat)
        return 0;
    FuzzScan scan;
    volume::ReaderContext context = scan.Context();
    // Odd-sized inputs also have their free clusters searched for lost folders, as the deep scan does.
    context.SearchFreeSpace = size % 2 == 1;
    exfat::ExfatReader reader(drive.get(), context);
    FileList files;
    FolderList folders;
    reader.Enumerate(files, folders);
    reader.VolumeLabel();
    scan.ListAndRead([&](CategoryList* c, std::vector<TMyFile*>* r) { reader.ListResults(files, folders, c, r); },
                     files.size());
    return 0;
}
