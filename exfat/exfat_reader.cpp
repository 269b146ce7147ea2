#include "exfat/exfat_reader.h"

#include <algorithm>

#include "exfat/exfat_layout.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/salvaging_read.h"
#include "volume/text.h"

namespace exfat {

namespace entry = layout::entry;
namespace table = layout::table;
namespace region = layout::region;

ExfatReader::ExfatReader(TDriverInfo* drive, const volume::ReaderContext& context) : drive_(drive), context_(context) {
    if (!drive_ || !drive_->Source)
        return;
    if (!TakeBootRegion())
        outcome_ = volume::ReadOutcome::BootSectorUnreadable;
}

bool ExfatReader::TakeBootRegion() {
    // The main region is believed when it decodes and its checksum holds;
    // else the backup, under the same test; else a main boot sector that
    // decodes at least (a checksum sector may be all that was damaged).
    const auto tryRegion = [this](uint64_t startSector, uint8_t shift) -> bool {
        const uint32_t sectorBytes = uint32_t{1} << shift;
        auto bytes = volume::ReadBytes(drive_->Source.get(), startSector << shift,
                                       static_cast<uint32_t>((region::kChecksumSector + 1) * sectorBytes), stop_.Flag());
        if (!bytes)
            return false;
        auto g = ParseGeometry(*bytes, drive_->Source->Size());
        if (!g || g->sectorShift != shift || !BootChecksumMatches(*bytes, sectorBytes))
            return false;
        bytes->resize(layout::boot::kSize);
        if (!TakeGeometry(*bytes))
            return false;
        if (startSector != 0) {
            drive_->BootSector = std::move(*bytes);
            drive_->BootSectorIsBackup = backupBootUsed_ = true;
        }
        return true;
    };
    const auto named = volume::ByteReader(drive_->BootSector).u8(layout::boot::kBytesPerSectorShift);
    if (!drive_->BootSectorIsBackup && named && *named >= layout::boot::kMinSectorShift &&
        *named <= layout::boot::kMaxSectorShift && tryRegion(0, *named))
        return true;
    for (const uint8_t shift : {uint8_t{9}, uint8_t{12}})
        if (tryRegion(region::kBackupStartSector, shift))
            return true;
    return !drive_->BootSectorIsBackup && TakeGeometry(drive_->BootSector);
}

bool ExfatReader::TakeGeometry(std::span<const uint8_t> bootSector) {
    const uint64_t deviceBytes = drive_->Source->Size();
    auto g = ParseGeometry(bootSector, deviceBytes);
    if (!g)
        return false;
    geometry_ = *g;
    drive_->SectorSize = static_cast<uint16_t>(geometry_.BytesPerSector());
    uint64_t volumeBytes = geometry_.VolumeBytes();
    if (deviceBytes && volumeBytes > deviceBytes)
        volumeBytes = deviceBytes;
    drive_->VolumeBytes = static_cast<int64_t>(volumeBytes);
    geometryValid_ = true;
    return true;
}

bool ExfatReader::IsStopped() const {
    if (stop_.Requested())
        return true;
    return context_.Progress && context_.Progress->ReadingMustEnd(volume::ProgressSink::Capped::RecordsRead);
}

void ExfatReader::SetPercent(double percent) {
    percent_ = percent;
    // With the deep scan the walk fills the first half of the bar, the search of the free clusters the second.
    if (context_.Progress)
        context_.Progress->SetPercent(context_.SearchFreeSpace && percent < 100.0 ? percent / 2 : percent);
}

bool ExfatReader::LoadTable() {
    const uint64_t bytes = (uint64_t{geometry_.clusterCount} + 2) * table::kEntrySize;
    const uint64_t at = uint64_t{geometry_.fatOffset} << geometry_.sectorShift;
    if (at + bytes > static_cast<uint64_t>(drive_->VolumeBytes) || bytes > UINT32_MAX)
        return false;
    std::vector<uint8_t> raw(static_cast<size_t>(bytes));
    volume::ReadSalvaging(drive_->Source.get(), raw.data(), static_cast<uint32_t>(bytes), at, stop_.Flag(),
                          drive_ ? &drive_->Damage : nullptr);
    table_.resize(geometry_.clusterCount + size_t{2});
    const volume::ByteReader r(raw);
    for (size_t i = 0; i < table_.size(); ++i)
        table_[i] = *r.u32(i * table::kEntrySize);
    return true;
}

uint32_t ExfatReader::TableEntry(uint32_t cluster) const {
    return cluster < table_.size() ? table_[cluster] : 0;
}

bool ExfatReader::InUse(uint32_t cluster) const {
    if (!geometry_.IsCluster(cluster))
        return true;
    const uint32_t bit = cluster - table::kFirstData;
    if (bit / 8 >= bitmap_.size())
        return true;
    return (bitmap_[bit / 8] >> (bit % 8)) & 1;
}

bool ExfatReader::LoadBitmap(uint32_t firstCluster, uint64_t length) {
    const uint64_t needed = (uint64_t{geometry_.clusterCount} + 7) / 8;
    if (length < needed || !geometry_.IsCluster(firstCluster))
        return false;
    EntrySet set;
    set.firstCluster = firstCluster;
    set.dataLength = needed;
    set.validDataLength = needed;
    std::vector<uint8_t> bits;
    for (const TMyFileRun& run : ByteRuns(PlaceData(set), needed)) {
        const size_t at = bits.size();
        bits.resize(at + static_cast<size_t>(run.RunLength));
        volume::ReadSalvaging(drive_->Source.get(), bits.data() + at, static_cast<uint32_t>(run.RunLength),
                              static_cast<uint64_t>(run.RunStart), stop_.Flag(), &drive_->Damage);
    }
    if (bits.size() < needed)
        return false;
    bitmap_ = std::move(bits);
    return true;
}

std::vector<ClusterRun> ExfatReader::PlaceData(const EntrySet& set) const {
    std::vector<ClusterRun> runs;
    const uint64_t clusterBytes = geometry_.BytesPerCluster();
    uint64_t wanted = (set.dataLength + clusterBytes - 1) / clusterBytes;
    if (wanted == 0 || !geometry_.IsCluster(set.firstCluster))
        return runs;
    const auto append = [&runs](uint32_t cluster) {
        if (!runs.empty() && runs.back().first + runs.back().count == cluster)
            ++runs.back().count;
        else
            runs.push_back({cluster, 1});
    };
    const auto contiguousFrom = [&](uint32_t cluster, uint64_t count) {
        // Past the heap's end there is nothing to read; the file comes back short.
        const uint64_t room = uint64_t{geometry_.clusterCount} + 2 - cluster;
        count = std::min(count, room);
        if (count == 0)
            return;
        if (!runs.empty() && runs.back().first + runs.back().count == cluster)
            runs.back().count += static_cast<uint32_t>(count);
        else
            runs.push_back({cluster, static_cast<uint32_t>(count)});
    };
    if (set.noFatChain) {
        contiguousFrom(set.firstCluster, wanted);
        return runs;
    }
    // A chain is followed while it leads on through clusters of the heap
    // not met before (and, for a deleted set, free in the bitmap); where it
    // ends early the rest is taken to follow on contiguously.
    std::unordered_set<uint32_t> met;
    uint32_t cluster = set.firstCluster;
    append(cluster);
    met.insert(cluster);
    uint64_t placed = 1;
    while (placed < wanted) {
        const uint32_t next = TableEntry(cluster);
        if (!geometry_.IsCluster(next) || (set.deleted && InUse(next)) || !met.insert(next).second)
            break;
        append(next);
        cluster = next;
        ++placed;
    }
    if (placed < wanted && set.deleted && !bitmap_.empty()) {
        // The chain is gone (exfat-fuse zeroes it on deletion). A set with a
        // chain was written in pieces, round clusters that were in use then;
        // those in use now are the likeliest of them, so they are passed over.
        uint64_t passed = 0;
        for (uint64_t c = uint64_t{cluster} + 1; placed < wanted && geometry_.IsCluster(c); ++c) {
            if (InUse(static_cast<uint32_t>(c))) {
                if (++passed > kMaxPassedClusters)
                    break;
                continue;
            }
            append(static_cast<uint32_t>(c));
            ++placed;
        }
        return runs;
    }
    if (placed < wanted)
        contiguousFrom(cluster + 1, wanted - placed);
    return runs;
}

std::vector<TMyFileRun> ExfatReader::ByteRuns(const std::vector<ClusterRun>& runs, uint64_t validBytes) const {
    std::vector<TMyFileRun> out;
    const uint64_t clusterBytes = geometry_.BytesPerCluster();
    for (const ClusterRun& run : runs) {
        if (validBytes == 0)
            break;
        const uint64_t length = std::min<uint64_t>(uint64_t{run.count} * clusterBytes, validBytes);
        TMyFileRun bytes;
        bytes.RunStart = static_cast<int64_t>(geometry_.OffsetOf(run.first));
        bytes.RunLength = static_cast<int64_t>(length);
        out.push_back(bytes);
        validBytes -= length;
    }
    return out;
}

volume::ReadingStatus ExfatReader::Enumerate(FileList& files, FolderList& folders) {
    SetPercent(0);
    stop_.Clear();
    files.clear();
    folders.clear();
    found_.clear();
    queue_.clear();
    folderClusters_.clear();
    knownFirstClusters_.clear();
    foldersFound_ = 0;
    if (outcome_ == volume::ReadOutcome::BootSectorUnreadable || !geometryValid_)
        return volume::ReadingStatus::BootSectorUnreadable;
    if (!LoadTable())
        return volume::ReadingStatus::TableUnreadable;

    tree_.Adopt(folders);
    auto root = std::make_unique<TMyFolder>();
    root->Drive = drive_;
    root->FolderName = root->DisplayName = drive_->DriveName;
    {
        // The root folder has no entry, so no length: its chain alone.
        std::vector<ClusterRun> runs;
        std::unordered_set<uint32_t> met;
        for (uint32_t c = geometry_.rootCluster; geometry_.IsCluster(c) && met.insert(c).second &&
                                                 uint64_t{met.size()} * geometry_.BytesPerCluster() <= kMaxDirectoryBytes;
             c = TableEntry(c)) {
            if (!runs.empty() && runs.back().first + runs.back().count == c)
                ++runs.back().count;
            else
                runs.push_back({c, 1});
        }
        ClaimFolderClusters(runs);
        root->Runs = ByteRuns(runs, UINT64_MAX);
        root->RecordPos = root->Runs.empty() ? 0 : root->Runs.front().RunStart;
    }
    queue_.push_back(tree_.Append(std::move(root), kNoParent));
    WalkQueue(files, true);
    // Lost folders and the files found by content share one "Found by content".
    volume::FoundByContent found(drive_, tree_);
    if (context_.SearchFreeSpace && !IsStopped()) {
        FindLostFolders(files, found);
        WalkQueue(files, false);  // the folders inside the lost ones
    }
    if (context_.SearchByContent && !IsStopped())
        SearchFreeSpace(files, folders, found);
    queue_.clear();
    SetPercent(100.0);
    if (IsStopped())
        return volume::ReadingStatus::Stopped;
    if (outcome_ != volume::ReadOutcome::Read)
        return volume::StatusOf(outcome_);
    return volume::ReadingStatus::Done;
}

void ExfatReader::WalkQueue(FileList& files, bool fromRoot) {
    for (uint64_t i = 0; !queue_.empty() && !IsStopped(); ++i) {
        TMyFolder& folder = *queue_.front();
        const FolderData data = ReadFolderData(folder);
        if (fromRoot && i == 0 && (data.bytes.empty() || data.lostBytes == data.bytes.size()))
            outcome_ = volume::ReadOutcome::RootFolderUnreadable;
        ParseFolder(folder, data, files);
        queue_.pop_front();
        if (fromRoot && !queue_.empty())
            SetPercent(percent_ + (100.0 - percent_) / static_cast<double>(queue_.size() + 1));
    }
}

ExfatReader::FolderData ExfatReader::ReadFolderData(const TMyFolder& folder) {
    FolderData data;
    uint32_t lostClusters = 0;
    const uint64_t clusterBytes = geometry_.BytesPerCluster();
    for (const TMyFileRun& run : folder.Runs) {
        if (IsStopped() || run.RunStart < 0 || run.RunStart > drive_->VolumeBytes ||
            run.RunLength > drive_->VolumeBytes - run.RunStart || data.bytes.size() + run.RunLength > kMaxDirectoryBytes)
            break;
        const size_t at = data.bytes.size();
        const uint64_t start = static_cast<uint64_t>(run.RunStart);
        data.bytes.resize(at + static_cast<size_t>(run.RunLength));
        const volume::SalvagedRead read =
            volume::ReadSalvaging(drive_->Source.get(), data.bytes.data() + at, static_cast<uint32_t>(run.RunLength),
                                  start, stop_.Flag(), &drive_->Damage);
        if (read.Cancelled)
            break;
        // Runs start on cluster boundaries: a cluster with two bad ranges counts once.
        uint64_t lastCluster = UINT64_MAX;
        for (const platform::ByteRange& range : read.Unreadable) {
            data.lost.push_back({range.Offset - start + at, range.Length});
            data.lostBytes += range.Length;
            const uint64_t first = (range.Offset - start) / clusterBytes;
            const uint64_t last = (range.Offset + range.Length - 1 - start) / clusterBytes;
            lostClusters += static_cast<uint32_t>(last - first + 1 - (first == lastCluster ? 1 : 0));
            lastCluster = last;
        }
    }
    if (lostClusters)
        drive_->Damage.FolderClusters.fetch_add(lostClusters, std::memory_order_relaxed);
    return data;
}

void ExfatReader::ParseFolder(TMyFolder& folder, const FolderData& read, FileList& files) {
    volume::ProgressSink* progress = context_.Progress;
    const bool root = folder.ListIndex == 0;
    const std::span<const uint8_t> data = read.bytes;
    // Sectors that could not be read hold zeros, which would read as the
    // folder's end: they are passed over and the entries after them read on.
    // A set reaching into one lacks entries and fails its own checks.
    auto lost = read.lost.begin();
    for (size_t pos = 0; pos + entry::kSize <= data.size(); pos += entry::kSize) {
        if (IsStopped())
            return;
        while (lost != read.lost.end() && lost->Offset + lost->Length <= pos)
            ++lost;
        if (lost != read.lost.end() && lost->Offset <= pos)
            continue;
        const uint8_t type = data[pos + entry::kType];
        if (type == entry::kEndOfDirectory)
            return;
        const volume::ByteReader e(data.subspan(pos, entry::kSize));
        if (root && type == entry::kAllocationBitmap && bitmap_.empty()) {
            // The first bitmap serves the first table, the only one this reader reads.
            LoadBitmap(*e.u32(layout::bitmap::kFirstCluster), *e.u64(layout::bitmap::kDataLength));
            continue;
        }
        if (root && type == entry::kVolumeLabel) {
            const uint8_t count = std::min<uint8_t>(*e.u8(layout::label::kCharacterCount), layout::label::kMaxLength);
            label_ = volume::Utf16LeToUtf8(data.data() + pos + layout::label::kText, count);
            continue;
        }
        if (type != entry::kFile && type != entry::kDeletedFile)
            continue;
        auto set = ParseEntrySet(data.subspan(pos));
        if (progress)
            progress->RecordRead();
        if (!set)
            continue;
        if (knownBeforeLostSearch_ && knownBeforeLostSearch_->contains(set->firstCluster))
            continue;  // a copy of a set the walk met
        if (set->firstCluster)
            knownFirstClusters_.push_back(set->firstCluster);
        if (set->folder) {
            if (!set->deleted || geometry_.IsCluster(set->firstCluster))
                TakeFolderSet(*set, folder);
        } else if (set->deleted || folder.IsDeleted) {
            TakeFileSet(*set, folder, files);
            files.back()->RecordPos = VolumeOffsetIn(folder, pos);
        }
        // A sound live set is passed whole; a deleted one may hide a newer
        // set in its tail, so its entries are looked at one by one.
        if (!set->deleted)
            pos += (set->EntryCount() - 1) * entry::kSize;
    }
}

int64_t ExfatReader::VolumeOffsetIn(const TMyFolder& folder, size_t pos) {
    for (const TMyFileRun& run : folder.Runs) {
        if (pos < static_cast<uint64_t>(run.RunLength))
            return run.RunStart + static_cast<int64_t>(pos);
        pos -= static_cast<size_t>(run.RunLength);
    }
    return -1;
}

void ExfatReader::TakeFileSet(const EntrySet& set, const TMyFolder& parent, FileList& files) {
    auto file = std::make_unique<TMyFile>();
    file->Drive = drive_;
    file->FolderIndex = parent.ListIndex;
    file->FileName = set.name;
    file->Extension = volume::ExtensionOf(file->FileName);
    file->CreatedTime = set.created;
    file->ModifiedTime = set.modified;
    file->AccessedTime = set.accessed;
    file->HasTimes = set.hasTimes;
    file->FileSize = static_cast<int64_t>(std::min<uint64_t>(set.dataLength, INT64_MAX));
    Found found;
    found.clusters = PlaceData(set);
    for (const ClusterRun& run : found.clusters)
        found.clusterCount += run.count;
    const uint64_t clusterBytes = geometry_.BytesPerCluster();
    found.wantedClusters = (set.dataLength + clusterBytes - 1) / clusterBytes;
    found.created = set.created ? set.created : set.modified;
    found.entryDeleted = set.deleted;
    found.checksumMatches = set.checksumMatches;
    file->Runs = ByteRuns(found.clusters, set.validDataLength);
    // Beyond the valid data length the file reads as zeros.
    if (set.dataLength > set.validDataLength && !file->Runs.empty()) {
        TMyFileRun hole;
        hole.RunStart = 0;
        hole.RunLength = static_cast<int64_t>(set.dataLength - set.validDataLength);
        hole.IsHole = true;
        file->Runs.push_back(hole);
    }
    file->DataPos = file->Runs.empty() ? 0 : file->Runs.front().RunStart;
    file->AllocatedSize = static_cast<int64_t>(found.clusterCount * geometry_.BytesPerCluster());
    file->ListIndex = static_cast<int32_t>(files.size());
    files.push_back(std::move(file));
    found_.push_back(std::move(found));
    if (context_.Progress)
        context_.Progress->FileFound();
}

bool ExfatReader::ClaimFolderClusters(const std::vector<ClusterRun>& runs) {
    // Each cluster is walked as part of one folder only: a set that leads to
    // a folder taken already (cross-links, a loop up the tree) is passed over.
    for (const ClusterRun& run : runs)
        for (uint32_t k = 0; k < run.count; ++k)
            if (folderClusters_.contains(run.first + k))
                return false;
    for (const ClusterRun& run : runs)
        for (uint32_t k = 0; k < run.count; ++k)
            folderClusters_.insert(run.first + k);
    return true;
}

void ExfatReader::TakeFolderSet(const EntrySet& set, const TMyFolder& parent) {
    // A deleted folder whose first cluster is in use again holds something else now.
    if (set.deleted && InUse(set.firstCluster))
        return;
    const uint32_t depth = tree_.DepthOf(parent.ListIndex) + 1;
    if (foldersFound_ >= geometry_.clusterCount || depth > kMaxFolderDepth)
        return;
    EntrySet bounded = set;
    bounded.dataLength = std::min<uint64_t>(set.dataLength, kMaxDirectoryBytes);
    const std::vector<ClusterRun> runs = PlaceData(bounded);
    if (runs.empty() || !ClaimFolderClusters(runs))
        return;
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = drive_;
    folder->FolderName = folder->DisplayName = set.name;
    folder->IsDeleted = set.deleted || parent.IsDeleted;
    folder->ParentIndex = parent.ListIndex;
    folder->ModifiedTime = set.modified;
    folder->CreatedTime = set.created;
    folder->Runs = ByteRuns(runs, bounded.dataLength);
    folder->RecordPos = folder->Runs.front().RunStart;
    queue_.push_back(tree_.Append(std::move(folder), kNoParent));
    ++foldersFound_;
}

} // namespace exfat
