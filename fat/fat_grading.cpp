// Grading deleted files of a FAT32 volume: how much of a file's data the
// table, and the newer deleted files placed over it, have left untouched.
#include <algorithm>

#include "fat/fat_disk.h"
#include "fat/newer_overlap.h"

fat::FreeClusterMap TDISK_FAT::FreeClusters() const {
    return fat::FreeClusterMap(DataStartCluster, DataEndIndex, [this](uint64_t i) { return FatEntry(i) == 0; });
}

uint8_t TDISK_FAT::Grade(const TMyFile& file, const fat::FreeClusterMap& free, int64_t takenByNewer) const {
    // A file without a data position has nothing to recover.
    if (BytesPerCluster == 0 || file.Runs.empty() || file.DataPos < OffsetOf(DataStartCluster))
        return kStatePoor;
    const uint64_t first = static_cast<uint64_t>(file.DataPos - OffsetOf(0)) / BytesPerCluster;
    const uint64_t clusters = (static_cast<uint64_t>(file.FileSize) + BytesPerCluster - 1) / BytesPerCluster;
    // Data said to reach past the last cluster cannot all be read back.
    if (!InDataArea(first) || clusters > DataEndIndex - first)
        return kStatePoor;
    // The first cluster taken again, by a live file (the table) or by a newer deleted one.
    uint64_t taken = free.FirstInUse(first, first + clusters) - first;
    if (takenByNewer >= 0)
        taken = std::min(taken, static_cast<uint64_t>(takenByNewer));
    if (taken >= clusters)
        return kStateExcellent;
    return taken * 100 / clusters < 40 ? kStatePoor : kStateGood;
}

std::vector<int64_t> TDISK_FAT::TakenByNewerFiles(const FileList& files, const fat::FreeClusterMap& free) const {
    std::vector<fat::AssumedPlace> places(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const TMyFile& file = *files[i];
        const size_t at = static_cast<size_t>(file.ListIndex);
        // Live files in deleted folders hold their clusters in the table already.
        const bool deleted = file.ListIndex >= 0 && at < fileEntryDeleted_.size() && fileEntryDeleted_[at];
        if (!deleted || file.Runs.empty() || file.FileSize <= 0 || BytesPerCluster == 0 ||
            file.DataPos < OffsetOf(DataStartCluster))
            continue;
        const uint64_t first = static_cast<uint64_t>(file.DataPos - OffsetOf(0)) / BytesPerCluster;
        const uint64_t clusters = (static_cast<uint64_t>(file.FileSize) + BytesPerCluster - 1) / BytesPerCluster;
        if (!InDataArea(first) || clusters > DataEndIndex - first)
            continue;  // graded Poor whatever else holds its clusters
        places[i] = fat::AssumedPlace{file.CreatedTime, first, clusters};
    }
    return fat::FirstTakenByNewer(places, free);
}
