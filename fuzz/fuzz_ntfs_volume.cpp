// A whole NTFS volume: enumeration, folder tree, grading, reading files back.
#include "fuzz_volume.h"
#include "ntfs/ntfs_disk.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemNtfs)
        return 0;
    TUnDeleteProgress progress;
    TScanFileType types;
    types.FPicturesOn = types.FAudioOn = types.FVideosOn = types.FDocumentsOn = types.FArchivesOn = types.FOthersOn = true;
    types.UpdateAllOn();
    TScanPath paths;
    paths.AddDriver("fuzz");
    paths.AddWholeDriver("fuzz");
    TNTFS_Disk disk(drive.get(), ScanContext{&progress, &types, &paths});
    disk.VolumeLabel();
    FileList files;
    FolderList folders;
    disk.Enumerate(files, folders);
    progress.FFoundCount = static_cast<uint32_t>(files.size());
    CategoryList categories = MakeCategories();
    std::vector<TMyFile*> results;
    disk.ListResults(files, folders, &categories, &results);
    for (TMyFile* f : results)
        ReadBack(*f);
    return 0;
}
