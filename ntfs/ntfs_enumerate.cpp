#include <algorithm>
#include <future>

#include "ntfs/ntfs_attributes.h"
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
    staleFolders_.clear();
    folderIdentity_.clear();
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
    // MftSize is never more than the volume holds.
    recordSeen_.assign(static_cast<size_t>(MftSize / RecordSize), false);

    // The MFT as a list of sequential reads of at most 10 MiB, in file order.
    struct Chunk {
        int64_t pos, logical;
        uint32_t length;
        bool startsRun;
    };
    std::vector<Chunk> chunks;
    int64_t logical = 0;
    for (const TMyFileRun& run : MftFile->Runs) {
        if (logical >= MftSize)
            break;  // no record lies past the MFT's (clamped) length
        // Only the part of a run inside the volume is read: a volume cut
        // short (an image of its first part) still gives the records it holds.
        const int64_t readable = run.IsHole || run.RunStart < 0 || run.RunStart >= Drive->VolumeBytes
                                     ? 0
                                     : std::min(run.RunLength, Drive->VolumeBytes - run.RunStart);
        for (int64_t done = 0; done < readable; done += kChunkBytes) {
            const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(readable - done, kChunkBytes));
            chunks.push_back({run.RunStart + done, logical + done, n, done == 0});
        }
        logical = volume::SaturatingAdd(logical, run.RunLength);
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
    // An extension record holds attributes that did not fit another record:
    // it is part of that file (its attribute list leads to it), never a file itself.
    if (r.u64(ntfs::kBaseRecordAt).value_or(0) != 0)
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
        if (!ParseAttributes(*file, record))
            return;
        FollowAttributeList(*file, record, inUse);
        NameByRecordNumber(*file);
        if (file->FileSize == 0)
            return;
        if (!file->Runs.empty() && !file->Runs[0].OnVolume && file->Runs[0].RunStart == position && splitLength) {
            file->Runs[0].SplitLength = splitLength;
            file->Runs[0].SplitStart = splitStart;
        }
        file->ListIndex = static_cast<int32_t>(files.size());
        TMyFile* kept = file.get();
        files.push_back(std::move(file));
        kept->FolderIndex = FolderOf(kept->ParentRecordNo, kept->ParentSequence);
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
        if (flags == kDeletedDirectory && info.parsed && !folderByRecord_.contains(recordNo)) {
            auto folder = FolderFromInfo(info, recordNo);
            folder->RecordPos = position;
            TMyFolder* added = AppendDirectory(std::move(folder), info);
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
    info.sequence = ByteReader(record.data(), record.size()).u16(ntfs::kSequenceAt).value_or(0);
    info.parsed = ParseFolderRecord(scratch, record);
    info.name = std::move(scratch.FolderName);
    info.parent = scratch.ParentRecordNo;
    info.parentSequence = scratch.ParentSequence;
    info.modified = scratch.ModifiedTime;
    return info;
}

std::unique_ptr<TMyFolder> TNTFS_Disk::FolderFromInfo(const DirectoryInfo& info, int64_t n) const {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = Drive;
    folder->RecordNo = n;
    folder->ParentRecordNo = info.parent;
    folder->ParentSequence = info.parentSequence;
    folder->ModifiedTime = info.modified;
    folder->IsDeleted = info.deleted;
    folder->FolderName = folder->DisplayName = info.name.empty() ? "DIRECTORY" + std::to_string(n) : info.name;
    return folder;
}

std::optional<TNTFS_Disk::DirectoryInfo> TNTFS_Disk::DirectoryRecord(int64_t n) {
    if (n < 0 || n > (MftSize - RecordSize) / RecordSize || RecordOffset(n) <= 0)
        return std::nullopt;
    // Directory records met while reading the MFT are served from memory.
    if (static_cast<size_t>(n) < recordSeen_.size() && recordSeen_[static_cast<size_t>(n)]) {
        auto it = directories_.find(n);
        if (it == directories_.end() || !it->second.parsed)
            return std::nullopt;
        return it->second;
    }
    auto record = ReadRecord(n);
    if (!record || record->bytes.size() < 48)
        return std::nullopt;
    const ByteReader r(record->bytes);
    const uint16_t flags = *r.u16(22);
    if ((flags != kDeletedDirectory && flags != kDirectoryInUse) || *r.u64(ntfs::kBaseRecordAt) != 0)
        return std::nullopt;
    DirectoryInfo info = ReadDirectoryInfo(record->bytes);
    if (!info.parsed)
        return std::nullopt;
    info.deleted = flags == kDeletedDirectory;
    return info;
}

std::unique_ptr<TMyFolder> TNTFS_Disk::Placeholder(int64_t n) const {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = Drive;
    folder->RecordNo = n;
    folder->ParentRecordNo = kRootRecord;
    folder->ParentIndex = 0;
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

TMyFolder* TNTFS_Disk::AppendDirectory(std::unique_ptr<TMyFolder> folder, const DirectoryInfo& info) {
    folderIdentity_[folder->RecordNo] = {info.sequence, info.deleted};
    return AppendFolder(std::move(folder));
}

TNTFS_Disk::ParentLookup TNTFS_Disk::FindOrLoadParent(int64_t n, uint16_t sequence) {
    if (n == kRootRecord)
        return {(*folders_)[0].get(), false, false};
    if (auto it = folderByRecord_.find(n); it != folderByRecord_.end()) {
        auto identity = folderIdentity_.find(n);
        if (identity == folderIdentity_.end() ||
            ntfs::SequenceMatches(sequence, identity->second.sequence, identity->second.freed))
            return {(*folders_)[static_cast<size_t>(it->second)].get(), false, false};
        return StaleParent(n);
    }
    auto info = DirectoryRecord(n);
    if (!info)
        return {AppendFolder(Placeholder(n)), true, true};  // unreadable, or now a file's record
    if (!ntfs::SequenceMatches(sequence, info->sequence, info->deleted))
        return StaleParent(n);
    return {AppendDirectory(FolderFromInfo(*info, n), *info), true, false};
}

TNTFS_Disk::ParentLookup TNTFS_Disk::StaleParent(int64_t n) {
    // The record now holds another directory than the one the reference
    // meant: that folder is gone, like one whose record a file took.
    if (auto it = staleFolders_.find(n); it != staleFolders_.end())
        return {(*folders_)[static_cast<size_t>(it->second)].get(), false, true};
    auto placeholder = Placeholder(n);
    placeholder->ListIndex = static_cast<int32_t>(folders_->size());
    staleFolders_[n] = placeholder->ListIndex;
    folders_->push_back(std::move(placeholder));
    return {folders_->back().get(), true, true};
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
    int32_t found = -1;
    if (auto it = folderByRecord_.find(recordNo); it != folderByRecord_.end())
        found = it->second;
    if (auto it = staleFolders_.find(recordNo); it != staleFolders_.end())
        found = std::max(found, it->second);
    return found;
}

int32_t TNTFS_Disk::FolderOf(int64_t recordNo, uint16_t sequence) {
    if (IsStopped() || recordNo < 0 || !folders_ || folders_->empty())
        return 0;
    const ParentLookup found = FindOrLoadParent(recordNo, sequence);
    if (found.made && !found.placeholder && found.folder->ParentRecordNo != kRootRecord)
        ResolveParent(found.folder);
    return found.folder->ListIndex;
}

void TNTFS_Disk::ResolveParent(TMyFolder* folder) {
    // Climbs towards the root, loading parents as needed. Each step adds a
    // folder for a record not yet in the list, so a loop in the parent
    // references ends when it meets a folder already there.
    while (folder) {
        if (folders_->empty() || IsStopped())
            return;
        TMyFolder* root = (*folders_)[0].get();
        const int64_t p = folder->ParentRecordNo;
        if (p < 0 || p == kRootRecord) {
            folder->ParentIndex = 0;
            return;
        }
        const ParentLookup found = FindOrLoadParent(p, folder->ParentSequence);
        TMyFolder* parent = found.folder;
        folder->ParentIndex = parent->ListIndex;
        if (!found.made)
            return;
        if (found.placeholder) {
            AttachToParent(folder, parent);
            AttachToParent(parent, root);
            return;
        }
        if (IsStopped())
            return;
        if (parent->ParentRecordNo == kRootRecord) {
            parent->ParentIndex = 0;
            AttachToParent(parent, root);
            return;
        }
        folder = parent;
    }
}

void TNTFS_Disk::AttachToFolder(TMyFile& file) {
    if (file.ParentRecordNo < 0 || IsStopped() || folders_->empty())
        return;
    TMyFolder* folder = FindOrLoadParent(file.ParentRecordNo, file.ParentSequence).folder;
    file.FolderIndex = folder->ListIndex;
    folder->Files.push_back(&file);
    file.InFolder = true;
}

void TNTFS_Disk::BuildPath(TMyFile& file) {
    if (file.FolderIndex < 0 || static_cast<size_t>(file.FolderIndex) >= folders_->size())
        return;
    TMyFolder* root = (*folders_)[0].get();
    TMyFolder* folder = (*folders_)[static_cast<size_t>(file.FolderIndex)].get();
    // The names from the file's folder up towards the root, joined once at the end.
    std::vector<const std::string*>& names = pathNames_;
    names.clear();
    pathFolders_.clear();
    pathFolders_.insert(folder);
    if (folder != root)
        names.push_back(&folder->FolderName);
    while (!IsStopped()) {
        if (folder->ParentIndex < 0 && folder != root)
            ResolveParent(folder);
        if (folder->ParentIndex < 0 || static_cast<size_t>(folder->ParentIndex) >= folders_->size())
            break;
        TMyFolder* parent = (*folders_)[static_cast<size_t>(folder->ParentIndex)].get();
        if (!pathFolders_.insert(parent).second) {
            // Damaged parent references loop back to a folder already on
            // this path: the loop is cut here, and the folder hangs from the
            // root so that the tree stays a tree.
            folder->ParentIndex = 0;
            AttachToParent(folder, root);
            break;
        }
        AttachToParent(folder, parent);
        if (parent == root)
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
    // Every folder up to the root counts the file once, even in a damaged tree.
    pathFolders_.clear();
    pathFolders_.insert(folder);
    while (!IsStopped() && folder->ParentIndex >= 0 && static_cast<size_t>(folder->ParentIndex) < folders_->size()) {
        TMyFolder* parent = (*folders_)[static_cast<size_t>(folder->ParentIndex)].get();
        if (!pathFolders_.insert(parent).second)
            return;
        parent->FileCount += 1;
        AttachToParent(folder, parent);
        folder = parent;
    }
}
