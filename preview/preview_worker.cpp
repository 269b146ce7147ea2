#include "preview/preview_worker.h"

#include <cstdio>

#include "platform/memory.h"
#include "preview/docx_text.h"
#include "scan/scan_selection.h"
#include "volume/file_data.h"
#include "volume/text.h"

bool IsPreviewable(const TMyFile& file) {
    if (file.Encrypted)
        return false;  // only ciphertext could be shown
    switch (file.PreviewKind) {
    case kPreviewText: return true;
    case kPreviewPicture: return file.State != kStatePoor;
    case kPreviewDocx: return file.State == kStateExcellent;
    default: return false;
    }
}

int64_t PreviewMemoryRoom() {
    auto memory = platform::SystemMemory();
    if (!memory || memory->loadPercent >= 80)
        return 0;
    const double room = (static_cast<double>(memory->availablePhysical) -
                         static_cast<double>(memory->totalPhysical) * 0.2) * 0.8;
    return room <= 0 ? 0 : static_cast<int64_t>(room + 0.5);
}

bool PreviewFits(int64_t size) { return size < PreviewMemoryRoom(); }

namespace {
bool IsValidUtf8(const std::vector<uint8_t>& b) {
    size_t i = 0;
    while (i < b.size()) {
        const uint8_t c = b[i];
        const size_t extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 9;
        if (extra == 9 || (extra > 0 && i + extra >= b.size()))
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((b[i + k] & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}
} // namespace

std::string DecodePreviewText(const std::vector<uint8_t>& bytes) {
    const bool bom = (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ||
                     (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)));
    if (bom || IsValidUtf8(bytes))
        return volume::DecodeText(bytes);
    return volume::Windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

TPreviewWorker::TPreviewWorker(const PreviewLimits& limits) : limits_(limits) {
    thread_ = std::make_unique<JobThread>(
        [this] {
            RunRequest();
            State.WorkDone.store(true, std::memory_order_release);
        },
        [this](std::string_view why) { RequestFailed(why); });
}

TPreviewWorker::~TPreviewWorker() {
    State.CancelRequest = true;
    thread_->Terminate();
}

bool TPreviewWorker::Start(const TMyFile* file) {
    if (!Idle())
        return false;
    kind_ = 0;
    success_ = false;
    content_.clear();
    lines_.clear();
    failure_.clear();
    file_.reset();
    if (file)
        file_ = *file;
    if (limits_.traceStart && file)
        std::fprintf(stderr, "file name: %s\n", volume::PrintableText(file->FileName).c_str());
    State.Finished = false;
    State.CancelRequest = false;
    State.WorkDone = false;
    thread_->Run();
    return true;
}

void TPreviewWorker::WaitUntilDone() { thread_->WaitUntilIdle(); }

bool TPreviewWorker::WaitUntilDoneFor(uint32_t ms) { return thread_->WaitUntilIdleFor(ms); }

void TPreviewWorker::RunRequest() {
    success_ = false;
    kind_ = 0;
    if (!file_)
        return;
    const bool refused = !IsPreviewable(*file_);
    if (!refused)
        kind_ = file_->PreviewKind;
    if (refused || State.CancelRequest || !ReadContent())
        return;
    if (kind_ == kPreviewDocx) {
        const bool looksZip = content_.size() > 2 && content_[0] == 'P' && content_[1] == 'K';
        if (limits_.checkZipSignature && !looksZip)
            return;
        success_ = ExtractDocxText(content_, limits_.documentLines, lines_, &State.CancelRequest);
        if (limits_.dropDocumentBytes)
            content_.clear();
    } else {
        success_ = true;
    }
    if (State.CancelRequest)
        success_ = false;
}

// A request cut short by an exception shows nothing; what it had read is
// given back at once, and the window polling WorkDone is told it ended.
void TPreviewWorker::RequestFailed(std::string_view reason) {
    success_ = false;
    std::vector<uint8_t>().swap(content_);
    std::vector<std::string>().swap(lines_);
    try {
        failure_ = reason;
    } catch (...) {
        failure_.clear();
    }
    State.WorkDone.store(true, std::memory_order_release);
}

bool TPreviewWorker::ReadContent() {
    if (file_->Runs.empty())
        return true;  // nothing to read counts as read
    if (!PreviewFits(file_->FileSize))
        return false;
    content_.reserve(static_cast<size_t>(file_->FileSize));
    const auto status = volume::ReadFileData(
        *file_,
        [this](std::span<const uint8_t> bytes, bool) {
            content_.insert(content_.end(), bytes.begin(), bytes.end());
            return true;
        },
        &State.CancelRequest);
    return status == volume::ReadStatus::Ok;
}

std::string TPreviewWorker::Text() const {
    if (content_.size() <= limits_.textBytes)
        return DecodePreviewText(content_);
    return DecodePreviewText(std::vector<uint8_t>(content_.begin(), content_.begin() + static_cast<std::ptrdiff_t>(limits_.textBytes)));
}
