#pragma once
// A second thread for the listing work that needs no more than the files
// found so far, fed while the MFT is still being read: the reader hands over
// the files of each chunk it has parsed, and they are worked on in the order
// they were found. Nothing it runs may throw past it: a failure only marks
// the work as not done, for the listing pass to do after all.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "ntfs/newer_extents.h"
#include "volume/records.h"

namespace ntfs {

// What grading learns from a file and the bitmap alone; only whether a
// newer deleted file took its clusters needs the whole list.
struct Grading {
    int64_t allocated = 0;
    uint16_t units = 0;
    uint8_t state = kStateUnjudged;
    bool askOverlap = false;
};

// The listing work done beside the reading of the MFT, for the listing pass to take.
struct PreparedListing {
    const FileList* files = nullptr;
    bool haveBitmap = false;
    bool stopped = false;  // a stop came: what was done may be cut short
    std::vector<Grading> gradings;  // by position in the list
    NewerExtents::Gathered extents;
};

class ListingAhead {
public:
    using Batch = std::function<void(std::span<TMyFile* const> files)>;

    // `first` runs on the thread before any file; `batch` for each handing-over.
    ListingAhead(std::function<void()> first, Batch batch);
    ~ListingAhead();
    ListingAhead(const ListingAhead&) = delete;
    ListingAhead& operator=(const ListingAhead&) = delete;

    // Files the reader will not touch again.
    void Hand(std::vector<TMyFile*> files);
    // Waits until every file handed over was worked on. False when the work
    // failed (no memory): what it made must not be used.
    bool Finish();

private:
    void Run();

    std::function<void()> first_;
    Batch batch_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::vector<TMyFile*>> waiting_;
    bool ended_ = false;
    bool failed_ = false;
    std::thread thread_;
};

} // namespace ntfs
