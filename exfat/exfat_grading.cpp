// Grading deleted files of an exFAT volume: how much of the data placed for
// a file the bitmap, and newer deleted files placed over it, left untouched.
#include <algorithm>
#include <numeric>

#include "exfat/exfat_reader.h"
#include "volume/file_listing.h"

namespace exfat {

uint8_t ExfatReader::Grade(size_t fileIndex, int64_t takenByNewer) const {
    if (fileIndex >= found_.size())
        return kStatePoor;
    const Found& found = found_[fileIndex];
    // Data placed short of its length (past the heap's end) cannot all come
    // back, and without the bitmap nothing says what was taken again.
    if (found.clusterCount == 0 || found.clusterCount < found.wantedClusters || bitmap_.empty())
        return kStatePoor;
    const uint64_t wanted = found.clusterCount;
    uint64_t taken = 0;
    [&] {
        for (const ClusterRun& run : found.clusters)
            for (uint32_t k = 0; k < run.count; ++k, ++taken)
                if (InUse(run.first + k))
                    return;
    }();
    if (takenByNewer >= 0)
        taken = std::min(taken, static_cast<uint64_t>(takenByNewer));
    uint8_t grade = kStateExcellent;
    if (taken < wanted)
        grade = taken * 100 / wanted < 40 ? kStatePoor : kStateGood;
    // A set whose checksum fails was kept for its structure alone.
    if (!found.checksumMatches && grade == kStateExcellent)
        grade = kStateGood;
    return grade;
}

std::vector<int64_t> ExfatReader::TakenByNewerFiles() const {
    // From the newest deleted file to the oldest, each is checked against
    // the clusters the strictly newer ones were placed on, then adds its own.
    std::vector<int64_t> taken(found_.size(), -1);
    std::vector<size_t> order;
    for (size_t i = 0; i < found_.size(); ++i)
        if (found_[i].entryDeleted && found_[i].clusterCount)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return found_[a].created > found_[b].created; });
    std::vector<bool> claimed(uint64_t{geometry_.clusterCount} + 2);
    for (size_t g = 0; g < order.size();) {
        size_t end = g;
        while (end < order.size() && found_[order[end]].created == found_[order[g]].created)
            ++end;
        for (size_t k = g; k < end; ++k) {
            int64_t position = 0;
            for (const ClusterRun& run : found_[order[k]].clusters) {
                for (uint32_t c = 0; c < run.count && taken[order[k]] < 0; ++c, ++position)
                    if (run.first + c < claimed.size() && claimed[run.first + c])
                        taken[order[k]] = position;
                if (taken[order[k]] >= 0)
                    break;
            }
        }
        for (size_t k = g; k < end; ++k)
            for (const ClusterRun& run : found_[order[k]].clusters)
                for (uint32_t c = 0; c < run.count; ++c)
                    if (run.first + c < claimed.size())
                        claimed[run.first + c] = true;
        g = end;
    }
    return taken;
}

uint32_t ExfatReader::ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                                  std::vector<TMyFile*>* accepted) {
    if (!tree_.Holds(folders))
        tree_.Adopt(folders);
    const std::vector<int64_t> takenByNewer = TakenByNewerFiles();
    return volume::ListFiles(tree_, context_, files, folders, categories, accepted, [&](size_t i, TMyFile& file) {
        // Found by content, a file was graded by its walk.
        if (file.FoundBy == kFoundByRecord)
            file.State = Grade(i, i < takenByNewer.size() ? takenByNewer[i] : -1);
    });
}

volume::FolderTree::Setup ExfatReader::TreeSetup() {
    volume::FolderTree::Setup setup;
    setup.drive = drive_;
    // Parents are read before their children: nothing is looked up on the disk.
    setup.stopped = [this] { return context_.Progress && context_.Progress->StopRequested(); };
    return setup;
}

} // namespace exfat
