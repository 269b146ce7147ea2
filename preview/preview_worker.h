#pragma once
// Preview workers: each preview surface owns one thread that reads a found
// file's content from the volume and prepares it (a picture's bytes, a
// text, a Word document's lines) while the window polls.
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "volume/job_thread.h"
#include "volume/records.h"

// Shared between the window and its worker, one writer each.
struct TPreview_Progress {
    std::atomic<bool> Finished{true};       // the window took (or gave up) the last result
    std::atomic<bool> CancelRequest{true};  // abandon the current request
    std::atomic<bool> WorkDone{true};       // the worker has ended the current request
};

// What tells the hover pane's worker from the large window's.
struct PreviewLimits {
    size_t textBytes;        // text loaded into the memo
    size_t documentLines;    // paragraphs asked of a Word document
    bool checkZipSignature;  // a document must begin with "PK"
    bool dropDocumentBytes;  // the content is emptied after a document
    bool traceStart;         // "file name: ..." to the debug output
};

inline constexpr PreviewLimits kSmallPreview{10'240, 10, true, true, true};
inline constexpr PreviewLimits kLargePreview{SIZE_MAX, 200, false, false, false};

// True when a file of this kind and grade is previewed at all.
bool IsPreviewable(const TMyFile& file);

class TPreviewWorker {
public:
    explicit TPreviewWorker(const PreviewLimits& limits);
    ~TPreviewWorker();
    TPreviewWorker(const TPreviewWorker&) = delete;
    TPreviewWorker& operator=(const TPreviewWorker&) = delete;

    // Takes a request for `file` when the last one has ended (WorkDone);
    // false, and nothing started, while the worker is still busy. The
    // worker reads its own copy of the record: a new scan may free the
    // record while a cancelled read is still pending on a slow drive.
    bool Start(const TMyFile* file);
    void Cancel() { State.CancelRequest = true; }
    bool Idle() const { return State.WorkDone.load(std::memory_order_acquire); }
    // Blocks until the current request has ended.
    void WaitUntilDone();
    // Waits at most `ms`; true when no request runs.
    bool WaitUntilDoneFor(uint32_t ms);

    // Results, read after WorkDone.
    uint8_t Kind() const { return kind_; }
    bool Success() const { return success_; }
    const std::vector<uint8_t>& Content() const { return content_; }
    const std::vector<std::string>& Lines() const { return lines_; }
    // Gives the content's memory back once the window is done with it.
    void ReleaseContent() { std::vector<uint8_t>().swap(content_); }
    // The text of a plain-text file as the memo shows it.
    std::string Text() const;
    // Why the last request ended on an error (memory ran out, say); empty when it did not.
    const std::string& Failure() const { return failure_; }

    TPreview_Progress State;

private:
    void RunRequest();
    void RequestFailed(std::string_view reason);
    bool ReadContent();

    const PreviewLimits limits_;
    std::optional<TMyFile> file_;
    uint8_t kind_ = 0;
    bool success_ = false;
    std::vector<uint8_t> content_;
    std::vector<std::string> lines_;
    std::string failure_;
    std::unique_ptr<JobThread> thread_;  // last: its job uses everything above
};

// Text bytes to UTF-8: a byte-order mark decides; without one UTF-8 when it
// is valid, else Windows-1252.
std::string DecodePreviewText(const std::vector<uint8_t>& bytes);

// True when the memory guard lets a file of `size` bytes be read for preview.
bool PreviewFits(int64_t size);

// The bytes the memory guard lets a preview take now: 80 percent of what is
// free beyond a fifth of the physical memory; 0 when the system is loaded to
// 80 percent or more, or its memory status is unknown.
int64_t PreviewMemoryRoom();
