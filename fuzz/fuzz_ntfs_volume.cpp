// A whole NTFS volume: enumeration, folder tree, grading, reading files back;
// then the deep scan's reading of its free clusters for records of an
// earlier MFT (the search by content itself has a target of its own).
#include "fuzz_volume.h"
#include "ntfs/ntfs_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemNtfs)
        return 0;
    for (const bool deep : {false, true}) {
        FuzzScan scan;
        volume::ReaderContext context = scan.Context();
        if (deep) {
            context.SearchFreeSpace = true;
            context.SearchByContent = [](const media::ByteSource&, std::span<const volume::ByteExtent>,
                                         const std::function<bool(const volume::ContentFind&)>&,
                                         const std::function<void(uint64_t)>&,
                                         const std::atomic<bool>*) { return volume::ContentSearchTotals{}; };
        }
        TNTFS_Disk disk(drive.get(), context);
        disk.VolumeLabel();
        FileList files;
        FolderList folders;
        disk.Enumerate(files, folders);
        scan.ListAndRead([&](CategoryList* c, std::vector<TMyFile*>* r) { disk.ListResults(files, folders, c, r); },
                         files.size());
    }
    return 0;
}
