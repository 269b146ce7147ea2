// Times the phases of one scan: examining the volume, reading the metadata,
// listing, and the parsing of MFT records alone.
#include <chrono>
#include <cstdio>
#include <vector>

#include "ntfs/ntfs_disk.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/disk.h"
#include "volume/raw_reader.h"

namespace {
double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: scan_phases IMAGE\n");
        return 2;
    }
    TUnDeleteProgress progress;
    TScanFileType types;
    types.SelectAll();
    TScanPath paths;
    paths.AddDriver(argv[1]);
    paths.AddWholeDriver(argv[1]);
    ScanContext context{&progress, &types, &paths};
    DiskList disks;
    auto t = std::chrono::steady_clock::now();
    TMyDisk* disk = DiskFor(disks, argv[1], context);
    if (!disk) {
        std::fprintf(stderr, "scan_phases: %s is no NTFS, FAT or exFAT volume\n", argv[1]);
        return 3;
    }
    std::printf("examine   %8.4f s\n", Since(t));
    t = std::chrono::steady_clock::now();
    disk->Enumerate();
    const double read = Since(t);
    std::printf("read      %8.4f s  %zu candidates, %u records\n", read, disk->Files.size(),
                static_cast<unsigned>(progress.FRecordsRead));
    progress.FFoundCount = static_cast<uint32_t>(disk->Files.size());
    CategoryList categories = MakeCategories();
    std::vector<TMyFile*> results;
    t = std::chrono::steady_clock::now();
    disk->ListResults(&results, &categories);
    std::printf("list      %8.4f s  %zu accepted\n", Since(t), results.size());

    if (TNTFS_Disk* ntfs = dynamic_cast<TNTFS_Disk*>(disk->Reader.get()); ntfs && ntfs->MftFile) {
        // Parsing alone: every record of the MFT's first 10 MiB, from memory, many times over.
        const uint32_t bytes = static_cast<uint32_t>(std::min<int64_t>(ntfs->MftSize, 10 << 20));
        auto mft = volume::ReadBytes(disk->Drive->Source.get(), static_cast<uint64_t>(ntfs->MftFile->Runs[0].RunStart), bytes);
        if (mft) {
            size_t parsed = 0;
            t = std::chrono::steady_clock::now();
            for (int round = 0; round < 20; ++round) {
                std::vector<uint8_t> copy = *mft;
                for (size_t off = 0; off + ntfs->RecordSize <= copy.size(); off += ntfs->RecordSize, ++parsed) {
                    TMyFile file;
                    ntfs->ParseFileRecord(file, std::span<uint8_t>(copy).subspan(off, ntfs->RecordSize));
                }
            }
            const double seconds = Since(t);
            std::printf("parsing   %8.0f records/s\n", static_cast<double>(parsed) / seconds);
        }
    }
    t = std::chrono::steady_clock::now();
    disks.clear();
    std::printf("free      %8.4f s\n", Since(t));
    return 0;
}
