#include <algorithm>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "platform/clock.h"
#include "scan/progress.h"
#include "volume/raw_reader.h"
#include "volume/text.h"

using fat::EntryKind;

namespace {
constexpr int64_t kMaxRunBytes = 100 << 20;

std::optional<platform::CalendarTime> DecodeDate(uint16_t v) {
    platform::CalendarTime t;
    t.day = v & 0x1F;
    t.month = (v >> 5) & 0x0F;
    t.year = 1980 + (v >> 9);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > kDays[t.month - 1])
        return std::nullopt;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month == 2 && t.day == 29 && !leap)
        return std::nullopt;
    return t;
}

bool DecodeTime(uint16_t v, platform::CalendarTime& t) {
    const int halfSeconds = v & 0x1F, minutes = (v >> 5) & 0x3F, hours = v >> 11;
    if (halfSeconds >= 30 || minutes >= 60 || hours >= 24)
        return false;
    t.second = halfSeconds * 2;
    t.minute = minutes;
    t.hour = hours;
    return true;
}

// The volume holds local time; file times are UTC.
std::optional<FileTime> EntryTime(uint16_t date, std::optional<uint16_t> time) {
    auto t = DecodeDate(date);
    if (!t || (time && !DecodeTime(*time, *t)))
        return std::nullopt;
    return platform::LocalCalendarToFileTime(*t);
}
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
    auto root = std::make_unique<TMyFolder>();
    root->Drive = Drive;
    root->ParentIndex = kRootParent;
    root->RecordPos = rootOffset_;
    root->ListIndex = static_cast<int32_t>(folders.size());
    TMyFolder* rootFolder = root.get();
    folders.push_back(std::move(root));
    FolderQueue.push_back(rootFolder);
    ++QueuedFolders;

    if (BuildRuns(*rootFolder, BytesPerCluster, IndexOf(RootCluster), true)) {
        rootFolder->FolderName = Drive->DriveName;
        rootFolder->ParentIndex = kRootParent;
        ClaimFolderClusters(*rootFolder);
        folderWalk_.resize(folders.size());
        for (uint64_t i = 0; !FolderQueue.empty() && !IsStopped(); ++i) {
            ReadFolder(*FolderQueue.front(), files, folders);
            if (i == 0)
                SetDiskPercent(100.0 / static_cast<double>(FolderQueue.size()));
            FolderQueue.pop_front();
            if (i > 0 && !FolderQueue.empty())
                SetDiskPercent(Percent + (100.0 - Percent) / static_cast<double>(FolderQueue.size()));
        }
        if (!IsStopped())
            RunFirstClusterSearches();
    }
    FolderQueue.clear();
    SetDiskPercent(100.0);
}

bool TDISK_FAT::ReadFolder(TMyFolder& folder, FileList& files, FolderList& folders) {
    std::vector<uint8_t> data;
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
        auto bytes = volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(run.RunStart),
                                       static_cast<uint32_t>(run.RunLength));
        if (!bytes) {
            failed = true;
            continue;
        }
        data.insert(data.end(), bytes->begin(), bytes->end());
    }
    // Every folder but the root begins with "."; one that does not was overwritten.
    if (data.size() > 64 && folder.ListIndex != 0 && !IsDotEntry(std::span<const uint8_t>(data).first(32)))
        failed = true;
    if (failed)
        return false;
    const size_t at = static_cast<size_t>(folder.ListIndex);
    if (at < folderWalk_.size() && folderWalk_[at].chainLost)
        ReadOnPastFirstCluster(folder, data);
    ParseEntries(folder, data, files, folders);
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
            volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(OffsetOf(next)), BytesPerCluster);
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

bool TDISK_FAT::IsDotEntry(std::span<const uint8_t> entry) {
    std::string name;
    for (size_t i = 0; i < 8 && i < entry.size() && entry[i] != ' '; ++i)
        name += static_cast<char>(entry[i]);
    return name == "." || name == "..";
}

bool TDISK_FAT::ParseEntries(TMyFolder& parsed, std::span<uint8_t> data, FileList& files, FolderList& folders) {
    CollectHints(data);
    TUnDeleteProgress* progress = context_.Progress;
    for (size_t pos = 0;; pos += 32) {
        if (IsStopped())
            return false;
        if (pos + 32 > data.size())
            return true;
        if (IsDotEntry(data.subspan(pos, 32)))
            continue;
        if (data[pos] == 0x00)
            return true;
        std::string name;
        if (data[pos + 11] == fat::kAttrLongName) {
            LongName longName = ReadLongName(data, pos);
            if (pos + 32 > data.size() || data[pos] == 0x00)
                return true;
            if (data[pos + 11] == fat::kAttrLongName) {
                pos -= 32;  // an orphaned name; the next run of pieces starts a name of its own
                continue;
            }
            // Pieces whose sum does not fit the short entry after them are
            // left over from an older name that once used these slots.
            if (fat::LongNameBelongsTo(longName.checksum, data.subspan(pos, 32), longName.text))
                name = std::move(longName.text);
        }
        std::span<uint8_t> e = data.subspan(pos, 32);
        const EntryKind kind = fat::KindOf(e[11]);
        if (kind != EntryKind::File && kind != EntryKind::Folder)
            continue;
        if (const uint32_t first = fat::FirstClusterOf(e); first >= 2)
            knownFirstClusters_.push_back(first);
        if (name.empty())
            name = ShortName(e);
        const bool deleted = e[0] == fat::kDeletedMark;
        if (kind == EntryKind::Folder) {
            const uint64_t index = IndexOf(fat::FirstClusterOf(e));
            auto folder = std::make_unique<TMyFolder>();
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
            progress->FRecordsRead.Add(1);
    }
}

void TDISK_FAT::FillFromEntry(std::span<const uint8_t> e, TMyFile& file) const {
    if (auto t = EntryTime(fat::EntryU16(e, 16), fat::EntryU16(e, 14)))
        file.CreatedTime = *t;
    if (auto t = EntryTime(fat::EntryU16(e, 18), std::nullopt))
        file.AccessedTime = *t;
    if (auto t = EntryTime(fat::EntryU16(e, 24), fat::EntryU16(e, 22))) {
        file.ModifiedTime = *t;
        file.HasTimes = true;
    }
    file.Runs.clear();
    // Cluster numbers 0 and 1 name the table's reserved slots, not data: such
    // an entry has lost the position of its data.
    const uint32_t first = fat::FirstClusterOf(e);
    if (first < 2) {
        file.DataPos = 0;
        return;
    }
    file.DataPos = OffsetOf(IndexOf(first));
    file.Runs.push_back(TMyFileRun{file.DataPos, fat::FileSizeOf(e), 0, true});
}

std::unique_ptr<TMyFile> TDISK_FAT::MakeFile(std::span<const uint8_t> e, const TMyFolder& parsed, std::string name) {
    auto file = std::make_unique<TMyFile>();
    file->Drive = Drive;
    file->FolderIndex = parsed.ListIndex;
    FillFromEntry(e, *file);
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

uint32_t TDISK_FAT::DepthOf(int64_t listIndex) const {
    if (listIndex < 0 || static_cast<uint64_t>(listIndex) >= folderWalk_.size())
        return 0;
    return folderWalk_[static_cast<size_t>(listIndex)].depth;
}

void TDISK_FAT::RegisterFolder(std::unique_ptr<TMyFolder> folder, const std::string& name, FolderList& folders,
                               bool chainLost) {
    folder->FolderName = folder->DisplayName = name;
    if (folder->RecordPos == rootOffset_)
        return;  // an entry that points back at the root
    // Every folder needs a cluster of its own, and every level of nesting one more.
    const uint32_t depth = DepthOf(folder->ParentIndex) + 1;
    if (FoldersFound >= DataClusterCount() || depth > kMaxFolderDepth || depth > DataClusterCount())
        return;
    if (!ClaimFolderClusters(*folder))
        return;
    folder->ListIndex = static_cast<int32_t>(folders.size());
    FolderQueue.push_back(folder.get());
    folders.push_back(std::move(folder));
    folderWalk_.resize(folders.size());
    folderWalk_.back() = FolderWalk{depth, chainLost};
    ++FoldersFound;
}

TMyFile* TDISK_FAT::RegisterFile(std::unique_ptr<TMyFile> file, FileList& files, bool entryDeleted) {
    TUnDeleteProgress* progress = context_.Progress;
    if (progress)
        progress->FRecordsRead.Add(1);
    if (file->DataPos == rootOffset_)
        return nullptr;
    file->ListIndex = static_cast<int32_t>(files.size());
    TMyFile* kept = file.get();
    files.push_back(std::move(file));
    fileEntryDeleted_.resize(files.size());
    fileEntryDeleted_.back() = entryDeleted;
    if (progress)
        progress->FFoundCount.Add(1);
    return kept;
}
