#include "scan/unpartitioned_space.h"

#include <algorithm>

namespace scan {

namespace {
// A GPT's header and entries follow the protective MBR; their backup ends the disk.
constexpr uint64_t kGptSectorsAtStart = 34;
constexpr uint64_t kGptSectorsAtEnd = 33;
} // namespace

std::vector<media::Partition> UnpartitionedSpace(const media::PartitionTable& table, uint64_t diskSize) {
    const uint64_t sector = table.SectorSize ? table.SectorSize : 512;
    uint64_t begin = 0, end = diskSize;
    if (table.Scheme == media::PartitionScheme::Mbr)
        begin = sector;
    if (table.Scheme == media::PartitionScheme::Gpt) {
        begin = kGptSectorsAtStart * sector;
        end = diskSize > kGptSectorsAtEnd * sector ? diskSize - kGptSectorsAtEnd * sector : 0;
    }
    std::vector<media::Partition> held = table.Partitions;
    std::sort(held.begin(), held.end(),
              [](const media::Partition& a, const media::Partition& b) { return a.Start < b.Start; });
    uint32_t number = 0;
    for (const media::Partition& p : held)
        number = std::max(number, p.Number);

    std::vector<media::Partition> gaps;
    auto addGap = [&](uint64_t from, uint64_t to) {
        if (to <= from || to - from <= kAlignmentGap)
            return;
        media::Partition gap;
        gap.Number = ++number;
        gap.Scheme = media::PartitionScheme::Unpartitioned;
        gap.Start = from;
        gap.Length = to - from;
        gap.TypeName = "unpartitioned space";
        gaps.push_back(gap);
    };
    uint64_t cursor = begin;
    for (const media::Partition& p : held) {
        // Partitions may overlap (a hostile or damaged table): the cursor only moves on.
        addGap(cursor, std::min(p.Start, end));
        cursor = std::max(cursor, p.Start + std::min(p.Length, diskSize - std::min(p.Start, diskSize)));
    }
    addGap(cursor, end);
    return gaps;
}

} // namespace scan
