#pragma once
// Whether a deleted file's clusters were taken by a deleted file written
// after it. The index holds, for every cluster, the newest record-change
// time among the extents that contain it, so one look-up over a file's
// extent answers what a comparison with every other file's extents would.
#include <cstdint>
#include <utility>
#include <vector>

#include "volume/records.h"

class NewerExtents {
public:
    // Indexes the data extents of `files` (holes and resident data left out).
    NewerExtents(const FileList& files, uint32_t clusterSize);

    // The newest change time among the indexed extents that share a cluster
    // with [first, end); 0 when there is none.
    FileTime NewestWithin(int64_t first, int64_t end) const;

    // The cluster span [first, end) of one extent.
    static std::pair<int64_t, int64_t> SpanOf(const TMyFileRun& run, uint32_t clusterSize);

    // What orders two deleted files that shared clusters: the later one
    // changed its record after the earlier one was freed.
    static FileTime TimeOf(const TMyFile& file) { return file.ChangedTime; }

private:
    std::vector<int64_t> from_;     // first cluster of each stretch, ascending
    std::vector<FileTime> newest_;  // a max tree over the stretches: leaves at [size, 2 size)
    size_t size_ = 0;
};
