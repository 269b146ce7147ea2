#include <algorithm>

#include "fat/fat_disk.h"
#include "fat/newer_overlap.h"

uint32_t TDISK_FAT::ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                                    std::vector<TMyFile*>* accepted) {
    volume::ProgressSink* progress = context_.Progress;
    const volume::FileFilter* filter = context_.Filter;

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

    const uint32_t unit = progress ? progress->UnitSize() : volume::kDefaultUnitSize;
    uint32_t count = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        TMyFile& file = *files[i];
        if (progress) {
            progress->FileListed();
            progress->WaitWhilePaused();
            if (progress->StopRequested())
                break;
        }
        if (file.FileSize == 0)
            continue;
        file.Accepted = false;
        if (filter && !filter->KeepsType(file.Extension))
            continue;
        tree_.PlaceFile(file);
        tree_.BuildPath(file);
        file.State = Grade(file, free, takenByNewer[i]);
        if (filter && !filter->KeepsLocation(file.FolderPath))
            continue;
        ++count;
        file.Accepted = true;
        if (file.FolderIndex >= 0 && static_cast<size_t>(file.FolderIndex) < folders.size())
            folders[static_cast<size_t>(file.FolderIndex)]->FileCount += 1;
        file.PreviewKind = filter ? filter->PreviewKindOf(file.Extension) : 0;
        const int64_t steps = file.FileSize / unit + (file.FileSize % unit ? 1 : 0);
        file.ProgressUnits = static_cast<uint16_t>(std::min<int64_t>(int64_t{file.ProgressUnits} + steps, UINT16_MAX));
        if (accepted)
            accepted->push_back(&file);
        if (const int category = filter ? filter->CategoryOf(file.Extension) : -1; categories && category >= 0)
            (*categories)[static_cast<size_t>(category)]->CountExtension(file.Extension);
    }
    tree_.AddUpCounts();
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
