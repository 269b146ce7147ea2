#include "volume/lost_folder.h"

#include <string>

#include "volume/language.h"

namespace volume {

std::unique_ptr<TMyFolder> FoundByContentFolder(TDriverInfo* drive) {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = drive;
    folder->ParentIndex = 0;
    folder->IsDeleted = true;
    folder->FolderName = folder->DisplayName = LangText("M_FoundByContent", "Found by content");
    return folder;
}

std::unique_ptr<TMyFolder> LostFolder(TDriverInfo* drive, int32_t parentIndex, uint64_t number) {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = drive;
    folder->ParentIndex = parentIndex;
    folder->IsDeleted = true;
    folder->FolderName = folder->DisplayName = LangText("M_LostFolder", "Lost folder") + " " + std::to_string(number);
    return folder;
}

std::unique_ptr<TMyFolder> LostFolder(TDriverInfo* drive, int32_t parentIndex, uint64_t firstCluster,
                                      std::vector<TMyFileRun> runs) {
    auto folder = LostFolder(drive, parentIndex, firstCluster);
    folder->Runs = std::move(runs);
    folder->RecordPos = folder->Runs.front().RunStart;
    return folder;
}

} // namespace volume
