#include "ntfs/newer_extents.h"

#include <algorithm>
#include <map>

std::pair<int64_t, int64_t> NewerExtents::SpanOf(const TMyFileRun& run, uint32_t clusterSize) {
    const int64_t first = run.RunStart / clusterSize;
    return {first, first + run.RunLength / clusterSize + (run.RunLength % clusterSize ? 1 : 0)};
}

NewerExtents::NewerExtents(const FileList& files, uint32_t clusterSize) {
    if (clusterSize == 0)
        return;
    // Each extent [s, e) holds the clusters s+1 .. e-1 strictly inside it:
    // its time starts counting at s+1 and stops at e.
    struct Event {
        int64_t at;
        FileTime time;
        bool starts;
    };
    std::vector<Event> events;
    for (const auto& file : files) {
        if (file->Runs.empty() || !file->Runs[0].OnVolume)
            continue;
        for (const TMyFileRun& run : file->Runs) {
            if (run.IsHole)
                continue;
            const auto [s, e] = SpanOf(run, clusterSize);
            if (e - s < 2)
                continue;  // no cluster lies strictly inside
            events.push_back({s + 1, file->CreatedTime, true});
            events.push_back({e, file->CreatedTime, false});
        }
    }
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });

    // A sweep over the clusters, keeping the times of the extents open at each.
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
        if (steps_.empty() || steps_.back().newest != newest)
            steps_.push_back({at, newest});
    }
}

FileTime NewerExtents::NewestAround(int64_t cluster) const {
    auto after = std::upper_bound(steps_.begin(), steps_.end(), cluster,
                                  [](int64_t c, const Step& step) { return c < step.from; });
    return after == steps_.begin() ? 0 : std::prev(after)->newest;
}
