#include <algorithm>

#include "fat/fat_disk.h"
#include "fat/newer_overlap.h"
#include "volume/file_listing.h"

uint32_t TDISK_FAT::ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                                    std::vector<TMyFile*>* accepted) {

    FoldersBeforeUnknown = static_cast<uint32_t>(folders.size());
    auto unknown = std::make_unique<TMyFolder>();
    unknown->Drive = Drive;
    unknown->FolderName = unknown->DisplayName = "Unkown";
    unknown->IsDeleted = true;
    unknown->ParentIndex = 0;
    if (!tree_.Holds(folders))
        tree_.Adopt(folders);
    tree_.Append(std::move(unknown), kNoParent);

    const fat::FreeClusterMap free = FreeClusters();
    const std::vector<int64_t> takenByNewer = TakenByNewerFiles(files, free);

    const uint32_t count = volume::ListFiles(tree_, context_, files, folders, categories, accepted,
                                             [&](size_t i, TMyFile& file) {
                                                 // Found by content, a file was graded by its walk.
                                                 if (file.FoundBy == kFoundByRecord)
                                                     file.State = Grade(file, free, takenByNewer[i]);
                                             });
    AcceptedFiles = count;
    return count;
}

volume::FolderTree::Setup TDISK_FAT::TreeSetup() {
    volume::FolderTree::Setup setup;
    setup.drive = Drive;
    // Parents are read before their children: no folder is ever looked up
    // on the disk, and the path and the counts stop only for a cancel.
    setup.stopped = [this] { return context_.Progress && context_.Progress->StopRequested(); };
    return setup;
}
