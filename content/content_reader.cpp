#include "content/content_reader.h"

#include "content/searcher.h"
#include "volume/file_listing.h"
#include "volume/found_by_content.h"

namespace content {

ContentReader::ContentReader(TDriverInfo* drive, const volume::ReaderContext& context, std::vector<bool> enabled)
    : drive_(drive), context_(context), tree_([this] {
          volume::FolderTree::Setup setup;
          setup.drive = drive_;
          setup.stopped = [this] { return stop_.Requested() || (context_.Progress && context_.Progress->StopRequested()); };
          return setup;
      }()) {
    // The whole source is searched for the signatures asked for, whatever
    // search the scan offers for free space.
    context_.SearchByContent = MakeSearcher(std::move(enabled));
}

volume::ReadingStatus ContentReader::Enumerate(FileList& files, FolderList& folders) {
    files.clear();
    folders.clear();
    stop_.Clear();
    tree_.Start(folders);
    auto root = std::make_unique<TMyFolder>();
    root->Drive = drive_;
    root->FolderName = root->DisplayName = drive_->DriveName;
    root->InTree = true;
    tree_.Append(std::move(root), kNoParent);
    volume::FoundByContent found(drive_, tree_);
    found.Folder();

    const uint64_t size = drive_->Source ? drive_->Source->Size() : 0;
    drive_->VolumeBytes = static_cast<int64_t>(size);
    // No boot sector gave the size: the stretch searched is the drive.
    if (drive_->TotalBytes <= 0)
        drive_->TotalBytes = static_cast<int64_t>(size);
    const volume::ByteExtent whole{0, size};
    if (found.Search(context_, {&whole, 1}, files, stop_, 0, 100) == volume::FoundByContent::Ended::Stopped)
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
