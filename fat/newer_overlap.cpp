#include "fat/newer_overlap.h"

#include <algorithm>
#include <map>
#include <optional>

namespace fat {

namespace {

// Disjoint intervals [start, end) of free-cluster numbers, merged as they come.
class CoveredRanks {
public:
    void Add(uint64_t start, uint64_t end) {
        if (start >= end)
            return;
        auto it = spans_.upper_bound(start);
        if (it != spans_.begin() && std::prev(it)->second >= start) {
            --it;
            start = it->first;
            end = std::max(end, it->second);
            it = spans_.erase(it);
        }
        while (it != spans_.end() && it->first <= end) {
            end = std::max(end, it->second);
            it = spans_.erase(it);
        }
        spans_.emplace(start, end);
    }

    // The lowest covered number in [start, end), if any.
    std::optional<uint64_t> FirstCovered(uint64_t start, uint64_t end) const {
        if (start >= end)
            return std::nullopt;
        auto it = spans_.upper_bound(start);
        if (it != spans_.begin() && std::prev(it)->second > start)
            return start;
        if (it != spans_.end() && it->first < end)
            return it->first;
        return std::nullopt;
    }

private:
    std::map<uint64_t, uint64_t> spans_;
};

} // namespace

std::vector<int64_t> FirstTakenByNewer(const std::vector<AssumedPlace>& places, const FreeClusterMap& free) {
    std::vector<int64_t> taken(places.size(), -1);
    std::vector<size_t> order;
    for (size_t i = 0; i < places.size(); ++i)
        if (places[i].clusters > 0)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return places[a].created > places[b].created; });

    const uint64_t totalFree = free.TotalFree();
    CoveredRanks covered;
    for (size_t g = 0; g < order.size();) {
        // Files created at the same moment are not newer than one another:
        // each group is judged before its own places are added.
        size_t end = g;
        while (end < order.size() && places[order[end]].created == places[order[g]].created)
            ++end;
        for (size_t k = g; k < end; ++k) {
            const AssumedPlace& p = places[order[k]];
            const uint64_t last = p.first + p.clusters;
            if (auto rank = covered.FirstCovered(free.FreeBefore(p.first), free.FreeBefore(last)))
                taken[order[k]] = static_cast<int64_t>(free.NthFree(*rank) - p.first);
        }
        for (size_t k = g; k < end; ++k) {
            const AssumedPlace& p = places[order[k]];
            const uint64_t start = free.FreeBefore(p.first);
            // Skipping the clusters in use now assumes they were in use when the
            // file was written. A file whose first cluster is in use again was
            // overwritten after its deletion, which refutes that: it can only
            // have held the free clusters of its contiguous stretch.
            const uint64_t end = free.IsFree(p.first) ? std::min(totalFree, start + p.clusters)
                                                      : free.FreeBefore(p.first + p.clusters);
            covered.Add(start, end);
        }
        g = end;
    }
    return taken;
}

} // namespace fat
