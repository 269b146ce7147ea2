#pragma once
// What a reader needs from the scan that runs it, and nothing more: the
// user's choices as a filter, a sink for its progress, and its stop token.
// The scan implements the first two over its own records; either may be
// absent (tests, fuzzing, the benchmark), and a reader then keeps every file
// and reports nothing.
#include <atomic>
#include <cstdint>
#include <string>

#include "volume/content_find.h"

namespace volume {

// The user's type and location choices, asked of each file the listing keeps.
class FileFilter {
public:
    virtual ~FileFilter() = default;
    virtual bool KeepsType(const std::string& extension) const = 0;
    // `folderPath` as the reader builds it, from the volume's root.
    virtual bool KeepsLocation(const std::string& folderPath) const = 0;
    virtual uint8_t PreviewKindOf(const std::string& extension) const = 0;
    // The category a kept file is counted in; negative: none.
    virtual int CategoryOf(const std::string& extension) const = 0;
};

// What a reader tells of its progress, and the scan's requests it obeys.
// Called on the scan's thread; the front end reads what it records.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Reading phase: how far through the volume, in percent.
    virtual void SetPercent(double percent) = 0;
    // Reading phase: one record (NTFS) was parsed.
    virtual void RecordParsed() = 0;
    // Reading phase: one record or directory entry was read.
    virtual void RecordRead() = 0;
    // Reading phase: one deleted file was found.
    virtual void FileFound() = 0;
    // Listing phase: one found file was looked at.
    virtual void FileListed() = 0;
    // Reading phase of a search by content: `bytes` more were looked through.
    virtual void BytesSearched(uint64_t bytes) = 0;

    // What a reader counts against the cap on files of the scan (over every
    // volume it reads): NTFS the files it found, FAT the entries it read.
    enum class Capped : uint8_t { FoundFiles, RecordsRead };
    // The reading's stop test, asked between steps: waits while the scan is
    // paused, then whether the reading must end (a stop request, low memory,
    // or the cap reached). One call, as it is asked for every record.
    virtual bool ReadingMustEnd(Capped capped) const = 0;
    // The user asked the scan to stop.
    virtual bool StopRequested() const = 0;
    // Returns once the scan is not paused (at once when it is not).
    virtual void WaitWhilePaused() const = 0;
    // Bytes of data one progress unit of a recovery stands for.
    virtual uint32_t UnitSize() const = 0;
};

// A reader's stop: set from any thread, read by the reader between steps and
// by its reads, which end early on it.
class StopToken {
public:
    void Request() { flag_.store(true, std::memory_order_relaxed); }
    void Clear() { flag_.store(false, std::memory_order_relaxed); }
    bool Requested() const { return flag_.load(std::memory_order_relaxed); }
    // For reads that take a cancel flag.
    const std::atomic<bool>* Flag() const { return &flag_; }

private:
    std::atomic<bool> flag_{false};
};

struct ReaderContext {
    ProgressSink* Progress = nullptr;
    const FileFilter* Filter = nullptr;
    // The deep scan: the reader also looks through the volume's free space
    // for what its own structures no longer lead to.
    bool SearchFreeSpace = false;
    // Set by the scan for the deep scan: the search by content, which a
    // reader runs over its free clusters once its own walk is done.
    ContentSearcher SearchByContent;
};

// Without a progress record a recovery counts in units of this many bytes.
constexpr uint32_t kDefaultUnitSize = 10u << 20;

} // namespace volume
