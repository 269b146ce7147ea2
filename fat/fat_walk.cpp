#include <algorithm>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "platform/clock.h"
#include "volume/raw_reader.h"
#include "volume/salvaging_read.h"
#include "volume/text.h"

using fat::EntryKind;

namespace {
namespace entry = fat::layout::entry;
constexpr int64_t kMaxRunBytes = 100 << 20;

// Whether the entry at `pos` lies in a sector that could not be read. The
// walk asks in ascending order, so each range is passed once.
class LostEntries {
public:
    explicit LostEntries(std::span<const platform::ByteRange> ranges) : ranges_(ranges) {}
    bool Has(size_t pos) {
        while (next_ < ranges_.size() && ranges_[next_].Offset + ranges_[next_].Length <= pos)
            ++next_;
        return next_ < ranges_.size() && ranges_[next_].Offset <= pos;
    }

private:
    std::span<const platform::ByteRange> ranges_;
    size_t next_ = 0;
};

} // namespace

void TDISK_FAT::ResetWalkState() {
    folderWalk_.clear();
    folderClusters_.clear();
    knownFirstClusters_.clear();
    pendingSearches_.clear();
    latestHint_.clear();
    fileEntryDeleted_.clear();
    searchReads_ = 0;
}

void TDISK_FAT::Walk(FileList& files, FolderList& folders) {
    tree_.Adopt(folders);
    auto root = std::make_unique<TMyFolder>();
    root->Drive = Drive;
    root->RecordPos = rootOffset_;
    TMyFolder* rootFolder = tree_.Append(std::move(root), kNoParent);
    FolderQueue.push_back(rootFolder);
    ++QueuedFolders;

    const bool rootFound = geometry_.FixedRoot() ? (SetFixedRootRuns(*rootFolder), true)
                                                 : BuildRuns(*rootFolder, BytesPerCluster, IndexOf(RootCluster), true);
    if (rootFound) {
        rootFolder->FolderName = Drive->DriveName;
        if (!geometry_.FixedRoot())
            ClaimFolderClusters(*rootFolder);
        folderWalk_.resize(folders.size());
        WalkQueue(files, folders);
        // Lost folders and the files found by content share one "Found by content".
        volume::FoundByContent found(Drive, tree_);
        if (context_.SearchFreeSpace && !IsStopped()) {
            percentBase_ = 50;
            percentScale_ = context_.SearchByContent ? 0.25 : 0.5;
            SetDiskPercent(0);
            FindLostFolders(files, folders, found);
            WalkQueue(files, folders, false);  // the folders inside the lost ones
        }
        if (!IsStopped())
            RunFirstClusterSearches();
        // Last, once every file's first cluster is known: what lies in the
        // clusters left is what no entry leads to.
        if (context_.SearchByContent && !IsStopped()) {
            SearchFreeSpace(files, folders, found);
            percentBase_ = 0;  // the search filled the bar: it stays full
            percentScale_ = 1.0;
        }
    }
    FolderQueue.clear();
    SetDiskPercent(100.0);
}

void TDISK_FAT::WalkQueue(FileList& files, FolderList& folders, bool reportPercent) {
    for (uint64_t i = 0; !FolderQueue.empty() && !IsStopped(); ++i) {
        ReadFolder(*FolderQueue.front(), files, folders);
        if (!reportPercent) {
            FolderQueue.pop_front();
            continue;
        }
        if (i == 0)
            SetDiskPercent(100.0 / static_cast<double>(FolderQueue.size()));
        FolderQueue.pop_front();
        if (i > 0 && !FolderQueue.empty())
            SetDiskPercent(Percent + (100.0 - Percent) / static_cast<double>(FolderQueue.size()));
    }
}

bool TDISK_FAT::ReadFolder(TMyFolder& folder, FileList& files, FolderList& folders) {
    std::vector<uint8_t> data;
    // Sectors that could not be read cost only the entries in them: they are
    // zero-filled, which would read as the folder's end, so they are listed
    // (as offsets into `data`) for the parse to pass over.
    std::vector<platform::ByteRange> lost;
    uint32_t lostClusters = 0;
    bool failed = false;
    for (const TMyFileRun& run : folder.Runs) {
        if (IsStopped() || run.RunLength > kMaxRunBytes) {
            failed = true;
            break;
        }
        if (run.RunStart < 0 || run.RunStart > Drive->VolumeBytes || run.RunLength > Drive->VolumeBytes - run.RunStart) {
            failed = true;
            continue;
        }
        const size_t at = data.size();
        data.resize(at + static_cast<size_t>(run.RunLength));
        const uint64_t start = static_cast<uint64_t>(run.RunStart);
        const volume::SalvagedRead read = volume::ReadSalvaging(Drive->Source.get(), data.data() + at,
                                                                static_cast<uint32_t>(run.RunLength), start, stop_.Flag(),
                                                                Damage());
        if (read.Cancelled) {
            failed = true;
            break;
        }
        uint64_t lastCluster = UINT64_MAX;
        for (const platform::ByteRange& range : read.Unreadable) {
            lost.push_back({range.Offset - start + at, range.Length});
            const uint64_t first = (range.Offset - start) / BytesPerCluster;
            const uint64_t last = (range.Offset + range.Length - 1 - start) / BytesPerCluster;
            lostClusters += static_cast<uint32_t>(last - first + 1 - (first == lastCluster ? 1 : 0));
            lastCluster = last;
        }
    }
    if (lostClusters && Damage())
        Damage()->FolderClusters.fetch_add(lostClusters, std::memory_order_relaxed);
    LostEntries lostEntries(lost);
    uint64_t lostBytes = 0;
    for (const platform::ByteRange& range : lost)
        lostBytes += range.Length;
    if (folder.ListIndex == 0 && !data.empty() && lostBytes == data.size())
        outcome_ = volume::ReadOutcome::RootFolderUnreadable;
    // Every folder but the root begins with "."; one that does not was overwritten.
    if (data.size() > 2 * entry::kSize && folder.ListIndex != 0 && !lostEntries.Has(0) &&
        !fat::IsDotEntry(std::span<const uint8_t>(data).first(entry::kSize)))
        failed = true;
    if (failed)
        return false;
    const size_t at = static_cast<size_t>(folder.ListIndex);
    if (at < folderWalk_.size() && folderWalk_[at].chainLost)
        ReadOnPastFirstCluster(folder, data);
    ParseEntries(folder, data, files, folders, lost);
    return true;
}

void TDISK_FAT::ReadOnPastFirstCluster(TMyFolder& folder, std::vector<uint8_t>& data) {
    // Deleting a folder frees its chain, but like a file's its clusters most
    // often follow one another: read on while the next cluster is free, is no
    // other folder's, and still reads as directory entries.
    if (folder.Runs.empty() || BytesPerCluster == 0)
        return;
    const uint64_t maxClusters = std::max<uint64_t>(1, kMaxDirectoryBytes / BytesPerCluster);
    uint64_t clusters = 0;
    for (const TMyFileRun& run : folder.Runs)
        clusters += static_cast<uint64_t>(run.RunLength) / BytesPerCluster;
    const TMyFileRun& tail = folder.Runs.back();
    uint64_t last = static_cast<uint64_t>(tail.RunStart + tail.RunLength - OffsetOf(0)) / BytesPerCluster - 1;
    std::span<const uint8_t> lastCluster(data);
    lastCluster = lastCluster.last(std::min<size_t>(data.size(), BytesPerCluster));
    if (fat::EndsDirectory(lastCluster))
        return;
    for (; clusters < maxClusters && !IsStopped(); ++clusters) {
        const uint64_t next = last + 1;
        if (FatEntry(next) != 0 || folderClusters_.count(next))
            return;
        auto bytes =
            volume::ReadBytes(Drive->Source.get(), static_cast<uint64_t>(OffsetOf(next)), BytesPerCluster);
        if (!bytes || !fat::LooksLikeDirectoryContinuation(*bytes))
            return;
        folderClusters_.insert(next);
        data.insert(data.end(), bytes->begin(), bytes->end());
        folder.Runs.back().RunLength += BytesPerCluster;
        last = next;
        if (fat::EndsDirectory(*bytes))
            return;
    }
}

bool TDISK_FAT::ParseEntries(TMyFolder& parsed, std::span<uint8_t> data, FileList& files, FolderList& folders,
                             std::span<const platform::ByteRange> lost) {
    CollectHints(data);
    volume::ProgressSink* progress = context_.Progress;
    LostEntries lostEntries(lost);
    for (size_t pos = 0;; pos += entry::kSize) {
        if (IsStopped())
            return false;
        if (pos + entry::kSize > data.size())
            return true;
        if (lostEntries.Has(pos))
            continue;
        if (fat::IsDotEntry(data.subspan(pos, entry::kSize)))
            continue;
        if (data[pos + entry::kName] == entry::kEndOfDirectory)
            return true;
        std::string name;
        if (data[pos + entry::kAttributes] == entry::kAttrLongName) {
            fat::LongName longName = fat::ReadLongName(data, pos);
            if (pos + entry::kSize <= data.size() && lostEntries.Has(pos))
                continue;  // the name's short entry lies in a lost sector
            if (pos + entry::kSize > data.size() || data[pos + entry::kName] == entry::kEndOfDirectory)
                return true;
            if (data[pos + entry::kAttributes] == entry::kAttrLongName) {
                pos -= entry::kSize;  // an orphaned name; the next run of pieces starts a name of its own
                continue;
            }
            // Pieces whose sum does not fit the short entry after them are
            // left over from an older name that once used these slots.
            if (fat::LongNameBelongsTo(longName.checksum, data.subspan(pos, entry::kSize), longName.text))
                name = std::move(longName.text);
        }
        std::span<uint8_t> e = data.subspan(pos, entry::kSize);
        const EntryKind kind = fat::KindOf(e[entry::kAttributes]);
        if (kind != EntryKind::File && kind != EntryKind::Folder)
            continue;
        if (const uint32_t first = fat::FirstClusterOf(e, geometry_); first >= fat::layout::table::kFirstData) {
            if (knownBeforeLostSearch_ && knownBeforeLostSearch_->count(first))
                continue;
            knownFirstClusters_.push_back(first);
        }
        if (name.empty())
            name = fat::ShortName(e);
        const bool deleted = e[entry::kName] == fat::kDeletedMark;
        if (kind == EntryKind::Folder) {
            const uint64_t index = IndexOf(fat::FirstClusterOf(e, geometry_));
            auto folder = std::make_unique<TMyFolder>();
            folder->ModifiedTime = fat::EntryModifiedTime(e);
            folder->CreatedTime = fat::EntryCreatedTime(e);
            if (deleted) {
                // A deleted folder whose first cluster is taken again holds something else now.
                if (FatEntry(index) == 0 && BuildRuns(*folder, BytesPerCluster, index, false)) {
                    folder->IsDeleted = true;
                    folder->ParentIndex = parsed.ListIndex;
                    RegisterFolder(std::move(folder), name, folders, true);
                }
            } else if (BuildRuns(*folder, BytesPerCluster, index, false)) {
                folder->IsDeleted = parsed.IsDeleted;
                folder->ParentIndex = parsed.ListIndex;
                // An entry left alone inside a deleted folder may have lost its chain all the same.
                RegisterFolder(std::move(folder), name, folders, FatEntry(index) == 0);
            }
            continue;
        }
        if (deleted) {
            auto file = MakeFile(e, parsed, std::move(name));
            if (TMyFile* kept = RegisterFile(std::move(file), files, true))
                QueueFirstClusterSearch(e, *kept);
        } else if (parsed.IsDeleted) {
            RegisterFile(MakeFile(e, parsed, std::move(name)), files, false);
        }
        if (progress)
            progress->RecordRead();
    }
}

std::unique_ptr<TMyFile> TDISK_FAT::MakeFile(std::span<const uint8_t> e, const TMyFolder& parsed, std::string name) {
    auto file = std::make_unique<TMyFile>();
    file->Drive = Drive;
    file->FolderIndex = parsed.ListIndex;
    fat::FillFromEntry(e, geometry_, *file);
    file->FileName = std::move(name);
    file->FileSize = fat::FileSizeOf(e);
    file->Extension = volume::ExtensionOf(file->FileName);
    return file;
}

bool TDISK_FAT::ClaimFolderClusters(TMyFolder& folder) {
    // Each cluster is walked as part of one folder only: an entry that leads
    // to a folder already taken (cross-linked folders, or one pointing back
    // up the tree) would repeat it and everything below it.
    for (size_t r = 0; r < folder.Runs.size(); ++r) {
        TMyFileRun& run = folder.Runs[r];
        const uint64_t first = static_cast<uint64_t>(run.RunStart - OffsetOf(0)) / BytesPerCluster;
        const uint64_t count = static_cast<uint64_t>(run.RunLength) / BytesPerCluster;
        for (uint64_t k = 0; k < count; ++k) {
            if (folderClusters_.insert(first + k).second)
                continue;
            if (r == 0 && k == 0)
                return false;
            // A chain that runs into another folder's clusters ends where it meets them.
            run.RunLength = static_cast<int64_t>(k * BytesPerCluster);
            folder.Runs.resize(k ? r + 1 : r);
            return true;
        }
    }
    return true;
}

void TDISK_FAT::RegisterFolder(std::unique_ptr<TMyFolder> folder, const std::string& name, FolderList& folders,
                               bool chainLost) {
    folder->FolderName = folder->DisplayName = name;
    if (folder->RecordPos == rootOffset_)
        return;  // an entry that points back at the root
    // Every folder needs a cluster of its own, and every level of nesting one more.
    if (!tree_.Holds(folders))
        tree_.Adopt(folders);  // entries parsed on their own, outside a walk
    const uint32_t depth = tree_.DepthOf(folder->ParentIndex) + 1;
    if (FoldersFound >= DataClusterCount() || depth > kMaxFolderDepth || depth > DataClusterCount())
        return;
    if (!ClaimFolderClusters(*folder))
        return;
    FolderQueue.push_back(tree_.Append(std::move(folder), kNoParent));
    folderWalk_.resize(folders.size());
    folderWalk_.back() = FolderWalk{chainLost};
    ++FoldersFound;
}

TMyFile* TDISK_FAT::RegisterFile(std::unique_ptr<TMyFile> file, FileList& files, bool entryDeleted) {
    volume::ProgressSink* progress = context_.Progress;
    if (progress)
        progress->RecordRead();
    if (file->DataPos == rootOffset_)
        return nullptr;
    file->ListIndex = static_cast<int32_t>(files.size());
    TMyFile* kept = file.get();
    files.push_back(std::move(file));
    fileEntryDeleted_.resize(files.size());
    fileEntryDeleted_.back() = entryDeleted;
    if (progress)
        progress->FileFound();
    return kept;
}
