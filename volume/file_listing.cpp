#include "volume/file_listing.h"

#include <algorithm>

namespace volume {

uint32_t ListFiles(FolderTree& tree, const ReaderContext& context, FileList& files, FolderList& folders,
                   CategoryList* categories, std::vector<TMyFile*>* accepted, const GradeFile& grade) {
    ProgressSink* progress = context.Progress;
    const FileFilter* filter = context.Filter;
    const uint32_t unit = progress ? progress->UnitSize() : kDefaultUnitSize;
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
        tree.PlaceFile(file);
        tree.BuildPath(file);
        if (grade)
            grade(i, file);
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
    tree.AddUpCounts();
    return count;
}

} // namespace volume
