#include <algorithm>

#include "fat/fat_disk.h"
#include "fat/newer_overlap.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"

fat::FreeClusterMap TDISK_FAT::FreeClusters() const {
    return fat::FreeClusterMap(DataStartCluster, DataEndIndex, [this](uint64_t i) { return FatEntry(i) == 0; });
}

uint8_t TDISK_FAT::Grade(const TMyFile& file, const fat::FreeClusterMap& free, int64_t takenByNewer) const {
    // A file without a data position has nothing to recover.
    if (BytesPerCluster == 0 || file.Runs.empty() || file.DataPos < OffsetOf(DataStartCluster))
        return kStatePoor;
    const uint64_t first = static_cast<uint64_t>(file.DataPos - OffsetOf(0)) / BytesPerCluster;
    const uint64_t clusters = (static_cast<uint64_t>(file.FileSize) + BytesPerCluster - 1) / BytesPerCluster;
    // Data said to reach past the last cluster cannot all be read back.
    if (!InDataArea(first) || clusters > DataEndIndex - first)
        return kStatePoor;
    // The first cluster taken again, by a live file (the table) or by a newer deleted one.
    uint64_t taken = free.FirstInUse(first, first + clusters) - first;
    if (takenByNewer >= 0)
        taken = std::min(taken, static_cast<uint64_t>(takenByNewer));
    if (taken >= clusters)
        return kStateExcellent;
    return taken * 100 / clusters < 40 ? kStatePoor : kStateGood;
}

std::vector<int64_t> TDISK_FAT::TakenByNewerFiles(const FileList& files, const fat::FreeClusterMap& free) const {
    std::vector<fat::AssumedPlace> places(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const TMyFile& file = *files[i];
        const size_t at = static_cast<size_t>(file.ListIndex);
        // Live files in deleted folders hold their clusters in the table already.
        const bool deleted = file.ListIndex >= 0 && at < fileEntryDeleted_.size() && fileEntryDeleted_[at];
        if (!deleted || file.Runs.empty() || file.FileSize <= 0 || BytesPerCluster == 0 ||
            file.DataPos < OffsetOf(DataStartCluster))
            continue;
        const uint64_t first = static_cast<uint64_t>(file.DataPos - OffsetOf(0)) / BytesPerCluster;
        const uint64_t clusters = (static_cast<uint64_t>(file.FileSize) + BytesPerCluster - 1) / BytesPerCluster;
        if (!InDataArea(first) || clusters > DataEndIndex - first)
            continue;  // graded Poor whatever else holds its clusters
        places[i] = fat::AssumedPlace{file.CreatedTime, first, clusters};
    }
    return fat::FirstTakenByNewer(places, free);
}

uint32_t TDISK_FAT::AssembleResults(FileList& files, FolderList& folders, CategoryList* categories,
                                    std::vector<TMyFile*>* accepted) {
    TUnDeleteProgress* progress = context_.Progress;
    const TScanFileType* types = context_.Types;
    const TScanPath* paths = context_.Paths;

    FoldersBeforeUnknown = static_cast<uint32_t>(folders.size());
    auto unknown = std::make_unique<TMyFolder>();
    unknown->Drive = Drive;
    unknown->FolderName = unknown->DisplayName = "Unkown";
    unknown->IsDeleted = true;
    unknown->ParentIndex = 0;
    unknown->ListIndex = static_cast<int32_t>(folders.size());
    folders.push_back(std::move(unknown));

    const fat::FreeClusterMap free = FreeClusters();
    const std::vector<int64_t> takenByNewer = TakenByNewerFiles(files, free);

    const uint32_t unit = progress ? static_cast<uint32_t>(progress->FUnitSize) : 10u << 20;
    uint32_t count = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        TMyFile& file = *files[i];
        if (progress) {
            progress->AddListed(1);
            progress->WaitWhilePaused();
            if (progress->FScanCancelled)
                break;
        }
        if (file.FileSize == 0)
            continue;
        file.Accepted = false;
        if (types && !types->FAllOn && !types->IsSelected(file.Extension))
            continue;
        AttachToFolder(file, folders);
        file.State = Grade(file, free, takenByNewer[i]);
        if (paths && !paths->KeepsFile(Drive->DriveName, file.FolderPath))
            continue;
        ++count;
        file.Accepted = true;
        if (file.FolderIndex >= 0 && static_cast<size_t>(file.FolderIndex) < folders.size())
            folders[static_cast<size_t>(file.FolderIndex)]->FileCount += 1;
        file.PreviewKind = types ? types->PreviewKindOf(file.Extension) : 0;
        const int64_t steps = file.FileSize / unit + (file.FileSize % unit ? 1 : 0);
        file.ProgressUnits = static_cast<uint16_t>(std::min<int64_t>(int64_t{file.ProgressUnits} + steps, UINT16_MAX));
        if (accepted)
            accepted->push_back(&file);
        if (categories && types)
            (*categories)[static_cast<size_t>(types->CategoryOf(file.Extension))]->CountExtension(file.Extension);
    }
    AccumulateCounts(folders);
    AcceptedFiles = count;
    return count;
}

void TDISK_FAT::AttachToFolder(TMyFile& file, FolderList& folders) {
    if (file.FolderIndex < 0 || static_cast<size_t>(file.FolderIndex) >= folders.size())
        return;
    TMyFolder* p = folders[static_cast<size_t>(file.FolderIndex)].get();
    p->Files.push_back(&file);
    file.InFolder = true;
    if (p->ParentIndex < 0 || static_cast<size_t>(p->ParentIndex) >= folders.size())
        return;
    file.FolderPath = p->FolderName + "\\";
    // Parents always come before their children in the list, so this climbs to the root.
    for (size_t steps = 0; steps < folders.size(); ++steps) {
        TMyFolder* q = folders[static_cast<size_t>(p->ParentIndex)].get();
        if (!p->InParent) {
            q->SubFolders.push_back(p);
            p->InParent = true;
        }
        if (q->ParentIndex < 0 || static_cast<size_t>(q->ParentIndex) >= folders.size())
            return;
        file.FolderPath = q->FolderName + "\\" + file.FolderPath;
        p = q;
    }
}

bool TDISK_FAT::AccumulateCounts(FolderList& folders) {
    for (size_t i = folders.size(); i-- > 0;) {
        if (context_.Progress && context_.Progress->FScanCancelled)
            return false;
        TMyFolder* folder = folders[i].get();
        if (folder->ParentIndex >= 0 && static_cast<size_t>(folder->ParentIndex) < folders.size() &&
            folder->ParentIndex != folder->ListIndex) {
            TMyFolder* parent = folders[static_cast<size_t>(folder->ParentIndex)].get();
            parent->FileCount += folder->FileCount;
            if (!folder->InParent) {
                parent->SubFolders.push_back(folder);
                folder->InParent = true;
            }
        }
    }
    return true;
}
