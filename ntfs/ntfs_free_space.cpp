// The deep scan of a readable NTFS volume: what its records no longer lead
// to (a volume quick-formatted over old files, files whose records were
// taken again) still lies in the clusters $Bitmap marks free. Those, less
// the clusters of the deleted files the MFT gave, are read first for the
// records of an earlier MFT, then searched by content, less the clusters
// of the files those records gave.
#include <algorithm>

#include "ntfs/ntfs_disk.h"
#include "ntfs/old_records.h"
#include "volume/found_by_content.h"
#include "volume/free_extents.h"

namespace {
// The bar from the end of the MFT's reading: the old records' reading, then the search by content.
constexpr double kOldRecordsFrom = 50, kContentFrom = 60, kContentTo = 100;
} // namespace

void TNTFS_Disk::SearchFreeSpace(FileList& files, FolderList& folders) {
    // The bitmap is loaded beside the reading of a large MFT; else here.
    const bool haveBitmap = prepared_ ? prepared_->haveBitmap : LoadBitmap();
    // Without the bitmap no cluster is known to be free; what could not be
    // read of it is counted as damage already.
    if (!haveBitmap || ClusterSize == 0)
        return;
    const int64_t clusters = std::min(TotalClusters, Drive->VolumeBytes / ClusterSize);
    const volume::ClusterGrid grid{0, 0, ClusterSize};
    std::vector<volume::ByteExtent> extents = volume::UnclaimedFreeSpace(
        grid, static_cast<uint64_t>(std::max<int64_t>(clusters, 0)),
        [this](uint64_t cluster) { return !ClusterInUse(static_cast<int64_t>(cluster)); }, files, folders);
    volume::FoundByContent found(Drive, tree_);
    const size_t before = files.size();
    FindOldRecords(extents, files, found, kOldRecordsFrom, kContentFrom);
    if (IsStopped())
        return;
    // The clusters of a file an old record gave are its own, unless its
    // runs do not hold together: then they are searched like any others.
    std::vector<volume::ByteExtent> claimed;
    for (size_t i = before; i < files.size(); ++i)
        if (ntfs::OldRunsPlausible(*files[i], Drive->VolumeBytes, ClusterSize))
            for (const TMyFileRun& run : files[i]->Runs)
                if (run.OnVolume && !run.IsHole)
                    claimed.push_back({static_cast<uint64_t>(run.RunStart), static_cast<uint64_t>(run.RunLength)});
    if (!claimed.empty())
        extents = volume::WithoutTaken(extents, std::move(claimed), grid);
    found.Search(context_, extents, files, stop_, kContentFrom, kContentTo);
}
