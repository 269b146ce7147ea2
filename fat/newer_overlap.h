#pragma once
// Where a deleted FAT file's clusters were probably taken by a deleted file
// created after it. The table shows both as free, so only the files' assumed
// places can tell.
//
// A deleted file is read from its first cluster onward, so what is at stake is
// the free clusters of that contiguous stretch. A newer file, when it was
// written, could only take clusters that were free then; while its own first
// cluster is still free, the clusters the table marks in use now are taken to
// have been in use then too and are skipped, so it covers the first `clusters`
// free clusters from its first cluster on. (A newer file whose first cluster
// is in use again covers only the free clusters of its contiguous stretch.)
// Counted among free clusters only (each numbered by the free ones before it),
// both are single intervals, and one sweep from the newest file to the oldest
// answers every file with an ordered set of the intervals seen so far.
#include <cstdint>
#include <vector>

#include "fat/free_cluster_map.h"
#include "volume/records.h"

namespace fat {

struct AssumedPlace {
    FileTime created = 0;
    uint64_t first = 0;     // first cluster index
    uint64_t clusters = 0;  // 0: the file takes no part
};

// For each place, the position (in clusters from its first) of the first of
// its free clusters that a strictly newer place covers, or -1 for none.
std::vector<int64_t> FirstTakenByNewer(const std::vector<AssumedPlace>& places, const FreeClusterMap& free);

} // namespace fat
