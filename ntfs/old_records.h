#pragma once
// Records of an earlier MFT left in clusters the volume marks free: the
// table a quick format left behind, or the old place of a table that moved.
// What decides, from a record's bytes alone, whether it is one, and whether
// the file it describes can be trusted to claim its clusters.
#include <cstdint>
#include <span>
#include <vector>

#include "volume/records.h"

namespace ntfs {

// Whether `bytes` (at least `recordSize` of them) hold an MFT record whole:
// the "FILE" mark, its own size as allocated, bytes in use within it, an
// update sequence array that fits before the first attribute and whose
// number ends every 512-byte stride. Checks only: the bytes are not repaired.
bool LooksLikeRecord(std::span<const uint8_t> bytes, uint32_t recordSize);

// Whether two of the runs share a cluster: a run list that loops back over
// itself is damage, not a file.
bool RunsCrossThemselves(const std::vector<TMyFileRun>& runs);

// Whether the runs of a file read from an earlier MFT can be trusted: they
// lie within the volume's `volumeBytes`, do not cross themselves, and hold
// what the file's size needs without reaching far past it. Resident data
// always can. A file that fails is graded Poor and claims no clusters.
bool OldRunsPlausible(const TMyFile& file, int64_t volumeBytes, uint32_t clusterSize);

} // namespace ntfs
