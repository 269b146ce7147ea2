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
            // A search that finds nothing but shows what it read, as the
            // real one does to the reading for old records.
            context.SearchByContent = [](const media::ByteSource& source, std::span<const volume::ByteExtent> extents,
                                         const std::function<bool(const volume::ContentFind&)>&,
                                         const std::function<void(uint64_t)>&, const volume::BytesSeen& seen,
                                         const std::atomic<bool>*) {
                std::vector<uint8_t> bytes;
                for (const volume::ByteExtent& extent : extents) {
                    bytes.resize(static_cast<size_t>(std::min<uint64_t>(extent.length, 1u << 20)));
                    const media::ReadResult read =
                        source.Read(bytes.data(), static_cast<uint32_t>(bytes.size()), extent.offset, nullptr, 0);
                    if (seen && read.Done > 0)
                        seen(extent.offset, std::span<const uint8_t>(bytes.data(), read.Done));
                }
                return volume::ContentSearchTotals{};
            };
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
