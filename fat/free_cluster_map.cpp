#include "fat/free_cluster_map.h"

#include <algorithm>
#include <bit>

namespace fat {

FreeClusterMap::FreeClusterMap(uint64_t first, uint64_t end, const std::function<bool(uint64_t)>& isFree)
    : first_(first), end_(std::max(first, end)) {
    const uint64_t count = end_ - first_;
    words_.assign(static_cast<size_t>((count + 63) / 64), 0);
    for (uint64_t k = 0; k < count; ++k)
        if (isFree(first_ + k))
            words_[static_cast<size_t>(k / 64)] |= uint64_t{1} << (k % 64);
    before_.resize(words_.size() + 1);
    before_[0] = 0;
    for (size_t w = 0; w < words_.size(); ++w)
        before_[w + 1] = before_[w] + static_cast<uint64_t>(std::popcount(words_[w]));
}

uint64_t FreeClusterMap::FreeBefore(uint64_t index) const {
    if (before_.empty() || index <= first_)
        return 0;
    const uint64_t k = std::min(index, end_) - first_;
    const size_t w = static_cast<size_t>(k / 64);
    const uint64_t bits = k % 64;
    if (bits == 0)
        return before_[w];
    return before_[w] + static_cast<uint64_t>(std::popcount(words_[w] & ((uint64_t{1} << bits) - 1)));
}

bool FreeClusterMap::IsFree(uint64_t index) const {
    if (index < first_ || index >= end_)
        return false;
    const uint64_t k = index - first_;
    return (words_[static_cast<size_t>(k / 64)] >> (k % 64)) & 1;
}

uint64_t FreeClusterMap::NthFree(uint64_t rank) const {
    // The last word with at most `rank` free clusters before it holds the one wanted.
    const auto after = std::upper_bound(before_.begin(), before_.end() - 1, rank);
    const size_t w = static_cast<size_t>(after - before_.begin()) - 1;
    uint64_t word = words_[w];
    for (uint64_t skip = rank - before_[w]; skip > 0; --skip)
        word &= word - 1;  // drop the lowest free bit
    return first_ + uint64_t{w} * 64 + static_cast<uint64_t>(std::countr_zero(word));
}

uint64_t FreeClusterMap::FirstInUse(uint64_t from, uint64_t to) const {
    from = std::max(from, first_);
    if (from >= to)
        return to;
    if (from >= end_)
        return from;  // outside the region nothing is free
    // Every cluster of [from, x) is free exactly while the free count grows by
    // one per cluster; the first x where it does not is the answer.
    const uint64_t base = FreeBefore(from);
    uint64_t lo = from, hi = std::min(to, end_);
    if (FreeBefore(hi) - base == hi - from)
        return hi;
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (FreeBefore(mid) - base == mid - from)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

} // namespace fat
