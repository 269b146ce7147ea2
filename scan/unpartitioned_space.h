#pragma once
// The stretches of a disk that no partition holds, past the table's own
// sectors. Files of a partition that was deleted, shrunk or laid out anew
// still lie there; a deep scan searches them by content.
#include <cstdint>
#include <vector>

#include "media/partition_table.h"

namespace scan {

// Gaps up to this size are where partitioning tools align volumes and keep
// the extended partition's links: nothing of the user's lies there.
constexpr uint64_t kAlignmentGap = 1u << 20;

// Each gap longer than kAlignmentGap as a partition of scheme
// Unpartitioned, numbered on from the highest number of `table`.
std::vector<media::Partition> UnpartitionedSpace(const media::PartitionTable& table, uint64_t diskSize);

} // namespace scan
