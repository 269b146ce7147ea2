// The deep scan of a readable FAT volume: files whose entries are gone (a
// card formatted again, a folder's entries written over) still lie in the
// clusters the table marks free. Those, less the clusters of every file and
// folder the walk found, are searched by content.
#include "fat/fat_disk.h"
#include "volume/free_extents.h"

void TDISK_FAT::SearchFreeSpace(FileList& files, FolderList& folders, volume::FoundByContent& found) {
    if (BytesPerCluster == 0 || DataEndIndex <= DataStartCluster)
        return;
    const volume::ClusterGrid grid{DataStartCluster, static_cast<uint64_t>(OffsetOf(DataStartCluster)), BytesPerCluster};
    const std::vector<volume::ByteExtent> extents = volume::UnclaimedFreeSpace(
        grid, DataEndIndex, [this](uint64_t index) { return FatEntry(index) == 0 && !folderClusters_.count(index); },
        files, folders);
    found.Search(context_, extents, files, stop_, 75, 100);
}
