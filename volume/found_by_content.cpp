#include "volume/found_by_content.h"

#include <algorithm>
#include <cstdio>

#include "volume/lost_folder.h"
#include "volume/text.h"

namespace volume {

namespace {
constexpr uint64_t kSectorBytes = 512;  // names count sectors of this size, whatever the drive's, as PhotoRec's do
} // namespace

std::string FoundByContent::NameOf(uint64_t offset, const std::string& extension) {
    char name[32];
    std::snprintf(name, sizeof name, "f%07llu", static_cast<unsigned long long>(offset / kSectorBytes));
    return std::string(name) + "." + extension;
}

int32_t FoundByContent::Folder() {
    if (folder_ < 0)
        folder_ = tree_.Append(FoundByContentFolder(drive_), kNoParent)->ListIndex;
    return folder_;
}

int32_t FoundByContent::FolderOfKind(const std::string& extension) {
    for (const auto& [kind, index] : kinds_)
        if (kind == extension)
            return index;
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = drive_;
    folder->FolderName = folder->DisplayName = extension;
    folder->ParentIndex = Folder();
    folder->IsDeleted = true;
    folder->InTree = true;
    const int32_t index = tree_.Append(std::move(folder), kNoParent)->ListIndex;
    kinds_.emplace_back(extension, index);
    return index;
}

std::unique_ptr<TMyFile> FoundByContent::MakeFile(const ContentFind& find) {
    auto file = std::make_unique<TMyFile>();
    file->Drive = drive_;
    file->FileName = NameOf(find.offset, find.extension);
    file->Extension = ExtensionOf(file->FileName);
    file->DataPos = static_cast<int64_t>(find.offset);
    file->RecordPos = static_cast<int64_t>(find.offset);
    file->RecordNo = static_cast<int64_t>(find.offset / kSectorBytes);
    file->FileSize = file->AllocatedSize = static_cast<int64_t>(std::max<uint64_t>(find.length, 1));
    if (find.pieces.empty()) {
        file->Runs.push_back(TMyFileRun{static_cast<int64_t>(find.offset), file->FileSize});
    } else {
        for (const ByteExtent& piece : find.pieces)
            file->Runs.push_back(TMyFileRun{static_cast<int64_t>(piece.offset), static_cast<int64_t>(piece.length)});
    }
    file->State = find.state;
    if (find.modified) {
        file->ModifiedTime = file->CreatedTime = find.modified;
        file->HasTimes = true;
    }
    file->FoundBy = kFoundByContent;
    file->FolderIndex = FolderOfKind(find.extension);
    return file;
}

FoundByContent::Ended FoundByContent::Search(const ReaderContext& context, std::span<const ByteExtent> extents,
                                             FileList& files, StopToken& stop, double percentFrom, double percentTo,
                                             const BytesSeen& seen) {
    if (!context.SearchByContent || !drive_ || !drive_->Source)
        return Ended::Done;
    ProgressSink* progress = context.Progress;
    uint64_t total = 0, counted = 0;
    for (const ByteExtent& extent : extents)
        total += extent.length;
    const ContentSearchTotals totals = context.SearchByContent(
        *drive_->Source, extents,
        [&](const ContentFind& find) {
            std::unique_ptr<TMyFile> file = MakeFile(find);
            file->ListIndex = static_cast<int32_t>(files.size());
            files.push_back(std::move(file));
            if (progress) {
                progress->FileFound();
                if (progress->ReadingMustEnd(ProgressSink::Capped::FoundFiles))
                    stop.Request();
            }
            return !stop.Requested();
        },
        [&](uint64_t searched) {
            if (!progress)
                return;
            // The window shows the bytes searched over every drive: each call adds what is new.
            progress->BytesSearched(searched - std::min(searched, counted));
            counted = std::max(searched, counted);
            if (total > 0)
                progress->SetPercent(percentFrom + (percentTo - percentFrom) * static_cast<double>(searched) /
                                                       static_cast<double>(total));
            // Between blocks: a pause holds the search here, and a stop,
            // low memory or the cap ends it.
            if (progress->ReadingMustEnd(ProgressSink::Capped::FoundFiles))
                stop.Request();
        },
        seen, stop.Flag());
    drive_->Damage.UnreadableBytes.fetch_add(totals.unreadableBytes, std::memory_order_relaxed);
    return stop.Requested() ? Ended::Stopped : Ended::Done;
}

} // namespace volume
