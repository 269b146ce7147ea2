#pragma once
// Which clusters of the data region the allocation table marks free, kept as
// one bit per cluster with a running count, so that "how many free clusters
// lie before this one" is answered without walking the table.
#include <cstdint>
#include <functional>
#include <vector>

namespace fat {

class FreeClusterMap {
public:
    FreeClusterMap() = default;
    // Clusters first <= i < end; `isFree(i)` says whether cluster i is free.
    FreeClusterMap(uint64_t first, uint64_t end, const std::function<bool(uint64_t)>& isFree);

    // Free clusters in [first, index); `index` is clamped to the region.
    uint64_t FreeBefore(uint64_t index) const;
    bool IsFree(uint64_t index) const;
    uint64_t TotalFree() const { return before_.empty() ? 0 : FreeBefore(end_); }
    // The free cluster that has `rank` free clusters before it; `rank` < TotalFree().
    uint64_t NthFree(uint64_t rank) const;
    // The first cluster of [from, to) that is not free, or `to` when all are.
    uint64_t FirstInUse(uint64_t from, uint64_t to) const;

private:
    uint64_t first_ = 0, end_ = 0;
    std::vector<uint64_t> words_;   // bit k of word w: cluster first_ + 64w + k is free
    std::vector<uint64_t> before_;  // free clusters before word w
};

} // namespace fat
