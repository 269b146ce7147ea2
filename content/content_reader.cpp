#include "content/content_reader.h"

#include <algorithm>
#include <cstdio>

#include "content/content_search.h"
#include "volume/file_listing.h"
#include "volume/language.h"
#include "volume/text.h"

namespace content {

namespace {
constexpr uint64_t kSectorBytes = 512;  // names count sectors of this size, whatever the drive's
constexpr int64_t kFoundFolderKey = 1;   // the folder "Found by content"; the kinds follow it

uint8_t StateOf(Certainty certainty) {
    switch (certainty) {
    case Certainty::Checked:
        return kStateExcellent;
    case Certainty::Estimated:
        return kStateGood;
    case Certainty::Broken:
        break;
    }
    return kStatePoor;
}
} // namespace

ContentReader::ContentReader(TDriverInfo* drive, const volume::ReaderContext& context, std::vector<bool> enabled)
    : drive_(drive), context_(context), enabled_(std::move(enabled)), tree_([this] {
          volume::FolderTree::Setup setup;
          setup.drive = drive_;
          setup.stopped = [this] { return stop_.Requested() || (context_.Progress && context_.Progress->StopRequested()); };
          return setup;
      }()) {}

std::string ContentReader::NameOf(uint64_t offset, const std::string& extension) {
    char name[32];
    std::snprintf(name, sizeof name, "f%07llu", static_cast<unsigned long long>(offset / kSectorBytes));
    return std::string(name) + "." + extension;
}

TMyFolder* ContentReader::FolderOfKind(const std::string& extension) {
    for (const auto& [kind, folder] : kinds_)
        if (kind == extension)
            return folder;
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = drive_;
    folder->FolderName = folder->DisplayName = extension;
    folder->ParentIndex = 1;
    folder->ParentRecordNo = kFoundFolderKey;
    folder->RecordNo = kFoundFolderKey + 1 + static_cast<int64_t>(kinds_.size());
    folder->InTree = true;
    TMyFolder* added = tree_.Append(std::move(folder), kFoundFolderKey + 1 + static_cast<int64_t>(kinds_.size()));
    kinds_.emplace_back(extension, added);
    return added;
}

volume::ReadingStatus ContentReader::Enumerate(FileList& files, FolderList& folders) {
    files.clear();
    folders.clear();
    kinds_.clear();
    stop_.Clear();
    tree_.Start(folders);
    auto root = std::make_unique<TMyFolder>();
    root->Drive = drive_;
    root->FolderName = root->DisplayName = drive_->DriveName;
    root->InTree = true;
    tree_.Append(std::move(root), kNoParent);
    auto found = std::make_unique<TMyFolder>();
    found->Drive = drive_;
    found->FolderName = found->DisplayName = volume::LangText("M_FoundByContent", "Found by content");
    found->ParentIndex = 0;
    found->RecordNo = kFoundFolderKey;
    found->InTree = true;
    tree_.Append(std::move(found), kFoundFolderKey);

    const uint64_t size = drive_->Source ? drive_->Source->Size() : 0;
    drive_->VolumeBytes = static_cast<int64_t>(size);
    volume::ProgressSink* progress = context_.Progress;
    ContentSearch search(*drive_->Source, SearchSettings{512, 8u << 20, enabled_});
    bool capped = false;
    uint64_t searchedBefore = 0;
    const SearchTotals totals = search.Run(
        0, size,
        [&](const FoundFile& hit) {
            auto file = std::make_unique<TMyFile>();
            file->Drive = drive_;
            file->FileName = NameOf(hit.offset, hit.carved.extension);
            file->Extension = volume::ExtensionOf(file->FileName);
            file->DataPos = static_cast<int64_t>(hit.offset);
            file->RecordPos = static_cast<int64_t>(hit.offset);
            file->RecordNo = static_cast<int64_t>(hit.offset / kSectorBytes);
            file->FileSize = file->AllocatedSize = static_cast<int64_t>(std::max<uint64_t>(hit.carved.length, 1));
            file->Runs.push_back(TMyFileRun{static_cast<int64_t>(hit.offset), file->FileSize});
            file->State = StateOf(hit.carved.certainty);
            if (hit.carved.modified) {
                file->ModifiedTime = file->CreatedTime = hit.carved.modified;
                file->HasTimes = true;
            }
            file->FoundBy = kFoundByContent;
            file->FolderIndex = FolderOfKind(hit.carved.extension)->ListIndex;
            files.push_back(std::move(file));
            if (progress) {
                progress->FileFound();
                if (progress->ReadingMustEnd(volume::ProgressSink::Capped::FoundFiles)) {
                    capped = true;
                    return false;
                }
            }
            return !stop_.Requested();
        },
        [&](uint64_t searched) {
            if (!progress)
                return;
            progress->BytesSearched(searched - std::min(searched, searchedBefore));
            searchedBefore = std::max(searched, searchedBefore);
            if (size > 0)
                progress->SetPercent(100.0 * static_cast<double>(searched) / static_cast<double>(size));
            // Between blocks: a pause holds the search here, and a stop or
            // low memory ends it.
            if (progress->ReadingMustEnd(volume::ProgressSink::Capped::FoundFiles))
                stop_.Request();
        },
        stop_.Flag());
    drive_->Damage.UnreadableBytes.fetch_add(totals.unreadableBytes, std::memory_order_relaxed);
    if (stop_.Requested() || capped)
        return volume::ReadingStatus::Stopped;
    return volume::ReadingStatus::Done;
}

uint32_t ContentReader::ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                                    std::vector<TMyFile*>* results) {
    if (!tree_.Holds(folders))
        tree_.Adopt(folders);
    // Found by their content, files are graded as they are found.
    return volume::ListFiles(tree_, context_, files, folders, categories, results, nullptr);
}

std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context,
                                         std::vector<bool> enabled) {
    return std::make_unique<ContentReader>(drive, context, std::move(enabled));
}

} // namespace content
