#pragma once
// The scan worker: one long-lived thread that runs one job at a time (scan
// the chosen drives, refresh the drive list) and waits between jobs.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/message_sink.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/disk.h"
#include "volume/job_thread.h"
#include "scan/source_check.h"

enum : uint8_t { kJobScan = 1, kJobFilter = 2, kJobDriveRefresh = 3, kJobOpenImages = 4, kJobSearchPartitions = 5 };

// A volume image named by the user, examined on the worker's thread: on a
// failing drive its first reads may take many seconds.
struct OpenedImage {
    std::string Name;
    SourceVerdict Verdict = SourceVerdict::CannotOpen;
    // A usable image's drives not listed yet (one per readable volume of a
    // disk image); AdoptOpenedImages lists them.
    std::vector<std::unique_ptr<TMyDisk>> Disks;
    std::vector<std::string> DriveNames;  // the image's drives, listed before or now
};

// The full search of one image for lost volumes, which the user asks for
// when the image held nothing readable where volumes usually start.
struct ImageSearch {
    std::string Image;
    // Bytes looked through, of the image's size: for the progress window.
    std::atomic<uint64_t> Done{0};
    std::atomic<uint64_t> Total{0};
    std::atomic<bool> Stop{false};
    // Set (release) once the job has ended; what follows is read after it.
    std::atomic<bool> Ended{true};
    // Stopped before its end: what it found is dropped.
    bool Stopped = false;
    // Ended on an error (the reason in FailureText): nothing it found is told.
    bool Failed = false;
    // Places a volume may start that could not be read: "nothing found" is
    // then no proof that nothing is there.
    uint64_t UnreadablePlaces = 0;
    // The drives of the volumes found, not listed yet (AdoptSearchedImage).
    OpenedImage Found;
};

class TThreadScan {
public:
    TThreadScan(TUnDeleteProgress& progress, const TScanFileType& types, const TScanPath& paths, MessageSink* sink);
    ~TThreadScan();
    TThreadScan(const TThreadScan&) = delete;
    TThreadScan& operator=(const TThreadScan&) = delete;

    std::atomic<TMyDisk*> CurrentDisk{nullptr};
    uint8_t SelectedDiskCount = 0;
    uint8_t DiskOrdinal = 0;
    std::atomic<uint8_t> JobKind{0};
    std::atomic<bool> PassIdle{true};
    DiskList Disks;
    CategoryList Categories;
    // Every file the last scan kept, in the order the drives listed them.
    // What the result list shows of them, and the check marks, are the
    // result view's (results/).
    std::vector<TMyFile*> AllFiles;
    std::atomic<bool> EnumDone{true};
    // Drives the last refresh found but could not open for lack of rights;
    // read, like Disks, once EnumDone is set.
    std::vector<std::string> LockedDrives;
    // Images to examine: filled while the worker is idle, then StartImageOpen.
    std::vector<std::string> ImagesToOpen;
    // What became of them; read once ImagesOpened is set and the worker is idle.
    std::vector<OpenedImage> OpenedImages;
    std::atomic<bool> ImagesOpened{true};
    // Runs the filter pass off the window thread, when a result view installs one.
    std::function<void()> FilterPass;
    // Why the last job ended on an error instead of finishing; empty when it
    // did not. Read once the worker is idle.
    std::string FailureText;
    // Room kept in FailureText for ": " and a reason such as "memory ran out".
    static constexpr size_t kFailureReasonRoom = 128;

    void StartScan();
    void StartDriveRefresh();
    void StartImageOpen();
    // Lists the usable images of the last image job in Disks; call while idle.
    void AdoptOpenedImages();
    // Searches the whole of `image` for lost volumes; the end is posted
    // (kMsgPartitionSearchEnded) and told in Search.
    void StartPartitionSearch(const std::string& image);
    // Asks the running search to end; it ends at its next block.
    void StopPartitionSearch() { Search.Stop.store(true, std::memory_order_relaxed); }
    ImageSearch Search;
    // Lists the drives the ended search found in Disks; call while idle.
    void AdoptSearchedImage();
    // A deep scan's share of each disk image a chosen drive lies on: the
    // stretches no partition holds, listed as drives (once) to be searched
    // by content. Returns their names for the scan's paths. Call while idle.
    std::vector<std::string> ListUnpartitionedSpace();
    // Runs FilterPass on the worker's thread (the result view's asynchronous filtering).
    void StartFilterPass();
    void StopCurrentDisk();
    // Where the running scan is trying a sector again (a byte offset on the
    // drive it reads), or volume::ReadDamage::kNotRetrying: for progress texts.
    uint64_t RetryingAt() const;
    TMyDisk* DiskFor(const std::string& name) { return ::DiskFor(Disks, name, Context()); }
    ScanContext Context() const { return ScanContext{&progress_, &types_, &paths_, SearchContent, &ContentSignatures}; }
    // Drives opened from now on that no file system reader accepts are
    // searched by content, for these signatures (empty: all).
    bool SearchContent = false;
    std::vector<bool> ContentSignatures;
    // The window's deep scan: the next scans also search each chosen
    // volume's free space (as SearchContent makes the readers do). Set while idle.
    bool DeepScan = false;
    // Images of ImagesToOpen that are opened to be searched by content when
    // they hold no file system a reader can read (the window's deep scan of
    // a whole image). Emptied by the job.
    std::vector<std::string> ImagesByContent;

    // Blocks until no job runs. The lists may be read afterwards.
    void WaitUntilIdle();
    // Waits at most `ms` for the job to end; true when no job runs.
    bool WaitUntilIdleFor(uint32_t ms);
    bool Busy() const;

private:
    void Resume(uint8_t job);
    void RunJob();
    void JobFailed(std::string_view reason);
    void ReserveFailureText();
    void ScanJob();
    void ReadPass(uint8_t fileSystem);
    void OpenImages();
    // Opens an image that holds no readable file system for the search by content.
    void OpenByContent(OpenedImage& opened);
    void SearchImage();
    void EndImageSearch();
    bool ReachedRecordCap(uint8_t fileSystem) const;

    TUnDeleteProgress& progress_;
    const TScanFileType& types_;
    const TScanPath& paths_;
    MessageSink* sink_;
    std::atomic<bool> shuttingDown_{false};
    std::unique_ptr<JobThread> thread_;  // last: its job uses everything above
};
