#pragma once
// Where the deep scan searches a readable volume by content: the clusters
// its allocation marks free, less the clusters of every file and folder its
// reader found there already, so that no file is listed twice.
#include <cstdint>
#include <functional>
#include <vector>

#include "volume/content_find.h"
#include "volume/records.h"

namespace volume {

// The clusters' grid: cluster `first` starts at byte `firstOffset`, each
// `clusterBytes` long, one after another.
struct ClusterGrid {
    uint64_t first = 0;
    uint64_t firstOffset = 0;
    uint64_t clusterBytes = 0;
    uint64_t OffsetOf(uint64_t cluster) const { return firstOffset + (cluster - first) * clusterBytes; }
};

// The free clusters of [grid.first, end) as byte extents, those that touch merged.
std::vector<ByteExtent> FreeClusterExtents(const ClusterGrid& grid, uint64_t end,
                                           const std::function<bool(uint64_t cluster)>& isFree);

// The byte runs on the volume of every file and folder found (resident data and holes left out).
std::vector<ByteExtent> FoundRuns(const FileList& files, const FolderList& folders);

// `extents` in order, those that overlap or touch made one.
std::vector<ByteExtent> Merged(std::vector<ByteExtent> extents);

// `free` less `taken`, each taken run widened to the whole clusters of the grid it touches.
std::vector<ByteExtent> WithoutTaken(const std::vector<ByteExtent>& free, std::vector<ByteExtent> taken,
                                     const ClusterGrid& grid);

// What a deep scan searches by content: the free clusters of [grid.first,
// end), less those of every file and folder found.
std::vector<ByteExtent> UnclaimedFreeSpace(const ClusterGrid& grid, uint64_t end,
                                           const std::function<bool(uint64_t cluster)>& isFree, const FileList& files,
                                           const FolderList& folders);

} // namespace volume
