// A whole FAT32 volume: table, directory walk, result assembly, reading files back.
#include "fat/fat_disk.h"
#include "fuzz_volume.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemFat32)
        return 0;
    TUnDeleteProgress progress;
    TScanFileType types;
    types.FPicturesOn = types.FAudioOn = types.FVideosOn = types.FDocumentsOn = types.FArchivesOn = types.FOthersOn = true;
    types.UpdateAllOn();
    TScanPath paths;
    paths.AddDriver("fuzz");
    paths.AddWholeDriver("fuzz");
    TDISK_FAT fat(drive.get(), ScanContext{&progress, &types, &paths});
    fat.VolumeLabel();
    FileList files;
    FolderList folders;
    fat.Scan(files, folders);
    progress.FFoundCount = static_cast<uint32_t>(files.size());
    CategoryList categories = MakeCategories();
    std::vector<TMyFile*> results;
    fat.AssembleResults(files, folders, &categories, &results);
    for (TMyFile* f : results)
        ReadBack(*f);
    return 0;
}
