#include "ntfs/ntfs_disk.h"

#include <algorithm>

#include "ntfs/ntfs_geometry.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/record_parse.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/salvaging_read.h"
#include "volume/text.h"
#include "volume/update_sequence.h"

using volume::ByteReader;

TNTFS_Disk::TNTFS_Disk(TDriverInfo* drive, const volume::ReaderContext& context) : Drive(drive), context_(context) {
    if (!ReadGeometry())
        return;
    Drive->UnitSize = RecordSize;
    Drive->SectorSize = geometry_.SectorSize;
    LoadSystemRecords();
}

TNTFS_Disk::~TNTFS_Disk() = default;

namespace {
namespace layout = ntfs::layout;
} // namespace

bool TNTFS_Disk::ReadGeometry() {
    if (!Drive)
        return false;
    if (Drive->BootSector.size() >= layout::boot::kSize && TakeGeometry(Drive->BootSector))
        return true;
    if (!Drive->BootSectorIsBackup)
        return TakeBackupBootSector();
    outcome_ = volume::ReadOutcome::BootSectorUnreadable;  // the backup was all there was, and it does not decode
    return false;
}

bool TNTFS_Disk::TakeGeometry(std::span<const uint8_t> bootSector) {
    const auto geometry = ntfs::ParseGeometry(bootSector);
    if (!geometry)
        return false;
    geometry_ = *geometry;
    ClusterSize = geometry_.ClusterSize;
    RecordSize = geometry_.RecordSize;
    TotalClusters = geometry_.TotalClusters;
    int64_t volumeBytes = geometry_.TotalSectors * geometry_.SectorSize;
    const uint64_t deviceBytes = Drive->Source ? Drive->Source->Size() : 0;
    if (deviceBytes && static_cast<uint64_t>(volumeBytes) > deviceBytes)
        volumeBytes = static_cast<int64_t>(deviceBytes);
    Drive->VolumeBytes = volumeBytes;
    return true;
}

bool TNTFS_Disk::TakeBackupBootSector() {
    // Formatting declares one sector less than the volume holds and keeps
    // the backup in that last sector: at total sectors times sector size.
    // Without a primary to say where that is, the device's own last sector
    // is the place (for 512- and 4096-byte sectors alike).
    const uint64_t deviceBytes = Drive->Source ? Drive->Source->Size() : 0;
    std::vector<uint64_t> places;
    uint64_t declaredEnd = 0;
    if (Drive->BootSector.size() >= layout::boot::kSize) {
        const ByteReader primary(Drive->BootSector);
        // A damaged sector size still leaves the usual 512 bytes as the best guess.
        uint16_t sector = primary.u16(layout::boot::kBytesPerSector).value_or(0);
        if (sector < 256 || sector > 4096 || (sector & (sector - 1)) != 0)
            sector = 512;
        const int64_t total = primary.i64(layout::boot::kTotalSectors).value_or(0);
        if (total > 0 && total < INT64_MAX / 4096) {
            declaredEnd = static_cast<uint64_t>(total) * sector;
            places.push_back(declaredEnd);
        }
    }
    for (const uint64_t sector : {uint64_t{512}, uint64_t{4096}})
        if (deviceBytes >= sector)
            places.push_back(deviceBytes - sector);
    for (const uint64_t place : places) {
        auto backup = volume::ReadBytes(Drive->Source.get(), place, layout::boot::kSize, stop_.Flag());
        if (!backup || !ntfs::HasNtfsName(*backup) || !TakeGeometry(*backup))
            continue;
        // A backup must sit where its own numbers put it; anything else is
        // another volume's (the last partition of a whole disk, say).
        if (static_cast<uint64_t>(geometry_.TotalSectors) * geometry_.SectorSize != place)
            continue;
        Drive->BootSector = std::move(*backup);
        Drive->BootSectorIsBackup = backupBootUsed_ = true;
        return true;
    }
    outcome_ = deviceBytes && declaredEnd >= deviceBytes ? volume::ReadOutcome::BackupBootMissing
                                                        : volume::ReadOutcome::BootSectorUnreadable;
    return false;
}

void TNTFS_Disk::LoadSystemRecords() {
    // Record 0 describes the MFT itself; until its runs are known, it lies at the boot sector's MFT cluster.
    const int64_t mftPos = geometry_.MftOffset();
    bool unreadable = false;
    // The copy in $MFTMirr stands in for a record 0 that cannot be read or decoded.
    auto parse = [&](std::optional<std::vector<uint8_t>>& bytes) -> std::unique_ptr<TMyFile> {
        if (!bytes || ByteReader(*bytes).u32(layout::record::kBytesInUse).value_or(0) == 0)
            return nullptr;
        auto mft = std::make_unique<TMyFile>();
        mft->Drive = Drive;
        mft->DataPos = mft->RecordPos = mftPos;
        mft->RecordNo = layout::system_record::kMft;
        if (!ParseFileRecord(*mft, *bytes) || mft->Runs.empty() || !mft->Runs[0].OnVolume || mft->Runs[0].IsHole)
            return nullptr;
        return mft;
    };
    auto record = ReadMftBytes(static_cast<uint64_t>(mftPos), RecordSize, unreadable);
    auto mft = parse(record);
    if (!mft) {
        record = ReadMirrorRecord(0);
        mft = parse(record);
    }
    if (!mft) {
        if (unreadable)
            outcome_ = volume::ReadOutcome::MftUnreadable;
        return;
    }
    MftFile = std::move(mft);
    MapMft();
    // A fragmented MFT continues its run list in extension records.
    FollowAttributeList(*MftFile, *record, ByteReader(*record).u32(layout::record::kBytesInUse).value_or(0));

    if (auto bitmap = ReadRecord(layout::system_record::kBitmap)) {
        auto file = std::make_unique<TMyFile>();
        file->Drive = Drive;
        file->DataPos = file->RecordPos = bitmap->position;
        file->RecordNo = layout::system_record::kBitmap;
        if (ParseFileRecord(*file, bitmap->bytes))
            BitmapFile = std::move(file);
    }
}

bool TNTFS_Disk::IsStopped() const {
    if (stop_.Requested())
        return true;
    return context_.Progress && context_.Progress->ReadingMustEnd(volume::ProgressSink::Capped::FoundFiles);
}

std::string TNTFS_Disk::VolumeLabel() {
    auto record = ReadRecord(layout::system_record::kVolume);
    if (!record || !volume::ApplyUpdateSequence(record->bytes))
        return {};
    return ntfs::ReadVolumeName(record->bytes, RecordSize);
}
