// The deep scan of a readable exFAT volume: files whose entry sets are gone
// (a card formatted again, a folder's entries written over) still lie in
// the clusters the allocation bitmap marks free. Those, less the clusters
// of every file and folder the walk found, are searched by content.
#include "exfat/exfat_layout.h"
#include "exfat/exfat_reader.h"
#include "volume/free_extents.h"

namespace exfat {

void ExfatReader::SearchFreeSpace(FileList& files, FolderList& folders, volume::FoundByContent& found) {
    if (bitmap_.empty())
        return;  // without the bitmap no cluster is known to be free
    const uint64_t first = layout::table::kFirstData;
    const volume::ClusterGrid grid{first, geometry_.OffsetOf(static_cast<uint32_t>(first)), geometry_.BytesPerCluster()};
    const std::vector<volume::ByteExtent> extents = volume::UnclaimedFreeSpace(
        grid, first + geometry_.clusterCount,
        [this](uint64_t c) {
            return !InUse(static_cast<uint32_t>(c)) && !folderClusters_.contains(static_cast<uint32_t>(c));
        },
        files, folders);
    found.Search(context_, extents, files, stop_, context_.SearchFreeSpace ? 75 : 50, 100);
}

} // namespace exfat
