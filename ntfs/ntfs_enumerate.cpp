#include <algorithm>
#include <future>

#include "ntfs/ntfs_disk.h"
#include "platform/memory.h"
#include "scan/progress.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"

using volume::ByteReader;

namespace {
constexpr int64_t kRootRecord = 5;
constexpr uint32_t kChunkBytes = 10u << 20;

enum : uint16_t { kDeletedFile = 0, kFileInUse = 1, kDeletedDirectory = 2, kDirectoryInUse = 3 };

bool HasFileMagic(std::span<const uint8_t> r) { return r[0] == 'F' && r[1] == 'I' && r[2] == 'L' && r[3] == 'E'; }

// The parse reads a record's header and first attributes, which lie in its
// first 512 bytes; asking for them ahead keeps the parser from waiting on
// memory the read has just filled.
void PrefetchRecord(std::span<const uint8_t> chunk, size_t at) {
    if (at + 512 > chunk.size())
        return;
#if defined(__GNUC__) || defined(__clang__)
    for (size_t line = 0; line < 512; line += 64)
        __builtin_prefetch(chunk.data() + at + line);
#else
    (void)chunk;
    (void)at;
#endif
}
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

    // The MFT as a list of sequential reads of at most 10 MiB, in file order.
    struct Chunk {
        int64_t pos, logical;
        uint32_t length;
        bool startsRun;
    };
    std::vector<Chunk> chunks;
    int64_t logical = 0;
    for (const TMyFileRun& run : MftFile->Runs) {
        const bool inside = !run.IsHole && run.RunStart >= 0 && run.RunStart <= Drive->VolumeBytes &&
                            run.RunLength <= Drive->VolumeBytes - run.RunStart;
        for (int64_t done = 0; inside && done < run.RunLength; done += kChunkBytes) {
            const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(run.RunLength - done, kChunkBytes));
            chunks.push_back({run.RunStart + done, logical + done, n, done == 0});
        }
        logical += run.RunLength;
    }

    // While one chunk is parsed the next is read, so the disk never waits for the parser.
    struct Buffer {
        platform::LargeBuffer bytes;
        uint32_t got = 0;
    };
    auto readChunk = [this](const Chunk& c, Buffer& b) {
        b.got = 0;
        if (b.bytes.size() < c.length)
            b.bytes = platform::LargeBuffer(kChunkBytes);
        if (b.bytes.size() < c.length)
            return;  // no memory: the chunk reads as empty
        b.got = c.length;
        volume::ReadBlock(Drive->VolumeHandle.get(), b.bytes.data(), b.got, false, &StopFlag, static_cast<uint64_t>(c.pos));
    };
    Buffer current, next;
    std::future<void> pending;
    // The first two reads run side by side: each buffer's first filling costs
    // more than the ones after it.
    if (chunks.size() > 1)
        pending = std::async(std::launch::async, readChunk, std::cref(chunks[1]), std::ref(next));
    if (!chunks.empty())
        readChunk(chunks[0], current);

    std::vector<uint8_t> split;  // the first piece of a record that straddles two reads
    int64_t splitPos = -1, splitLogical = -1;
    double done = 0;
    for (size_t i = 0; i < chunks.size() && !IsStopped(); ++i) {
        if (i > 0 && i + 1 < chunks.size())
            pending = std::async(std::launch::async, readChunk, std::cref(chunks[i + 1]), std::ref(next));
        const Chunk& c = chunks[i];
        done += c.length;
        if (progress)
            progress->FDiskPercent = MftSize ? done / static_cast<double>(MftSize) * 100.0 : 100.0;
        // A short read (a truncated image) still yields the records it holds.
        std::span<uint8_t> bytes(current.bytes.data(), std::min(current.got, c.length));
        const size_t first = static_cast<size_t>((RecordSize - c.logical % RecordSize) % RecordSize);
        if (!split.empty() && splitLogical + static_cast<int64_t>(split.size()) == c.logical && first > 0 &&
            first <= bytes.size()) {
            const uint32_t firstPiece = static_cast<uint32_t>(split.size());
            split.insert(split.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(first));
            ScanRecord(split, splitLogical / RecordSize, splitPos, firstPiece, c.pos, files);
        }
        split.clear();
        size_t off = first;
        for (; off + RecordSize <= bytes.size() && !IsStopped(); off += RecordSize) {
            PrefetchRecord(bytes, off + 2 * RecordSize);
            ScanRecord(bytes.subspan(off, RecordSize), (c.logical + static_cast<int64_t>(off)) / RecordSize,
                       c.pos + static_cast<int64_t>(off), 0, -1, files);
        }
        if (bytes.size() == c.length && off < c.length) {
            split.assign(bytes.begin() + static_cast<std::ptrdiff_t>(off), bytes.end());
            splitPos = c.pos + static_cast<int64_t>(off);
            splitLogical = c.logical + static_cast<int64_t>(off);
        }
        if (pending.valid()) {
            pending.wait();
            std::swap(current, next);
        }
    }
    if (pending.valid())
        pending.wait();
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
    // The names from the file's folder up towards the root, joined once at the end.
    std::vector<const std::string*>& names = pathNames_;
    names.clear();
    if (folder->ListIndex != 0)
        names.push_back(&folder->FolderName);
    // A damaged tree may loop; no path is longer than the list of folders.
    for (size_t steps = 0; steps <= folders_->size() && !IsStopped(); ++steps) {
        if (folder->ParentIndex < 0 && folder->ListIndex != 0)
            ResolveParent(folder);
        if (folder->ParentIndex < 0 || static_cast<size_t>(folder->ParentIndex) >= folders_->size())
            break;
        TMyFolder* parent = (*folders_)[static_cast<size_t>(folder->ParentIndex)].get();
        AttachToParent(folder, parent);
        if (parent->ListIndex == 0 || parent == folder)
            break;
        names.push_back(&parent->FolderName);
        folder = parent;
    }
    if (names.empty())
        return;  // the root's own files keep the path they have
    size_t length = 0;
    for (const std::string* name : names)
        length += name->size() + 1;
    std::string& path = file.FolderPath;
    path.clear();
    path.reserve(length);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += **it;
        path += '\\';
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
