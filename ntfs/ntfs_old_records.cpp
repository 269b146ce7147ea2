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
constexpr uint32_t kBlockBytes = 4u << 20;  // free clusters are read this much at a time
// Parents deeper than this are taken for a loop in damaged references.
constexpr int kDeepestFolder = 256;

struct OldDirectory {
    int64_t position = 0;
};

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

void TNTFS_Disk::FindOldRecords(const std::vector<volume::ByteExtent>& extents, FileList& files,
                                volume::FoundByContent& found, double percentFrom, double percentTo) {
    if (RecordSize == 0 || ClusterSize == 0 || extents.empty())
        return;
    volume::ProgressSink* progress = context_.Progress;
    // A table starts on a cluster and its records follow one another: where
    // clusters are smaller than records, a record may start on any cluster.
    const uint32_t step = std::min(RecordSize, ClusterSize);
    const size_t before = files.size();

    // The files the MFT gave, by their first extent: an old record of one of
    // them (a table that moved) lists it a second time.
    std::set<std::pair<int64_t, int64_t>> listedExtents;
    for (size_t i = 0; i < before; ++i)
        if (const TMyFile& f = *files[i]; !f.Runs.empty() && f.Runs[0].OnVolume && !f.Runs[0].IsHole)
            listedExtents.emplace(f.Runs[0].RunStart, f.Runs[0].RunLength);
    // Two copies of one record (tables left by two formats, say) give one file.
    std::set<std::tuple<int64_t, uint16_t, int64_t, std::string>> taken;
    // Folders by record number; several when tables of different times hold it.
    std::multimap<int64_t, std::pair<DirectoryInfo, OldDirectory>> directories;

    auto takeRecord = [&](std::span<uint8_t> record, int64_t position) {
        const auto header = ntfs::ReadRecordHeader(record, RecordSize, -1);
        if (!header || header->baseRecord != 0 ||
            (header->recordNo >= 0 && header->recordNo < layout::system_record::kFirstUser))
            return;
        const uint16_t sequence = ByteReader(record).u16(ntfs::kSequenceAt).value_or(0);
        if (header->flags & layout::record::kDirectory) {
            DirectoryInfo info = ReadDirectoryInfo(record);
            if (!info.parsed || header->recordNo < 0)
                return;
            info.deleted = !(header->flags & layout::record::kInUse);
            directories.emplace(header->recordNo,
                                std::pair{std::move(info), OldDirectory{position}});
            return;
        }
        auto file = std::make_unique<TMyFile>();
        file->DataPos = file->RecordPos = position;
        file->Drive = Drive;
        file->RecordNo = header->recordNo;
        file->UpdateSeq = header->updateSequence;
        file->SavedTail = header->savedTail;
        // An attribute list's other records lay in the old table too, and
        // are not followed: a file whose data they held is passed over.
        if (!ParseAttributes(*file, record) || file->FileSize == 0)
            return;
        // The system's own files: in the root, or in $Extend.
        if (file->ParentRecordNo >= 0 && file->ParentRecordNo < layout::system_record::kFirstUser &&
            IsSystemName(file->FileName))
            return;
        NameByRecordNumber(*file);
        const TMyFileRun& first = file->Runs.empty() ? TMyFileRun{} : file->Runs[0];
        if (first.OnVolume && !first.IsHole && listedExtents.contains({first.RunStart, first.RunLength}))
            return;
        if (!taken.emplace(file->RecordNo, sequence, file->FileSize, file->FileName).second)
            return;
        if (CurrentMftHolds(*file, sequence))
            return;
        if (first.OnVolume && !first.IsHole)
            listedExtents.emplace(first.RunStart, first.RunLength);
        file->FoundBy = kFoundByOldRecord;
        file->ListIndex = static_cast<int32_t>(files.size());
        files.push_back(std::move(file));
        if (progress)
            progress->FileFound();
    };

    // Each free extent read once, in large blocks; a record is looked at
    // further only where its first four bytes are the mark.
    uint64_t total = 0, done = 0;
    for (const volume::ByteExtent& extent : extents)
        total += extent.length;
    std::vector<uint8_t> block;
    std::vector<uint8_t> record(RecordSize);
    for (const volume::ByteExtent& extent : extents) {
        for (uint64_t at = extent.offset; at + RecordSize <= extent.End() && !IsStopped(); at += kBlockBytes) {
            // A block reads on by a record less a step, so that a record
            // starting near its end is read whole.
            const uint64_t length = std::min<uint64_t>(kBlockBytes + RecordSize - step, extent.End() - at);
            block.resize(length);
            // Sectors that cannot be read are counted by the search by
            // content that follows, over the same clusters; here they read as zeros.
            const volume::SalvagedRead read = volume::ReadSalvaging(Drive->Source.get(), block.data(),
                                                                    static_cast<uint32_t>(length), at, stop_.Flag(),
                                                                    nullptr, 0);
            if (read.Cancelled)
                break;
            for (uint64_t off = 0; off < kBlockBytes && off + RecordSize <= length; off += step) {
                if (std::memcmp(block.data() + off, "FILE", layout::record::kMagicLength) != 0 ||
                    !ntfs::LooksLikeRecord(std::span<const uint8_t>(block).subspan(off, RecordSize), RecordSize))
                    continue;
                std::memcpy(record.data(), block.data() + off, RecordSize);
                takeRecord(record, static_cast<int64_t>(at + off));
                if (IsStopped())
                    break;
            }
            done += std::min<uint64_t>(kBlockBytes, extent.End() - at);
            if (progress && total)
                progress->SetPercent(percentFrom + (percentTo - percentFrom) * static_cast<double>(done) /
                                                       static_cast<double>(total));
        }
        if (IsStopped())
            break;  // the files found so far still get their folders
    }

    // The folders the files name, rebuilt among the old records; a parent
    // that is not among them becomes a lost folder under "Found by content".
    std::map<std::pair<int64_t, uint16_t>, int32_t> placed;
    std::unordered_map<int64_t, int32_t> lost;
    auto lostFolder = [&](int64_t number) {
        auto it = lost.find(number);
        if (it == lost.end()) {
            auto folder = volume::LostFolder(Drive, found.Folder(), static_cast<uint64_t>(std::max<int64_t>(number, 0)));
            folder->RecordNo = number;
            it = lost.emplace(number, tree_.Append(std::move(folder), kNoParent)->ListIndex).first;
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
        const OldDirectory* where = nullptr;
        auto [from, to] = directories.equal_range(number);
        for (auto it = from; it != to && !info; ++it)
            if (ntfs::SequenceMatches(sequence, it->second.first.sequence, it->second.first.deleted)) {
                info = &it->second.first;
                where = &it->second.second;
            }
        if (!info || depth >= kDeepestFolder) {
            const int32_t index = lostFolder(number);
            placed[key] = index;
            return index;
        }
        placed[key] = -1;
        const int32_t parent = self(self, info->parent, info->parentSequence, depth + 1);
        auto folder = FolderFromInfo(*info, number);
        folder->ParentIndex = parent;
        folder->ParentRecordNo = kNoParent;  // placed here: never looked up in the volume's own MFT
        folder->RecordPos = where->position;
        const int32_t index = tree_.Append(std::move(folder), kNoParent)->ListIndex;
        placed[key] = index;
        return index;
    };
    for (size_t i = before; i < files.size(); ++i) {
        TMyFile& file = *files[i];
        file.FolderIndex = folderOf(folderOf, file.ParentRecordNo, file.ParentSequence, 0);
    }
}
