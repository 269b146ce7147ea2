#include <algorithm>
#include <future>

#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_disk.h"
#include "ntfs/ntfs_layout.h"
#include "platform/memory.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/salvaging_read.h"

using volume::ByteReader;

namespace {
constexpr int64_t kRootRecord = ntfs::layout::system_record::kRoot;
constexpr uint32_t kChunkBytes = 10u << 20;

// The record header's flags as a whole: in use, and whether a directory.
enum : uint16_t {
    kDeletedFile = 0,
    kFileInUse = ntfs::layout::record::kInUse,
    kDeletedDirectory = ntfs::layout::record::kDirectory,
    kDirectoryInUse = ntfs::layout::record::kInUse | ntfs::layout::record::kDirectory,
};

// Walks a chunk's unreadable ranges alongside its records, which come in
// ascending order, so that each range is looked at once.
class LostRanges {
public:
    explicit LostRanges(const std::vector<platform::ByteRange>& ranges) : ranges_(ranges) {}
    bool Touch(int64_t offset, uint32_t length) {
        const auto at = static_cast<uint64_t>(offset);
        while (next_ < ranges_.size() && ranges_[next_].Offset + ranges_[next_].Length <= at)
            ++next_;
        return next_ < ranges_.size() && ranges_[next_].Offset < at + length;
    }

private:
    const std::vector<platform::ByteRange>& ranges_;
    size_t next_ = 0;
};

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

volume::ReadingStatus TNTFS_Disk::Enumerate(FileList& files, FolderList& folders) {
    // Without the MFT's own record nothing can be read; a record that was
    // read but does not decode leaves no outcome of its own, and says so here.
    if (!MftFile)
        return outcome_ != volume::ReadOutcome::Read ? volume::StatusOf(outcome_) : volume::ReadingStatus::MftUnreadable;
    files.clear();
    folders.clear();
    tree_.Start(folders);
    directories_.clear();
    recordSeen_.clear();
    lostRecords_.clear();  // each scan counts what it could not read
    prepared_.reset();
    stop_.Clear();
    AcceptedCount = 0;

    auto root = ReadRecord(kRootRecord);
    if (!root && !lostRecords_.contains(kRootRecord))
        return volume::ReadingStatus::RootFolderUnreadable;  // without the root nothing can be placed
    auto rootFolder = std::make_unique<TMyFolder>();
    rootFolder->Drive = Drive;
    // A root record that cannot be read costs only its own times: the
    // folder every path starts from is known without it.
    if (root)
        ParseFolderRecord(*rootFolder, root->bytes);
    else
        rootFolder->FolderName = rootFolder->DisplayName = ".";
    rootFolder->ParentIndex = kNoParent;
    rootFolder->ParentRecordNo = kNoParent;
    rootFolder->RecordNo = kRootRecord;
    rootFolder->InParent = true;
    tree_.Append(std::move(rootFolder), kRootRecord);

    mftShare_ = context_.SearchByContent ? 0.5 : 1.0;
    ScanMft(files);
    recordFiles_ = files.size();
    if (context_.SearchByContent && !IsStopped())
        SearchFreeSpace(files, folders);
    return IsStopped() ? volume::ReadingStatus::Stopped : volume::ReadingStatus::Done;
}

void TNTFS_Disk::ScanMft(FileList& files) {
    volume::ProgressSink* progress = context_.Progress;
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
        std::vector<platform::ByteRange> lost;  // unreadable, zero-filled; in volume offsets
    };
    // A chunk that fails is read again in pieces down to the sector, so that
    // only the records lying in sectors that stay unreadable are lost.
    auto readChunk = [this](const Chunk& c, Buffer& b) {
        b.got = 0;
        b.lost.clear();
        if (b.bytes.size() < c.length)
            b.bytes = platform::LargeBuffer(kChunkBytes);
        if (b.bytes.size() < c.length)
            return;  // no memory: the chunk reads as empty
        volume::SalvagedRead read = volume::ReadSalvaging(Drive->Source.get(), b.bytes.data(), c.length,
                                                          static_cast<uint64_t>(c.pos), stop_.Flag(), Damage());
        if (read.Cancelled)
            return;
        b.got = c.length - static_cast<uint32_t>(read.PastEndBytes);
        b.lost = std::move(read.Unreadable);
    };
    // A lost record among the first four is taken from $MFTMirr.
    auto scanLost = [&](int64_t index, int64_t position, FileList& list) {
        if (auto mirrored = ReadMirrorRecord(index)) {
            ScanRecord(*mirrored, index, position, 0, -1, list);
            return;
        }
        LoseRecord(index);
        if (index >= 0 && static_cast<size_t>(index) < recordSeen_.size())
            recordSeen_[static_cast<size_t>(index)] = true;  // never read again
    };
    // Grading from the bitmap, and the gathering of the overlap index, need
    // no more than the files found so far: they run on the second core while
    // the reading goes on, and the listing pass does only what needs the
    // whole list (see ListResults). An MFT read in one piece leaves nothing
    // to run beside.
    std::optional<ntfs::ListingAhead> ahead;
    if (chunks.size() > 1) {
        ntfs::PreparedListing& prepared = prepared_.emplace();
        prepared.files = &files;
        ahead.emplace([this, &prepared] { prepared.haveBitmap = LoadBitmap(); },
                      [this, &prepared](std::span<TMyFile* const> batch) {
                          if (prepared.stopped)
                              return;
                          for (const TMyFile* file : batch)
                              prepared.gradings.push_back(GradeAlone(*file, prepared.haveBitmap));
                          if (prepared.haveBitmap)
                              prepared.extents.Add(batch, ClusterSize);
                          // A stop may have cut a grading short.
                          if (IsStopped())
                              prepared.stopped = true;
                      });
    }
    size_t handed = 0;
    auto handOver = [&] {
        if (!ahead)
            return;
        std::vector<TMyFile*> found;
        found.reserve(files.size() - handed);
        for (; handed < files.size(); ++handed)
            found.push_back(files[handed].get());
        ahead->Hand(std::move(found));
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
    bool splitLost = false;
    double done = 0;
    for (size_t i = 0; i < chunks.size() && !IsStopped(); ++i) {
        if (i > 0 && i + 1 < chunks.size())
            pending = std::async(std::launch::async, readChunk, std::cref(chunks[i + 1]), std::ref(next));
        const Chunk& c = chunks[i];
        done += c.length;
        if (progress)
            progress->SetPercent((MftSize ? done / static_cast<double>(MftSize) * 100.0 : 100.0) * mftShare_);
        // A short read (a truncated image) still yields the records it holds.
        std::span<uint8_t> bytes(current.bytes.data(), std::min(current.got, c.length));
        LostRanges lost(current.lost);
        const size_t first = static_cast<size_t>((RecordSize - c.logical % RecordSize) % RecordSize);
        if (!split.empty() && splitLogical + static_cast<int64_t>(split.size()) == c.logical && first > 0 &&
            first <= bytes.size()) {
            const uint32_t firstPiece = static_cast<uint32_t>(split.size());
            if (splitLost || lost.Touch(c.pos, static_cast<uint32_t>(first))) {
                scanLost(splitLogical / RecordSize, splitPos, files);
            } else {
                split.insert(split.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(first));
                ScanRecord(split, splitLogical / RecordSize, splitPos, firstPiece, c.pos, files);
            }
        }
        split.clear();
        size_t off = first;
        for (; off + RecordSize <= bytes.size() && !IsStopped(); off += RecordSize) {
            const int64_t index = (c.logical + static_cast<int64_t>(off)) / RecordSize;
            const int64_t position = c.pos + static_cast<int64_t>(off);
            if (!current.lost.empty() && lost.Touch(position, RecordSize)) {
                scanLost(index, position, files);
                continue;
            }
            PrefetchRecord(bytes, off + 2 * RecordSize);
            ScanRecord(bytes.subspan(off, RecordSize), index, position, 0, -1, files);
        }
        if (bytes.size() == c.length && off < c.length) {
            split.assign(bytes.begin() + static_cast<std::ptrdiff_t>(off), bytes.end());
            splitPos = c.pos + static_cast<int64_t>(off);
            splitLogical = c.logical + static_cast<int64_t>(off);
            splitLost = !current.lost.empty() && lost.Touch(splitPos, static_cast<uint32_t>(c.length - off));
        }
        handOver();
        if (pending.valid()) {
            pending.wait();
            std::swap(current, next);
        }
    }
    if (pending.valid())
        pending.wait();
    handOver();
    if (ahead && !ahead->Finish())
        prepared_.reset();
}

void TNTFS_Disk::ScanRecord(std::span<uint8_t> record, int64_t index, int64_t position, uint32_t splitLength,
                            int64_t splitStart, FileList& files) {
    volume::ProgressSink* progress = context_.Progress;
    if (progress) {
        progress->RecordParsed();
        progress->RecordRead();
    }
    if (index >= 0 && static_cast<size_t>(index) < recordSeen_.size())
        recordSeen_[static_cast<size_t>(index)] = true;
    // A damaged record is passed over on its own; its neighbours are still read.
    const auto header = ntfs::ReadRecordHeader(record, RecordSize, index);
    if (!header)
        return;
    // An extension record holds attributes that did not fit another record:
    // it is part of that file (its attribute list leads to it), never a file itself.
    if (header->baseRecord != 0)
        return;
    const uint32_t inUse = header->inUse;
    const uint16_t flags = header->flags;
    const int64_t recordNo = header->recordNo;

    switch (flags) {
    case kDeletedFile: {
        auto file = std::make_unique<TMyFile>();
        file->DataPos = file->RecordPos = position;
        file->Drive = Drive;
        file->RecordNo = recordNo;
        file->UpdateSeq = header->updateSequence;
        file->SavedTail = header->savedTail;
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
        kept->FolderIndex = tree_.FolderOf(kept->ParentRecordNo, kept->ParentSequence);
        if (progress)
            progress->FileFound();
        break;
    }
    case kFileInUse:
        if (progress)
            progress->FileFound();
        break;
    case kDeletedDirectory:
    case kDirectoryInUse: {
        DirectoryInfo info = ReadDirectoryInfo(record);
        info.deleted = flags == kDeletedDirectory;
        if (flags == kDeletedDirectory && info.parsed && !tree_.Contains(recordNo)) {
            auto folder = FolderFromInfo(info, recordNo);
            folder->RecordPos = position;
            TMyFolder* added = tree_.Append(std::move(folder), recordNo, {info.sequence, info.deleted});
            tree_.ResolveParent(added);
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
    info.created = scratch.CreatedTime;
    return info;
}

std::unique_ptr<TMyFolder> TNTFS_Disk::FolderFromInfo(const DirectoryInfo& info, int64_t n) const {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = Drive;
    folder->RecordNo = n;
    folder->ParentRecordNo = info.parent;
    folder->ParentSequence = info.parentSequence;
    folder->ModifiedTime = info.modified;
    folder->CreatedTime = info.created;
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
    if (!record || record->bytes.size() < ntfs::layout::record::kHeaderSize)
        return std::nullopt;
    const ByteReader r(record->bytes);
    const uint16_t flags = r.u16(ntfs::kFlagsAt).value_or(0);
    if ((flags != kDeletedDirectory && flags != kDirectoryInUse) || r.u64(ntfs::kBaseRecordAt).value_or(0) != 0)
        return std::nullopt;
    DirectoryInfo info = ReadDirectoryInfo(record->bytes);
    if (!info.parsed)
        return std::nullopt;
    info.deleted = flags == kDeletedDirectory;
    return info;
}

volume::FolderTree::Setup TNTFS_Disk::TreeSetup() {
    volume::FolderTree::Setup setup;
    setup.drive = Drive;
    setup.rootKey = kRootRecord;
    setup.load = [this](int64_t n) -> std::optional<volume::FolderTree::Loaded> {
        auto info = DirectoryRecord(n);
        if (!info)
            return std::nullopt;  // unreadable, or now a file's record
        return volume::FolderTree::Loaded{FolderFromInfo(*info, n), {info->sequence, info->deleted}};
    };
    setup.stopped = [this] { return IsStopped(); };
    setup.matches = [](uint16_t wanted, volume::FolderTree::Identity current) {
        return ntfs::SequenceMatches(wanted, current.sequence, current.freed);
    };
    return setup;
}
