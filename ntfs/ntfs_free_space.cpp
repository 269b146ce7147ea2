// The deep scan of a readable NTFS volume: what its records no longer lead
// to (a volume quick-formatted over old files, files whose records were
// taken again) still lies in the clusters $Bitmap marks free. Those, less
// the clusters of the deleted files the MFT gave, are read once: searched by
// content and, in the same bytes, for the records of an earlier MFT. A file
// such a record gives keeps its clusters: what the search found starting
// there is the same file found again, and is dropped.
#include <algorithm>

#include "ntfs/ntfs_disk.h"
#include "ntfs/old_records.h"
#include "volume/found_by_content.h"
#include "volume/free_extents.h"

namespace {
// The bar from the end of the MFT's reading.
constexpr double kSearchFrom = 50, kSearchTo = 100;

// `merged`: as volume::Merged gives them, so that one lookup answers.
bool Within(const std::vector<volume::ByteExtent>& merged, uint64_t offset) {
    auto after = std::upper_bound(merged.begin(), merged.end(), offset,
                                  [](uint64_t at, const volume::ByteExtent& e) { return at < e.offset; });
    return after != merged.begin() && offset < std::prev(after)->End();
}
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
    const std::vector<volume::ByteExtent> extents = volume::UnclaimedFreeSpace(
        grid, static_cast<uint64_t>(std::max<int64_t>(clusters, 0)),
        [this](uint64_t cluster) { return !ClusterInUse(static_cast<int64_t>(cluster)); }, files, folders);
    volume::FoundByContent found(Drive, tree_);
    OldRecords oldRecords(*this, files);
    const size_t firstFind = files.size();
    found.Search(context_, extents, files, stop_, kSearchFrom, kSearchTo,
                 [&oldRecords](uint64_t offset, std::span<const uint8_t> bytes) { oldRecords.Look(offset, bytes); });
    FileList old = oldRecords.Finish(found);

    // The clusters of a file an old record gave are its own, unless its
    // runs do not hold together: then what the search found there stays.
    std::vector<volume::ByteExtent> claimed;
    for (const auto& file : old)
        if (ntfs::OldRunsPlausible(*file, Drive->VolumeBytes, ClusterSize))
            for (const TMyFileRun& run : file->Runs)
                if (run.OnVolume && !run.IsHole)
                    claimed.push_back({static_cast<uint64_t>(run.RunStart), static_cast<uint64_t>(run.RunLength)});
    claimed = volume::Merged(std::move(claimed));
    if (!claimed.empty())
        files.erase(std::remove_if(files.begin() + static_cast<std::ptrdiff_t>(firstFind), files.end(),
                                   [&claimed](const std::unique_ptr<TMyFile>& find) {
                                       return Within(claimed, static_cast<uint64_t>(find->DataPos));
                                   }),
                    files.end());
    for (auto& file : old)
        files.push_back(std::move(file));
    for (size_t i = firstFind; i < files.size(); ++i)
        files[i]->ListIndex = static_cast<int32_t>(i);
}
