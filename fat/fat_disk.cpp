#include "fat/fat_disk.h"

#include <algorithm>
#include <unordered_set>

#include "scan/progress.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/text.h"

using volume::ByteReader;

TDISK_FAT::TDISK_FAT(TDriverInfo* drive, const ScanContext& context) : Drive(drive), context_(context) {
    if (!Drive || Drive->BootSector.size() < 512)
        return;
    ByteReader boot(Drive->BootSector.data(), Drive->BootSector.size());
    BytesPerSector = *boot.u16(11);
    SectorsPerCluster = *boot.u8(13);
    ReservedSectors = *boot.u16(14);
    FatCount = *boot.u8(16);
    TotalSectors = *boot.u32(32);
    SectorsPerFat = *boot.u32(36);
    RootCluster = *boot.u32(44);
    Drive->SectorSize = BytesPerSector;

    const bool sectorOk = BytesPerSector >= 512 && BytesPerSector <= 4096 && !(BytesPerSector & (BytesPerSector - 1));
    const bool clusterOk = SectorsPerCluster && !(SectorsPerCluster & (SectorsPerCluster - 1));
    if (!sectorOk || !clusterOk || TotalSectors == 0)
        return;
    BytesPerCluster = uint32_t{BytesPerSector} * SectorsPerCluster;
    ClusterCount = TotalSectors / SectorsPerCluster;
    const uint64_t dataStart = SectorsPerFat * FatCount + ReservedSectors;
    DataStartCluster = dataStart / SectorsPerCluster;
    DataStartRemainder = static_cast<uint32_t>(dataStart % SectorsPerCluster);
    rootOffset_ = OffsetOf(IndexOf(RootCluster));

    uint64_t volumeBytes = TotalSectors * BytesPerSector;
    const uint64_t deviceBytes = Drive->VolumeHandle ? Drive->VolumeHandle->Size() : 0;
    if (deviceBytes && volumeBytes > deviceBytes)
        volumeBytes = deviceBytes;
    // Only whole clusters of the data region hold data; the sectors after the
    // last one belong to no file, so nothing past it is read either.
    const uint64_t dataStartBytes = dataStart * BytesPerSector;
    DataEndIndex = DataStartCluster;
    if (volumeBytes > dataStartBytes) {
        DataEndIndex += (volumeBytes - dataStartBytes) / BytesPerCluster;
        volumeBytes = dataStartBytes + DataClusterCount() * BytesPerCluster;
    }
    Drive->VolumeBytes = static_cast<int64_t>(volumeBytes);
    geometryValid_ = true;
}

TDISK_FAT::~TDISK_FAT() = default;

bool TDISK_FAT::IsStopped() const {
    if (!context_.Progress)
        return Stopped.load(std::memory_order_relaxed);
    const TUnDeleteProgress& p = *context_.Progress;
    p.WaitWhilePaused();
    return p.FScanCancelled || p.FLowMemory || p.FRecordsRead >= p.FMaxFiles;
}

void TDISK_FAT::SetDiskPercent(double percent) {
    Percent = percent;
    if (context_.Progress)
        context_.Progress->FDiskPercent = percent;
}

bool TDISK_FAT::LoadFat() {
    Fat.clear();
    FatSize = 0;
    if (!geometryValid_ || SectorsPerFat == 0)
        return false;
    const std::string type = volume::TrimControls(std::string(reinterpret_cast<const char*>(Drive->BootSector.data()) + 82, 8));
    if (type != "FAT32")
        return false;
    const uint64_t size = uint64_t{BytesPerSector} * SectorsPerFat;
    const uint64_t offset = uint64_t{BytesPerSector} * ReservedSectors;
    // A table larger than the volume, or than clusters can need, is damage.
    const uint64_t needed = (ClusterCount + 2) * 4;
    const uint64_t readable = std::min<uint64_t>(size, needed + BytesPerSector);
    if (static_cast<int64_t>(offset) >= Drive->VolumeBytes || readable > (1ull << 31))
        return false;
    FatSize = std::min<uint64_t>(readable, static_cast<uint64_t>(Drive->VolumeBytes) - offset);
    Fat.assign(static_cast<size_t>(FatSize), 0);
    uint32_t count = static_cast<uint32_t>(FatSize);
    return volume::ReadBlock(Drive->VolumeHandle.get(), Fat.data(), count, false, nullptr, offset);
}

uint64_t TDISK_FAT::FatEntry(uint64_t index) const {
    // Clusters outside the data region count as in use: the table's padding
    // slots past the last cluster read as free but hold nothing.
    if (!InDataArea(index) || Fat.empty())
        return kNoEntry;
    const uint64_t slot = index - DataStartCluster + 2;
    if (slot * 4 + 4 > FatSize)
        return kNoEntry;
    // The top four bits are reserved and carry no part of the cluster number.
    return *ByteReader(Fat.data(), Fat.size()).u32(static_cast<size_t>(slot * 4)) & 0x0FFFFFFF;
}

bool TDISK_FAT::BuildRuns(TMyFolder& folder, uint32_t bytesPerCluster, uint64_t startIndex, bool rootForm) {
    if (!InDataArea(startIndex))
        return false;
    folder.Drive = Drive;
    folder.RecordNo = folder.ParentRecordNo = -1;
    folder.IsDeleted = false;
    folder.FileCount = 0;
    folder.InTree = false;
    folder.FolderName = Drive->DriveName;
    folder.RecordPos = OffsetOf(startIndex);
    folder.Runs.clear();
    folder.Runs.push_back(TMyFileRun{OffsetOf(startIndex), bytesPerCluster, 0, true});

    // A looping chain ends at the first cluster it meets again, and never
    // takes more steps than the data region has clusters.
    std::unordered_set<uint64_t> visited{startIndex};
    uint64_t cur = startIndex;
    for (uint64_t steps = 0; steps < DataClusterCount(); ++steps) {
        if (rootForm && IsStopped())
            return false;
        const uint64_t v = FatEntry(cur);
        if (v >= 0x0FFFFFF8 || v < 2 || v > 0x0FFFFFEF)
            return true;
        const uint64_t next = IndexOf(v);
        if (!InDataArea(next) || !visited.insert(next).second)
            return true;
        if (next == cur + 1)
            folder.Runs.back().RunLength += bytesPerCluster;
        else
            folder.Runs.push_back(TMyFileRun{OffsetOf(next), bytesPerCluster, 0, true});
        cur = next;
    }
    return true;
}

void TDISK_FAT::Scan(FileList& files, FolderList& folders) {
    SetDiskPercent(0);
    QueuedFolders = FoldersFound = AcceptedFiles = 0;
    Stopped = false;
    FolderQueue.clear();  // folders of an earlier, stopped walk belong to freed lists
    // Hints name folders of this volume as it is now; those of an earlier
    // scan only make the search guess from stale entries.
    ClusterHints.clear();
    ResetWalkState();
    if (LoadFat())
        Walk(files, folders);
    SetDiskPercent(100.0);
}

std::string TDISK_FAT::VolumeLabel() {
    // The label entry of the root directory, else the boot sector's copy.
    if (geometryValid_) {
        if (auto root = volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(OffsetOf(IndexOf(RootCluster))),
                                          BytesPerCluster)) {
            for (size_t pos = 0; pos + 32 <= root->size(); pos += 32) {
                const uint8_t first = (*root)[pos], attr = (*root)[pos + 11];
                if (first == 0)
                    break;
                if (first != 0xE5 && attr != 0x0F && (attr & 0x08))
                    return volume::TrimBlanks(
                        volume::Windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(root->data()) + pos, 11)));
            }
        }
    }
    std::string boot = volume::TrimBlanks(
        volume::Windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(Drive->BootSector.data()) + 71, 11)));
    return boot == "NO NAME" ? std::string() : boot;
}
