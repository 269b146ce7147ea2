#include "ntfs/newer_extents.h"

#include <algorithm>
#include <map>

std::pair<int64_t, int64_t> NewerExtents::SpanOf(const TMyFileRun& run, uint32_t clusterSize) {
    const int64_t first = run.RunStart / clusterSize;
    return {first, first + run.RunLength / clusterSize + (run.RunLength % clusterSize ? 1 : 0)};
}

namespace {
// Only where an extent lies orders the events: the sweep takes all those at
// one cluster together, in whatever order they come.
template <typename E>
bool ByCluster(const E& a, const E& b) {
    return a.at < b.at;
}
} // namespace

void NewerExtents::AddEvents(std::vector<Event>& events, const TMyFile& file, uint32_t clusterSize) {
    // A file found by its content starts in free space, beside every file
    // of the records: it takes nothing from them. Nor does a file of an
    // earlier MFT: it is older than the volume's own records.
    if (file.Runs.empty() || !file.Runs[0].OnVolume || file.FoundBy != kFoundByRecord)
        return;
    for (const TMyFileRun& run : file.Runs) {
        if (run.IsHole)
            continue;
        const auto [s, e] = SpanOf(run, clusterSize);
        if (e <= s)
            continue;
        events.push_back({s, TimeOf(file), true});
        events.push_back({e, TimeOf(file), false});
    }
}

void NewerExtents::Gathered::Add(std::span<TMyFile* const> files, uint32_t clusterSize) {
    if (clusterSize == 0)
        return;
    const auto sorted = static_cast<std::ptrdiff_t>(events_.size());
    for (const TMyFile* file : files)
        AddEvents(events_, *file, clusterSize);
    std::sort(events_.begin() + sorted, events_.end(), ByCluster<Event>);
    std::inplace_merge(events_.begin(), events_.begin() + sorted, events_.end(), ByCluster<Event>);
}

NewerExtents::NewerExtents(Gathered gathered) { Sweep(gathered.events_); }

NewerExtents::NewerExtents(const FileList& files, uint32_t clusterSize) {
    if (clusterSize == 0)
        return;
    std::vector<Event> events;
    for (const auto& file : files)
        AddEvents(events, *file, clusterSize);
    std::sort(events.begin(), events.end(), ByCluster<Event>);
    Sweep(events);
}

void NewerExtents::Sweep(const std::vector<Event>& events) {
    // A sweep over the clusters, keeping the times of the extents open at
    // each: the volume falls into stretches of one newest time each.
    std::vector<FileTime> stretchNewest;
    std::map<FileTime, uint32_t> open;
    for (size_t i = 0; i < events.size();) {
        const int64_t at = events[i].at;
        for (; i < events.size() && events[i].at == at; ++i) {
            if (events[i].starts) {
                ++open[events[i].time];
            } else if (auto it = open.find(events[i].time); it != open.end() && --it->second == 0) {
                open.erase(it);
            }
        }
        const FileTime newest = open.empty() ? 0 : open.rbegin()->first;
        if (stretchNewest.empty() || stretchNewest.back() != newest) {
            from_.push_back(at);
            stretchNewest.push_back(newest);
        }
    }
    // A bottom-up max tree, so that the newest time over any run of
    // stretches costs a logarithm, however many extents a file spans.
    size_ = stretchNewest.size();
    newest_.assign(2 * size_, 0);
    std::copy(stretchNewest.begin(), stretchNewest.end(), newest_.begin() + static_cast<std::ptrdiff_t>(size_));
    for (size_t i = size_; i-- > 1;)
        newest_[i] = std::max(newest_[2 * i], newest_[2 * i + 1]);
}

FileTime NewerExtents::NewestWithin(int64_t first, int64_t end) const {
    if (size_ == 0 || end <= first)
        return 0;
    // Stretch of `first` (or the first stretch, when `first` lies before it)
    // through the last stretch that begins before `end`.
    auto byCluster = [](int64_t c, int64_t from) { return c < from; };
    size_t lo = static_cast<size_t>(std::upper_bound(from_.begin(), from_.end(), first, byCluster) - from_.begin());
    lo = lo == 0 ? 0 : lo - 1;
    const size_t hi = static_cast<size_t>(std::lower_bound(from_.begin(), from_.end(), end) - from_.begin());
    FileTime newest = 0;
    for (size_t l = lo + size_, r = hi + size_; l < r; l >>= 1, r >>= 1) {
        if (l & 1)
            newest = std::max(newest, newest_[l++]);
        if (r & 1)
            newest = std::max(newest, newest_[--r]);
    }
    return newest;
}
