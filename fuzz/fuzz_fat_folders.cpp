// Nested FAT folders: a small FAT32 volume whose allocation table and data
// clusters come from the input, so that chains, cross-linked and looping
// folders, deleted folders read on past their first cluster and runs past the
// data region are all reachable. Layout of the input: the one table sector
// (128 slots, of which 2..65 name data clusters and the rest are padding),
// then the data clusters 2, 3, ... of 512 bytes each.
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "fat/fat_disk.h"
#include "fuzz_volume.h"

namespace {

constexpr size_t kSector = 512;
constexpr size_t kDataClusters = 64;
constexpr size_t kTotalSectors = 1 + 1 + kDataClusters;  // boot, table, data

std::vector<uint8_t> BuildVolume(const uint8_t* data, size_t size) {
    std::vector<uint8_t> volume(kTotalSectors * kSector, 0);
    auto put = [&](size_t at, uint32_t v, size_t width) {
        for (size_t i = 0; i < width; ++i)
            volume[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(11, kSector, 2);
    put(13, 1, 1);  // sectors per cluster
    put(14, 1, 2);  // reserved sectors: the boot sector
    put(16, 1, 1);  // one table
    put(32, kTotalSectors, 4);
    put(36, 1, 4);  // sectors per table
    put(44, 2, 4);  // root cluster
    std::memcpy(&volume[82], "FAT32   ", 8);
    volume[510] = 0x55, volume[511] = 0xAA;
    std::copy_n(data, std::min(size, volume.size() - kSector), volume.begin() + kSector);
    return volume;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> volume = BuildVolume(data, size);
    auto drive = MemoryDrive(volume.data(), volume.size());
    if (drive->FileSystem != kFileSystemFat32)
        __builtin_trap();
    // The type selection takes longer to build than a scan of this volume.
    static FuzzScan* const selection = new FuzzScan;
    TUnDeleteProgress progress;
    CategoryList categories = MakeCategories();
    std::vector<TMyFile*> results;
    ProgressRecordSink sink(progress);
    volume::ReaderContext context{&sink, &selection->filter};
    // Odd-sized inputs also have their free clusters searched for lost folders, as the deep scan does.
    context.SearchFreeSpace = size % 2 == 1;
    TDISK_FAT fat(drive.get(), context);
    FileList files;
    FolderList folders;
    fat.Enumerate(files, folders);
    progress.FFoundCount = static_cast<uint32_t>(files.size());
    fat.ListResults(files, folders, &categories, &results);

    // Every folder holds a cluster of its own: never more folders than clusters
    // (besides the placeholder and "Found by content"), and no first cluster walked twice.
    if (folders.size() > kDataClusters + 2)
        __builtin_trap();
    std::set<int64_t> starts;
    for (size_t i = 0; i + 1 < folders.size(); ++i)  // the last is the placeholder
        if (!starts.insert(folders[i]->RecordPos).second)
            __builtin_trap();
    // The grade's promise: an Excellent file reads back in full; a file without
    // a data position is Poor.
    for (TMyFile* f : results) {
        const auto status = volume::ReadFileData(*f, [](std::span<const uint8_t>, bool) { return true; });
        if (f->State == kStateExcellent && status != volume::ReadStatus::Ok)
            __builtin_trap();
        if (f->Runs.empty() && f->State != kStatePoor)
            __builtin_trap();
    }
    return 0;
}
