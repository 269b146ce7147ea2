#include <algorithm>

#include "ntfs/ntfs_disk.h"
#include "scan/progress.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"

using volume::ByteReader;

namespace {
constexpr int64_t kRootRecord = 5;
constexpr uint32_t kChunkBytes = 10u << 20;

enum : uint16_t { kDeletedFile = 0, kFileInUse = 1, kDeletedDirectory = 2, kDirectoryInUse = 3 };

bool HasFileMagic(std::span<const uint8_t> r) { return r[0] == 'F' && r[1] == 'I' && r[2] == 'L' && r[3] == 'E'; }
} // namespace

void TNTFS_Disk::Enumerate(FileList& files, FolderList& folders) {
    if (!MftFile)
        return;
    files.clear();
    folders.clear();
    folders_ = &folders;
    folderByRecord_.clear();
    directories_.clear();
    recordSeen_.clear();
    StopFlag = false;
    AcceptedCount = 0;

    auto root = ReadRecord(kRootRecord);
    if (!root)
        return;  // without the root nothing can be placed
    auto rootFolder = std::make_unique<TMyFolder>();
    rootFolder->Drive = Drive;
    ParseFolderRecord(*rootFolder, root->bytes);
    rootFolder->ParentIndex = -1;
    rootFolder->ParentRecordNo = -1;
    rootFolder->RecordNo = kRootRecord;
    rootFolder->InParent = true;
    AppendFolder(std::move(rootFolder));

    ScanMft(files);
}

void TNTFS_Disk::ScanMft(FileList& files) {
    TUnDeleteProgress* progress = context_.Progress;
    // The MFT's length is read from the volume: never trust it past the volume's own size.
    recordSeen_.assign(static_cast<size_t>(std::min(MftSize, Drive->VolumeBytes) / RecordSize), false);
    std::vector<uint8_t> chunk(kChunkBytes);
    std::vector<uint8_t> pending;  // the first piece of a record that straddles two reads
    int64_t pendingPos = -1, pendingLogical = -1;
    int64_t logical = 0;
    double done = 0;

    for (const TMyFileRun& run : MftFile->Runs) {
        if (IsStopped())
            break;
        int64_t remaining = run.RunLength, pos = run.RunStart;
        if (run.IsHole || pos < 0 || pos > Drive->VolumeBytes || remaining > Drive->VolumeBytes - pos) {
            logical += run.RunLength;
            pending.clear();
            continue;
        }
        while (remaining > 0 && !IsStopped()) {
            const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(remaining, kChunkBytes));
            done += n;
            if (progress)
                progress->FDiskPercent = MftSize ? done / static_cast<double>(MftSize) * 100.0 : 100.0;
            uint32_t got = n;
            // A short read (a truncated image) still yields the records it holds.
            volume::ReadBlock(Drive->VolumeHandle.get(), chunk.data(), got, false, &StopFlag, static_cast<uint64_t>(pos));
            std::span<uint8_t> bytes(chunk.data(), std::min(got, n));

            size_t first = static_cast<size_t>((RecordSize - logical % RecordSize) % RecordSize);
            if (!pending.empty() && pendingLogical + static_cast<int64_t>(pending.size()) == logical &&
                first <= bytes.size() && first > 0) {
                const uint32_t firstPiece = static_cast<uint32_t>(pending.size());
                pending.insert(pending.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(first));
                ScanRecord(pending, pendingLogical / RecordSize, pendingPos, firstPiece, pos, files);
            }
            pending.clear();
            size_t off = first;
            for (; off + RecordSize <= bytes.size(); off += RecordSize) {
                if (IsStopped())
                    break;
                ScanRecord(bytes.subspan(off, RecordSize), (logical + static_cast<int64_t>(off)) / RecordSize,
                           pos + static_cast<int64_t>(off), 0, -1, files);
            }
            if (bytes.size() == n && off < n) {
                pending.assign(bytes.begin() + static_cast<std::ptrdiff_t>(off), bytes.end());
                pendingPos = pos + static_cast<int64_t>(off);
                pendingLogical = logical + static_cast<int64_t>(off);
            }
            remaining -= n;
            pos += n;
            logical += n;
        }
    }
}

void TNTFS_Disk::ScanRecord(std::span<uint8_t> record, int64_t index, int64_t position, uint32_t splitLength,
                            int64_t splitStart, FileList& files) {
    TUnDeleteProgress* progress = context_.Progress;
    if (progress) {
        progress->FParsedRecords.Add(1.0);
        progress->FRecordsRead.Add(1);
    }
    if (index >= 0 && static_cast<size_t>(index) < recordSeen_.size())
        recordSeen_[static_cast<size_t>(index)] = true;
    ByteReader r(record.data(), record.size());
    const uint32_t inUse = *r.u32(24);
    // A damaged record is passed over on its own; its neighbours are still read.
    if (!HasFileMagic(record) || inUse == 0 || inUse > RecordSize)
        return;
    const uint16_t flags = *r.u16(22);
    const int64_t recordNo = *r.u16(4) >= 48 ? static_cast<int64_t>(*r.u32(44)) : index;

    switch (flags) {
    case kDeletedFile: {
        auto file = std::make_unique<TMyFile>();
        file->DataPos = file->RecordPos = position;
        file->Drive = Drive;
        file->RecordNo = recordNo;
        file->UpdateSeq = *r.u16(48);
        file->SavedTail = *r.u16(50);
        if (!ParseFileRecord(*file, record) || file->FileSize == 0)
            return;
        if (!file->Runs.empty() && !file->Runs[0].OnVolume && splitLength) {
            file->Runs[0].SplitLength = splitLength;
            file->Runs[0].SplitStart = splitStart;
        }
        file->ListIndex = static_cast<int32_t>(files.size());
        TMyFile* kept = file.get();
        files.push_back(std::move(file));
        kept->FolderIndex = FolderOf(kept->ParentRecordNo & 0xFFFFFFFF);
        if (progress)
            progress->FFoundCount.Add(1);
        break;
    }
    case kFileInUse:
        if (progress)
            progress->FFoundCount.Add(1);
        break;
    case kDeletedDirectory:
    case kDirectoryInUse: {
        DirectoryInfo info = ReadDirectoryInfo(record);
        info.deleted = flags == kDeletedDirectory;
        if (flags == kDeletedDirectory && info.parsed && FindFolder(recordNo) < 0) {
            auto folder = FolderFromInfo(info, recordNo);
            folder->RecordPos = position;
            TMyFolder* added = AppendFolder(std::move(folder));
            ResolveParent(added);
        }
        directories_[index] = std::move(info);
        break;
    }
    default:
        break;
    }
}

TNTFS_Disk::DirectoryInfo TNTFS_Disk::ReadDirectoryInfo(std::span<uint8_t> record) {
    TMyFolder scratch;
    DirectoryInfo info;
    info.parsed = ParseFolderRecord(scratch, record);
    info.name = std::move(scratch.FolderName);
    info.parent = scratch.ParentRecordNo;
    info.modified = scratch.ModifiedTime;
    return info;
}

std::unique_ptr<TMyFolder> TNTFS_Disk::FolderFromInfo(const DirectoryInfo& info, int64_t n) const {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = Drive;
    folder->RecordNo = n;
    folder->ParentRecordNo = info.parent;
    folder->ModifiedTime = info.modified;
    folder->IsDeleted = info.deleted;
    folder->FolderName = folder->DisplayName = info.name.empty() ? "DIRECTORY" + std::to_string(n) : info.name;
    return folder;
}

std::unique_ptr<TMyFolder> TNTFS_Disk::LoadParent(int64_t n) {
    if (n < 0 || n > (MftSize - RecordSize) / RecordSize || RecordOffset(n) <= 0)
        return nullptr;
    // Directory records met while reading the MFT are served from memory.
    if (static_cast<size_t>(n) < recordSeen_.size() && recordSeen_[static_cast<size_t>(n)]) {
        auto it = directories_.find(n);
        if (it == directories_.end() || !it->second.parsed)
            return nullptr;
        return FolderFromInfo(it->second, n);
    }
    auto record = ReadRecord(n);
    if (!record || record->bytes.size() < 24)
        return nullptr;
    const uint16_t flags = *ByteReader(record->bytes).u16(22);
    if (flags != kDeletedDirectory && flags != kDirectoryInUse)
        return nullptr;
    DirectoryInfo info = ReadDirectoryInfo(record->bytes);
    if (!info.parsed)
        return nullptr;
    info.deleted = flags == kDeletedDirectory;
    return FolderFromInfo(info, n);
}

std::unique_ptr<TMyFolder> TNTFS_Disk::Placeholder(int64_t n) const {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = Drive;
    folder->RecordNo = n;
    folder->ParentRecordNo = kRootRecord;
    folder->IsDeleted = true;
    folder->FolderName = folder->DisplayName = "DIRECTORY" + std::to_string(n);
    folder->RecordPos = 0;
    return folder;
}

TMyFolder* TNTFS_Disk::AppendFolder(std::unique_ptr<TMyFolder> folder) {
    folder->ListIndex = static_cast<int32_t>(folders_->size());
    folderByRecord_[folder->RecordNo] = folder->ListIndex;
    folders_->push_back(std::move(folder));
    return folders_->back().get();
}

void TNTFS_Disk::AttachToParent(TMyFolder* folder, TMyFolder* parent) {
    if (!folder->InParent) {
        parent->SubFolders.push_back(folder);
        folder->InParent = true;
    }
}

int32_t TNTFS_Disk::FindFolder(int64_t recordNo) const {
    if (!folders_ || folders_->empty())
        return -1;
    if (recordNo < 0)
        return 0;
    auto it = folderByRecord_.find(recordNo);
    return it == folderByRecord_.end() ? -1 : it->second;
}

int32_t TNTFS_Disk::FolderOf(int64_t recordNo) {
    if (IsStopped())
        return 0;
    auto it = folderByRecord_.find(recordNo);
    if (it != folderByRecord_.end())
        return it->second;
    TMyFolder* made;
    int64_t next;
    if (auto folder = LoadParent(recordNo)) {
        folder->RecordNo = recordNo;
        made = AppendFolder(std::move(folder));
        next = made->ParentRecordNo;
    } else {
        auto placeholder = Placeholder(recordNo);
        placeholder->ParentIndex = 0;
        made = AppendFolder(std::move(placeholder));
        next = kRootRecord;
    }
    if (next != kRootRecord)
        ResolveParent(made);
    return made->ListIndex;
}

void TNTFS_Disk::ResolveParent(TMyFolder* folder) {
    // Climbs towards the root, loading parents as needed. Each step adds a
    // folder for a record not yet in the list, so a loop in the parent
    // references ends when it meets a folder already there.
    while (folder) {
        if (folders_->empty() || IsStopped())
            return;
        TMyFolder* root = (*folders_)[0].get();
        const int32_t idx = FindFolder(folder->ParentRecordNo);
        if (idx >= 0) {
            folder->ParentIndex = idx;
            return;
        }
        if (folder->ParentRecordNo == kRootRecord) {
            AttachToParent(folder, root);
            return;
        }
        const int64_t p = folder->ParentRecordNo;
        TMyFolder* parent;
        int64_t next;
        if (auto loaded = LoadParent(p)) {
            loaded->RecordNo = p;
            parent = AppendFolder(std::move(loaded));
            folder->ParentIndex = parent->ListIndex;
            next = parent->ParentRecordNo;
        } else {
            auto placeholder = Placeholder(p);
            placeholder->ParentIndex = 0;
            parent = AppendFolder(std::move(placeholder));
            AttachToParent(folder, parent);
            AttachToParent(parent, root);
            folder->ParentIndex = parent->ListIndex;
            next = kRootRecord;
        }
        if (IsStopped())
            return;
        if (next == kRootRecord) {
            parent->ParentIndex = 0;
            AttachToParent(parent, root);
            return;
        }
        folder = parent;
    }
}

void TNTFS_Disk::AttachToFolder(TMyFile& file) {
    auto it = folderByRecord_.find(file.ParentRecordNo);
    TMyFolder* folder = nullptr;
    if (it != folderByRecord_.end()) {
        folder = (*folders_)[static_cast<size_t>(it->second)].get();
    } else {
        if (IsStopped())
            return;
        const int64_t p = file.ParentRecordNo;
        auto loaded = LoadParent(p);
        if (loaded) {
            loaded->RecordNo = p;
        } else {
            if (p < 0)
                return;
            loaded = Placeholder(p);
        }
        folder = AppendFolder(std::move(loaded));
    }
    file.FolderIndex = folder->ListIndex;
    folder->Files.push_back(&file);
    file.InFolder = true;
}

void TNTFS_Disk::BuildPath(TMyFile& file) {
    if (file.FolderIndex < 0 || static_cast<size_t>(file.FolderIndex) >= folders_->size())
        return;
    TMyFolder* folder = (*folders_)[static_cast<size_t>(file.FolderIndex)].get();
    if (folder->ListIndex != 0)
        file.FolderPath = folder->FolderName + "\\";
    // A damaged tree may loop; no path is longer than the list of folders.
    for (size_t steps = 0; steps <= folders_->size() && !IsStopped(); ++steps) {
        if (folder->ParentIndex < 0 && folder->ListIndex != 0)
            ResolveParent(folder);
        if (folder->ParentIndex < 0 || static_cast<size_t>(folder->ParentIndex) >= folders_->size())
            return;
        TMyFolder* parent = (*folders_)[static_cast<size_t>(folder->ParentIndex)].get();
        AttachToParent(folder, parent);
        if (parent->ListIndex == 0 || parent == folder)
            return;
        file.FolderPath = parent->FolderName + "\\" + file.FolderPath;
        folder = parent;
    }
}

void TNTFS_Disk::CountUp(TMyFile& file) {
    if (file.FolderIndex < 0 || static_cast<size_t>(file.FolderIndex) >= folders_->size())
        return;
    TMyFolder* folder = (*folders_)[static_cast<size_t>(file.FolderIndex)].get();
    folder->FileCount += 1;
    for (size_t steps = 0; steps <= folders_->size() && !IsStopped() && folder->ParentIndex != folder->ListIndex;
         ++steps) {
        if (folder->ParentIndex < 0 || static_cast<size_t>(folder->ParentIndex) >= folders_->size())
            return;
        TMyFolder* parent = (*folders_)[static_cast<size_t>(folder->ParentIndex)].get();
        parent->FileCount += 1;
        AttachToParent(folder, parent);
        folder = parent;
    }
}
