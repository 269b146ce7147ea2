#pragma once
// Whether a deleted file's clusters were taken by a file created after it.
// For every cluster the index holds the newest creation time among the
// extents that contain that cluster strictly inside them, so one look-up
// answers what a comparison with every other file's extents would.
#include <cstdint>
#include <vector>

#include "volume/records.h"

class NewerExtents {
public:
    // Indexes the data extents of `files` (holes and resident data left out).
    NewerExtents(const FileList& files, uint32_t clusterSize);

    // The newest creation time among extents [start, end) with
    // start < cluster < end; 0 when there is none.
    FileTime NewestAround(int64_t cluster) const;

    // The cluster span [first, end) of one extent.
    static std::pair<int64_t, int64_t> SpanOf(const TMyFileRun& run, uint32_t clusterSize);

private:
    struct Step {
        int64_t from;     // first cluster of the stretch
        FileTime newest;  // holds until the next step's cluster
    };
    std::vector<Step> steps_;  // sorted by `from`
};
