// A whole exFAT volume: the boot region and its backup, the table and the
// bitmap, the walk of live and deleted folders, grading, reading files back.
#include "exfat/exfat_reader.h"
#include "fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemExfat)
        return 0;
    FuzzScan scan;
    exfat::ExfatReader reader(drive.get(), scan.Context());
    FileList files;
    FolderList folders;
    reader.Enumerate(files, folders);
    reader.VolumeLabel();
    scan.ListAndRead([&](CategoryList* c, std::vector<TMyFile*>* r) { reader.ListResults(files, folders, c, r); },
                     files.size());
    return 0;
}
