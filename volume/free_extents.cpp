#include "volume/free_extents.h"

#include <algorithm>

namespace volume {

std::vector<ByteExtent> FreeClusterExtents(const ClusterGrid& grid, uint64_t end,
                                           const std::function<bool(uint64_t cluster)>& isFree) {
    std::vector<ByteExtent> extents;
    if (grid.clusterBytes == 0)
        return extents;
    for (uint64_t cluster = grid.first; cluster < end; ++cluster) {
        if (!isFree(cluster))
            continue;
        const uint64_t at = grid.OffsetOf(cluster);
        if (!extents.empty() && extents.back().End() == at)
            extents.back().length += grid.clusterBytes;
        else
            extents.push_back({at, grid.clusterBytes});
    }
    return extents;
}

std::vector<ByteExtent> FoundRuns(const FileList& files, const FolderList& folders) {
    std::vector<ByteExtent> runs;
    const auto add = [&runs](const std::vector<TMyFileRun>& of) {
        for (const TMyFileRun& run : of)
            if (run.OnVolume && !run.IsHole && run.RunStart >= 0 && run.RunLength > 0)
                runs.push_back({static_cast<uint64_t>(run.RunStart), static_cast<uint64_t>(run.RunLength)});
    };
    for (const auto& file : files)
        if (file->FoundBy != kFoundByContent)
            add(file->Runs);
    for (const auto& folder : folders)
        add(folder->Runs);
    return runs;
}

std::vector<ByteExtent> Merged(std::vector<ByteExtent> extents) {
    std::sort(extents.begin(), extents.end(), [](const ByteExtent& a, const ByteExtent& b) { return a.offset < b.offset; });
    std::vector<ByteExtent> merged;
    for (const ByteExtent& e : extents) {
        if (!merged.empty() && e.offset <= merged.back().End())
            merged.back().length = std::max(merged.back().End(), e.End()) - merged.back().offset;
        else
            merged.push_back(e);
    }
    return merged;
}

std::vector<ByteExtent> WithoutTaken(const std::vector<ByteExtent>& free, std::vector<ByteExtent> taken,
                                     const ClusterGrid& grid) {
    if (grid.clusterBytes == 0)
        return free;
    // Widened to whole clusters and merged, in order.
    for (ByteExtent& run : taken) {
        uint64_t from = run.offset, to = run.End();
        if (from >= grid.firstOffset)
            from = grid.firstOffset + (from - grid.firstOffset) / grid.clusterBytes * grid.clusterBytes;
        if (to > grid.firstOffset)
            to = grid.firstOffset + (to - grid.firstOffset + grid.clusterBytes - 1) / grid.clusterBytes * grid.clusterBytes;
        run = {from, to - from};
    }
    const std::vector<ByteExtent> merged = Merged(std::move(taken));

    std::vector<ByteExtent> left;
    size_t t = 0;
    for (const ByteExtent& extent : free) {
        uint64_t at = extent.offset;
        const uint64_t end = extent.End();
        while (t < merged.size() && merged[t].End() <= at)
            ++t;
        for (size_t k = t; k < merged.size() && merged[k].offset < end && at < end; ++k) {
            if (merged[k].offset > at)
                left.push_back({at, merged[k].offset - at});
            at = std::max(at, merged[k].End());
        }
        if (at < end)
            left.push_back({at, end - at});
    }
    return left;
}

std::vector<ByteExtent> UnclaimedFreeSpace(const ClusterGrid& grid, uint64_t end,
                                           const std::function<bool(uint64_t cluster)>& isFree, const FileList& files,
                                           const FolderList& folders) {
    return WithoutTaken(FreeClusterExtents(grid, end, isFree), FoundRuns(files, folders), grid);
}

} // namespace volume
