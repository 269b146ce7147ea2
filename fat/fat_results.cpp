#include <algorithm>

#include "fat/fat_disk.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"

uint8_t TDISK_FAT::GradeByTable(const TMyFile& file) const {
    // Every cluster the file's run covers, as the table sees it now.
    if (BytesPerCluster == 0 || file.DataPos < OffsetOf(0))
        return kStatePoor;
    const uint64_t first = static_cast<uint64_t>(file.DataPos - OffsetOf(0)) / BytesPerCluster;
    const uint64_t clusters = (static_cast<uint64_t>(file.FileSize) + BytesPerCluster - 1) / BytesPerCluster;
    for (uint64_t j = 0; j < clusters; ++j) {
        if (FatEntry(first + j) != 0) {
            const uint64_t percent = j * 100 / clusters;
            return percent < 40 ? kStatePoor : kStateGood;
        }
    }
    return kStateExcellent;
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

    const uint32_t unit = progress ? static_cast<uint32_t>(progress->FUnitSize) : 10u << 20;
    uint32_t count = 0;
    for (auto& owned : files) {
        TMyFile& file = *owned;
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
        file.State = GradeByTable(file);
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
