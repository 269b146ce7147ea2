// The deep scan's reading of the free clusters for records of an earlier
// MFT: a quick format writes a new, small table over the start of the old
// one and leaves the rest of it in clusters it marks free; a table that
// moved leaves its old place behind. Those records still name their files,
// with sizes, times and runs: each file they describe that the volume's own
// MFT does not list is listed by its record, under "Found by content".
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_disk.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/old_records.h"
#include "volume/byte_reader.h"
#include "volume/found_by_content.h"
#include "volume/lost_folder.h"
#include "volume/salvaging_read.h"

using volume::ByteReader;

namespace {
namespace layout = ntfs::layout;
// Parents deeper than this are taken for a loop in damaged references.
constexpr int kDeepestFolder = 256;

bool IsSystemName(const std::string& name) { return !name.empty() && name[0] == '$'; }
} // namespace

bool TNTFS_Disk::CurrentMftHolds(const TMyFile& old, uint16_t sequence) {
    if (old.RecordNo < 0 || RecordSize == 0 || old.RecordNo >= MftSize / RecordSize)
        return false;
    auto current = ReadRecord(old.RecordNo);
    if (!current || ByteReader(current->bytes).u16(ntfs::kSequenceAt).value_or(0) != sequence)
        return false;
    // The same number and sequence alone are no proof: a new table counts
    // from the same numbers. The same name in the same folder is.
    TMyFile now;
    now.RecordNo = old.RecordNo;
    if (!ParseAttributes(now, current->bytes))
        return false;
    return now.FileName == old.FileName && now.ParentRecordNo == old.ParentRecordNo &&
           now.ParentSequence == old.ParentSequence;
}

TNTFS_Disk::OldRecords::OldRecords(TNTFS_Disk& disk, const FileList& listed)
    : disk_(disk), step_(std::min(disk.RecordSize, disk.ClusterSize)), record_(disk.RecordSize) {
    for (const auto& f : listed)
        if (!f->Runs.empty() && f->Runs[0].OnVolume && !f->Runs[0].IsHole)
            listedExtents_.emplace(f->Runs[0].RunStart, f->Runs[0].RunLength);
}

void TNTFS_Disk::OldRecords::Look(uint64_t offset, std::span<const uint8_t> bytes) {
    const uint32_t size = disk_.RecordSize;
    if (size == 0 || step_ == 0)
        return;
    // Records start on the grid of the smaller of a record and a cluster,
    // counted from the volume's start; the search reads in blocks on it, so
    // that a record rarely lies across two of them (only after a sector the
    // drive would not give), and is then passed over.
    for (uint64_t at = (offset + step_ - 1) / step_ * step_; at + size <= offset + bytes.size(); at += step_) {
        const std::span<const uint8_t> candidate = bytes.subspan(at - offset, size);
        if (std::memcmp(candidate.data(), "FILE", layout::record::kMagicLength) != 0 ||
            !ntfs::LooksLikeRecord(candidate, size))
            continue;
        std::memcpy(record_.data(), candidate.data(), size);
        Take(record_, static_cast<int64_t>(at));
        if (disk_.IsStopped())
            return;
    }
}

void TNTFS_Disk::OldRecords::Take(std::span<uint8_t> record, int64_t position) {
    const auto header = ntfs::ReadRecordHeader(record, disk_.RecordSize, -1);
    if (!header || header->baseRecord != 0 ||
        (header->recordNo >= 0 && header->recordNo < layout::system_record::kFirstUser))
        return;
    const uint16_t sequence = ByteReader(record).u16(ntfs::kSequenceAt).value_or(0);
    if (header->flags & layout::record::kDirectory) {
        DirectoryInfo info = disk_.ReadDirectoryInfo(record);
        if (!info.parsed || header->recordNo < 0)
            return;
        info.deleted = !(header->flags & layout::record::kInUse);
        directories_.emplace(header->recordNo, std::pair{std::move(info), position});
        return;
    }
    auto file = std::make_unique<TMyFile>();
    file->DataPos = file->RecordPos = position;
    file->Drive = disk_.Drive;
    file->RecordNo = header->recordNo;
    file->UpdateSeq = header->updateSequence;
    file->SavedTail = header->savedTail;
    // An attribute list's other records lay in the old table too, and
    // are not followed: a file whose data they held is passed over.
    if (!disk_.ParseAttributes(*file, record) || file->FileSize == 0)
        return;
    // The system's own files: in the root, or in $Extend.
    if (file->ParentRecordNo >= 0 && file->ParentRecordNo < layout::system_record::kFirstUser &&
        IsSystemName(file->FileName))
        return;
    disk_.NameByRecordNumber(*file);
    const TMyFileRun& first = file->Runs.empty() ? TMyFileRun{} : file->Runs[0];
    if (first.OnVolume && !first.IsHole && listedExtents_.contains({first.RunStart, first.RunLength}))
        return;
    if (!taken_.emplace(file->RecordNo, sequence, file->FileSize, file->FileName).second)
        return;
    if (disk_.CurrentMftHolds(*file, sequence))
        return;
    if (first.OnVolume && !first.IsHole)
        listedExtents_.emplace(first.RunStart, first.RunLength);
    file->FoundBy = kFoundByOldRecord;
    files_.push_back(std::move(file));
    if (disk_.context_.Progress)
        disk_.context_.Progress->FileFound();
}

FileList TNTFS_Disk::OldRecords::Finish(volume::FoundByContent& found) {
    // The folders the files name, rebuilt among the old records; a parent
    // that is not among them becomes a lost folder under "Found by content".
    std::map<std::pair<int64_t, uint16_t>, int32_t> placed;
    std::unordered_map<int64_t, int32_t> lost;
    auto lostFolder = [&](int64_t number) {
        auto it = lost.find(number);
        if (it == lost.end()) {
            auto folder = volume::LostFolder(disk_.Drive, found.Folder(), static_cast<uint64_t>(std::max<int64_t>(number, 0)));
            folder->RecordNo = number;
            it = lost.emplace(number, disk_.tree_.Append(std::move(folder), kNoParent)->ListIndex).first;
        }
        return it->second;
    };
    auto folderOf = [&](auto& self, int64_t number, uint16_t sequence, int depth) -> int32_t {
        if (number < 0)
            return found.Folder();
        const auto key = std::pair{number, sequence};
        if (auto it = placed.find(key); it != placed.end())
            return it->second >= 0 ? it->second : lostFolder(number);  // negative: a loop back to it
        const DirectoryInfo* info = nullptr;
        int64_t where = 0;
        auto [from, to] = directories_.equal_range(number);
        for (auto it = from; it != to && !info; ++it)
            if (ntfs::SequenceMatches(sequence, it->second.first.sequence, it->second.first.deleted)) {
                info = &it->second.first;
                where = it->second.second;
            }
        if (!info || depth >= kDeepestFolder) {
            const int32_t index = lostFolder(number);
            placed[key] = index;
            return index;
        }
        placed[key] = -1;
        const int32_t parent = self(self, info->parent, info->parentSequence, depth + 1);
        auto folder = disk_.FolderFromInfo(*info, number);
        folder->ParentIndex = parent;
        folder->ParentRecordNo = kNoParent;  // placed here: never looked up in the volume's own MFT
        folder->RecordPos = where;
        const int32_t index = disk_.tree_.Append(std::move(folder), kNoParent)->ListIndex;
        placed[key] = index;
        return index;
    };
    for (auto& file : files_)
        file->FolderIndex = folderOf(folderOf, file->ParentRecordNo, file->ParentSequence, 0);
    return std::move(files_);
}
