#include "fat/fat_disk.h"

#include <algorithm>
#include <unordered_set>

#include "fat/fat_geometry.h"
#include "fat/fat_layout.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/salvaging_read.h"
#include "volume/text.h"

using volume::ByteReader;

namespace {
namespace boot = fat::layout::boot;
namespace table = fat::layout::table;
namespace entry = fat::layout::entry;
} // namespace

TDISK_FAT::TDISK_FAT(TDriverInfo* drive, const volume::ReaderContext& context) : Drive(drive), context_(context) {
    if (!Drive)
        return;
    if (Drive->BootSector.size() >= boot::kSize && TakeGeometry(Drive->BootSector))
        return;
    if (!Drive->BootSectorIsBackup && !TakeBackupBootSector())
        outcome_ = volume::ReadOutcome::BootSectorUnreadable;
}

bool TDISK_FAT::TakeGeometry(std::span<const uint8_t> bootSector) {
    geometryValid_ = false;
    // The drive reports the sector size it names even when the rest does not decode.
    Drive->SectorSize = ByteReader(bootSector).u16(boot::kBytesPerSector).value_or(0);
    const auto geometry = fat::ParseGeometry(bootSector);
    if (!geometry)
        return false;
    const fat::Geometry& g = geometry_ = *geometry;
    BytesPerSector = g.BytesPerSector;
    SectorsPerCluster = g.SectorsPerCluster;
    ReservedSectors = g.ReservedSectors;
    FatCount = g.FatCount;
    TotalSectors = g.TotalSectors;
    SectorsPerFat = g.SectorsPerFat;
    RootCluster = g.RootCluster;
    BytesPerCluster = g.BytesPerCluster;
    ClusterCount = g.ClusterCount;
    DataStartCluster = g.DataStartCluster;
    DataStartRemainder = g.DataStartRemainder;
    rootOffset_ = g.FixedRoot() ? static_cast<int64_t>(g.RootRegionSector() * BytesPerSector)
                                : OffsetOf(IndexOf(RootCluster));

    uint64_t volumeBytes = TotalSectors * BytesPerSector;
    const uint64_t deviceBytes = Drive->Source ? Drive->Source->Size() : 0;
    if (deviceBytes && volumeBytes > deviceBytes)
        volumeBytes = deviceBytes;
    // Only whole clusters of the data region hold data; the sectors after the
    // last one belong to no file, so nothing past it is read either.
    const uint64_t dataStartBytes = g.DataStartSector() * BytesPerSector;
    DataEndIndex = DataStartCluster;
    if (volumeBytes > dataStartBytes) {
        DataEndIndex += (volumeBytes - dataStartBytes) / BytesPerCluster;
        volumeBytes = dataStartBytes + DataClusterCount() * BytesPerCluster;
    }
    Drive->VolumeBytes = static_cast<int64_t>(volumeBytes);
    geometryValid_ = true;
    return true;
}

bool TDISK_FAT::TakeBackupBootSector() {
    // The primary names where its backup lies; when that field is damaged
    // too, sector 6 is where formatting puts it.
    uint16_t sectorBytes = 0;
    const std::vector<uint64_t> sectors = fat::BackupBootSectors(Drive->BootSector, sectorBytes);
    for (const uint64_t sector : sectors) {
        auto backup = volume::ReadBytes(Drive->Source.get(), sector * sectorBytes, boot::kSize, stop_.Flag());
        if (!backup || !fat::IsFat32(*backup) || !TakeGeometry(*backup))
            continue;
        Drive->BootSector = std::move(*backup);
        Drive->BootSectorIsBackup = backupBootUsed_ = true;
        return true;
    }
    return false;
}

TDISK_FAT::~TDISK_FAT() = default;

std::string TDISK_FAT::FileSystemName() const {
    switch (geometry_.TableBits) {
    case 12:
        return "FAT12";
    case 16:
        return "FAT16";
    default:
        return "FAT32";
    }
}

void TDISK_FAT::SetFixedRootRuns(TMyFolder& root) const {
    root.Drive = Drive;
    root.RecordNo = root.ParentRecordNo = -1;
    root.RecordPos = rootOffset_;
    root.Runs.clear();
    const int64_t length = static_cast<int64_t>(uint64_t{geometry_.RootEntryCount} * entry::kSize);
    root.Runs.push_back(TMyFileRun{rootOffset_, length, 0, true});
}

uint32_t TDISK_FAT::RootBytes() const {
    return geometry_.FixedRoot() ? static_cast<uint32_t>(uint64_t{geometry_.RootEntryCount} * entry::kSize)
                                 : BytesPerCluster;
}

bool TDISK_FAT::IsStopped() const {
    if (stop_.Requested())
        return true;
    return context_.Progress && context_.Progress->ReadingMustEnd(volume::ProgressSink::Capped::RecordsRead);
}

void TDISK_FAT::SetDiskPercent(double percent) {
    Percent = percent;
    if (context_.Progress)
        context_.Progress->SetPercent(percentBase_ + percent * percentScale_);
}

bool TDISK_FAT::BuildRuns(TMyFolder& folder, uint32_t bytesPerCluster, uint64_t startIndex, bool rootForm) {
    if (!InDataArea(startIndex))
        return false;
    folder.Drive = Drive;
    folder.RecordNo = folder.ParentRecordNo = -1;
    folder.IsDeleted = false;
    folder.FileCount = 0;
    folder.InTree = false;
    folder.FolderName = Drive->DriveName;
    folder.RecordPos = OffsetOf(startIndex);
    folder.Runs.clear();
    folder.Runs.push_back(TMyFileRun{OffsetOf(startIndex), bytesPerCluster, 0, true});

    // A looping chain ends at the first cluster it meets again, and never
    // takes more steps than the data region has clusters.
    std::unordered_set<uint64_t> visited{startIndex};
    uint64_t cur = startIndex;
    for (uint64_t steps = 0; steps < DataClusterCount(); ++steps) {
        if (rootForm && IsStopped())
            return false;
        const uint64_t v = FatEntry(cur);
        if (v >= table::kEndOfChainFrom || v < table::kFirstData || v > table::kLastData)
            return true;
        const uint64_t next = IndexOf(v);
        if (!InDataArea(next) || !visited.insert(next).second)
            return true;
        if (next == cur + 1)
            folder.Runs.back().RunLength += bytesPerCluster;
        else
            folder.Runs.push_back(TMyFileRun{OffsetOf(next), bytesPerCluster, 0, true});
        cur = next;
    }
    return true;
}

volume::ReadingStatus TDISK_FAT::Enumerate(FileList& files, FolderList& folders) {
    // The deep scan's search of the free clusters takes the second half of the bar.
    percentBase_ = 0;
    percentScale_ = context_.SearchFreeSpace ? 0.5 : 1.0;
    SetDiskPercent(0);
    QueuedFolders = FoldersFound = AcceptedFiles = 0;
    stop_.Clear();
    FolderQueue.clear();  // folders of an earlier, stopped walk belong to freed lists
    // Hints name folders of this volume as it is now; those of an earlier
    // scan only make the search guess from stale entries.
    ClusterHints.clear();
    ResetWalkState();
    // What the last scan could not read may read now; the boot sector's verdict stands.
    if (outcome_ == volume::ReadOutcome::TableUnreadable || outcome_ == volume::ReadOutcome::RootFolderUnreadable)
        outcome_ = volume::ReadOutcome::Read;
    const bool tableLoaded = LoadFat();
    if (tableLoaded)
        Walk(files, folders);
    percentBase_ = 0;
    percentScale_ = 1.0;
    SetDiskPercent(100.0);
    if (IsStopped())
        return volume::ReadingStatus::Stopped;
    if (outcome_ != volume::ReadOutcome::Read)
        return volume::StatusOf(outcome_);
    // Without a table there was no walk: a boot sector that does not decode,
    // or a table that lies outside the volume.
    if (!tableLoaded)
        return geometryValid_ ? volume::ReadingStatus::TableUnreadable : volume::ReadingStatus::BootSectorUnreadable;
    return volume::ReadingStatus::Done;
}

std::string TDISK_FAT::VolumeLabel() {
    // The label entry of the root directory, else the boot sector's copy.
    if (geometryValid_) {
        if (auto root = volume::ReadBytes(Drive->Source.get(), static_cast<uint64_t>(rootOffset_), RootBytes())) {
            for (size_t pos = 0; pos + entry::kSize <= root->size(); pos += entry::kSize) {
                const uint8_t first = (*root)[pos + entry::kName], attr = (*root)[pos + entry::kAttributes];
                if (first == entry::kEndOfDirectory)
                    break;
                if (first != entry::kDeletedMark && attr != entry::kAttrLongName && (attr & entry::kAttrVolumeLabel))
                    return volume::TrimBlanks(volume::Windows1252ToUtf8(std::string_view(
                        reinterpret_cast<const char*>(root->data()) + pos + entry::kName, entry::kShortNameLength)));
            }
        }
    }
    size_t labelAt = boot::kVolumeLabel;
    if (geometryValid_ && geometry_.FixedRoot()) {
        if (ByteReader(Drive->BootSector).u8(fat::layout::boot16::kExtendedSignature) != fat::layout::boot16::kHasLabel)
            return {};
        labelAt = fat::layout::boot16::kVolumeLabel;
    }
    if (Drive->BootSector.size() < labelAt + boot::kVolumeLabelLength)
        return {};
    std::string label = volume::TrimBlanks(volume::Windows1252ToUtf8(std::string_view(
        reinterpret_cast<const char*>(Drive->BootSector.data()) + labelAt, boot::kVolumeLabelLength)));
    return label == "NO NAME" ? std::string() : label;
}
