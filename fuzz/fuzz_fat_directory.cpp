// One FAT directory cluster: entries, long names, deleted files and folders.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "fat/fat_geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TDriverInfo* drive = [] {
        auto* d = new TDriverInfo("", 0);
        d->BootSector.assign(512, 0);
        d->BootSector[11] = 0x00, d->BootSector[12] = 0x02;  // 512-byte sectors
        d->BootSector[13] = 1;
        d->BootSector[14] = 32;
        d->BootSector[16] = 2;
        d->BootSector[32] = 0x70, d->BootSector[33] = 0x11, d->BootSector[34] = 0x01;  // 70000 sectors
        d->BootSector[36] = 0x00, d->BootSector[37] = 0x02;                            // 512 per FAT
        d->BootSector[44] = 2;
        std::memcpy(&d->BootSector[82], "FAT32   ", 8);
        return d;
    }();
    TDISK_FAT fat(drive, volume::ReaderContext{});
    fat.Fat.assign(512 * 512, 0);
    fat.FatSize = fat.Fat.size();
    std::vector<uint8_t> cluster(data, data + size);
    TMyFolder parsed;
    FileList files;
    FolderList folders;
    fat.ParseEntries(parsed, cluster, files, folders);
    // The single-entry decoders on every slot, and on the cut-short tail.
    static const fat::Geometry geometry = *fat::ParseGeometry(drive->BootSector);
    const std::span<const uint8_t> bytes(data, size);
    for (size_t pos = 0; pos < size; pos += fat::kEntrySize) {
        const std::span<const uint8_t> entry = bytes.subspan(pos, std::min(fat::kEntrySize, size - pos));
        TMyFile file;
        fat::FillFromEntry(entry, geometry, file);
        fat::ShortName(entry);
        fat::IsDotEntry(entry);
        fat::IsPlausibleEntry(entry);
        size_t at = pos;
        fat::ReadLongName(bytes, at);
    }
    return 0;
}
