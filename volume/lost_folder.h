#pragma once
// The folders a deep scan makes of what it finds in a volume's free space:
// "Found by content" below the root, and in it a "Lost folder N" for each
// run of free clusters that held a folder's entries (N its first cluster).
// One naming for every reader that searches its free space.
#include <cstdint>
#include <memory>
#include <vector>

#include "volume/records.h"

namespace volume {

std::unique_ptr<TMyFolder> FoundByContentFolder(TDriverInfo* drive);
// A deleted folder under `parentIndex` whose entries lie in `runs` (not empty).
std::unique_ptr<TMyFolder> LostFolder(TDriverInfo* drive, int32_t parentIndex, uint64_t firstCluster,
                                      std::vector<TMyFileRun> runs);
// A deleted folder known only by the number its files name as their parent
// (NTFS: its record number), whose own entries are gone.
std::unique_ptr<TMyFolder> LostFolder(TDriverInfo* drive, int32_t parentIndex, uint64_t number);

} // namespace volume
