#pragma once
// Whether a deleted file's clusters were taken by a deleted file written
// after it. The index holds, for every cluster, the newest record-change
// time among the extents that contain it, so one look-up over a file's
// extent answers what a comparison with every other file's extents would.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "volume/records.h"

class NewerExtents {
    struct Event {
        int64_t at;
        FileTime time;
        bool starts;
    };

public:
    // The extents of files gathered as they are found, kept in cluster order
    // batch by batch, so that the index of a list read in pieces costs little
    // more than its final sweep once the list is whole.
    class Gathered {
    public:
        void Add(std::span<TMyFile* const> files, uint32_t clusterSize);

    private:
        friend class NewerExtents;
        std::vector<Event> events_;
    };

    // Indexes the data extents of `files` (holes and resident data left out).
    NewerExtents(const FileList& files, uint32_t clusterSize);
    // The same index from every file's extents gathered beforehand.
    explicit NewerExtents(Gathered gathered);

    // The newest change time among the indexed extents that share a cluster
    // with [first, end); 0 when there is none.
    FileTime NewestWithin(int64_t first, int64_t end) const;

    // The cluster span [first, end) of one extent.
    static std::pair<int64_t, int64_t> SpanOf(const TMyFileRun& run, uint32_t clusterSize);

    // What orders two deleted files that shared clusters: the later one
    // changed its record after the earlier one was freed.
    static FileTime TimeOf(const TMyFile& file) { return file.ChangedTime; }

private:
    static void AddEvents(std::vector<Event>& events, const TMyFile& file, uint32_t clusterSize);
    void Sweep(const std::vector<Event>& events);

    std::vector<int64_t> from_;     // first cluster of each stretch, ascending
    std::vector<FileTime> newest_;  // a max tree over the stretches: leaves at [size, 2 size)
    size_t size_ = 0;
};
