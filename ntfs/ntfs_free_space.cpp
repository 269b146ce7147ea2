// The deep scan of a readable NTFS volume: what its records no longer lead
// to (a volume quick-formatted over old files, files whose records were
// taken again) still lies in the clusters $Bitmap marks free. Those, less
// the clusters of the deleted files the MFT gave, are searched by content.
#include <algorithm>

#include "ntfs/ntfs_disk.h"
#include "volume/found_by_content.h"
#include "volume/free_extents.h"

void TNTFS_Disk::SearchFreeSpace(FileList& files, FolderList& folders) {
    // The bitmap is loaded beside the reading of a large MFT; else here.
    const bool haveBitmap = prepared_ ? prepared_->haveBitmap : LoadBitmap();
    // Without the bitmap no cluster is known to be free; what could not be
    // read of it is counted as damage already.
    if (!haveBitmap || ClusterSize == 0)
        return;
    const int64_t clusters = std::min(TotalClusters, Drive->VolumeBytes / ClusterSize);
    const volume::ClusterGrid grid{0, 0, ClusterSize};
    const std::vector<volume::ByteExtent> extents = volume::UnclaimedFreeSpace(
        grid, static_cast<uint64_t>(std::max<int64_t>(clusters, 0)),
        [this](uint64_t cluster) { return !ClusterInUse(static_cast<int64_t>(cluster)); }, files, folders);
    volume::FoundByContent found(Drive, tree_);
    found.Search(context_, extents, files, stop_, 50, 100);
}
