#include "ntfs/ntfs_disk.h"

#include <algorithm>

#include "scan/progress.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/text.h"
#include "volume/update_sequence.h"

using volume::ByteReader;

TNTFS_Disk::TNTFS_Disk(TDriverInfo* drive, const ScanContext& context) : Drive(drive), context_(context) {
    if (!ReadGeometry())
        return;
    Drive->UnitSize = RecordSize;
    Drive->SectorSize = SectorSize;
    LoadSystemRecords();
}

TNTFS_Disk::~TNTFS_Disk() = default;

bool TNTFS_Disk::ReadGeometry() {
    if (!Drive || Drive->BootSector.size() < 512)
        return false;
    ByteReader boot(Drive->BootSector.data(), Drive->BootSector.size());
    SectorSize = *boot.u16(11);
    // Above 0x80 the byte is a negative power of two: 0xF4 means 4096 sectors.
    const uint8_t perCluster = *boot.u8(13);
    SectorsPerCluster = perCluster <= 0x80 ? perCluster : (perCluster >= 0xEC ? 1u << (256 - perCluster) : 0);
    TotalSectors = *boot.i64(40);
    MftCluster = *boot.i64(48);
    const bool sectorOk = SectorSize >= 256 && SectorSize <= 4096 && (SectorSize & (SectorSize - 1)) == 0;
    if (!sectorOk || SectorsPerCluster == 0 || (SectorsPerCluster & (SectorsPerCluster - 1)) != 0)
        return false;
    const uint64_t cluster = uint64_t{SectorSize} * SectorsPerCluster;
    if (cluster > (2u << 20) || TotalSectors <= 0 || MftCluster <= 0)
        return false;
    ClusterSize = static_cast<uint32_t>(cluster);
    TotalClusters = TotalSectors / SectorsPerCluster;

    const int8_t perRecord = *boot.i8(64);
    uint64_t recordSize = perRecord > 0 ? uint64_t{ClusterSize} * static_cast<uint64_t>(perRecord)
                                        : (-perRecord < 31 ? uint64_t{1} << -perRecord : 0);
    if (recordSize < 256 || recordSize > 65536 || (recordSize & (recordSize - 1)) != 0)
        return false;
    RecordSize = static_cast<uint32_t>(recordSize);

    if (TotalSectors > INT64_MAX / SectorSize)
        return false;
    int64_t volumeBytes = TotalSectors * SectorSize;
    const uint64_t deviceBytes = Drive->VolumeHandle ? Drive->VolumeHandle->Size() : 0;
    if (deviceBytes && static_cast<uint64_t>(volumeBytes) > deviceBytes)
        volumeBytes = static_cast<int64_t>(deviceBytes);
    Drive->VolumeBytes = volumeBytes;
    return MftCluster < TotalClusters;
}

void TNTFS_Disk::LoadSystemRecords() {
    // Record 0 describes the MFT itself; until its runs are known, it lies at MftCluster.
    const int64_t mftPos = MftCluster * static_cast<int64_t>(ClusterSize);
    auto record = volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(mftPos), RecordSize, &StopFlag);
    if (!record || ByteReader(*record).u32(24).value_or(0) == 0)
        return;
    auto mft = std::make_unique<TMyFile>();
    mft->Drive = Drive;
    mft->DataPos = mft->RecordPos = mftPos;
    mft->RecordNo = 0;
    if (!ParseFileRecord(*mft, *record) || mft->Runs.empty() || !mft->Runs[0].OnVolume || mft->Runs[0].IsHole)
        return;
    MftFile = std::move(mft);
    MapMft();
    // A fragmented MFT continues its run list in extension records.
    FollowAttributeList(*MftFile, *record, ByteReader(*record).u32(24).value_or(0));

    if (auto bitmap = ReadRecord(6)) {
        auto file = std::make_unique<TMyFile>();
        file->Drive = Drive;
        file->DataPos = file->RecordPos = bitmap->position;
        file->RecordNo = 6;
        if (ParseFileRecord(*file, bitmap->bytes))
            BitmapFile = std::move(file);
    }
}

void TNTFS_Disk::MapMft() {
    // Run lengths come from the volume: their sum stops at the largest
    // number, and no MFT is larger than the volume that holds it.
    mftRunEnds_.clear();
    int64_t end = 0;
    for (const TMyFileRun& run : MftFile->Runs) {
        end = volume::SaturatingAdd(end, run.RunLength);
        mftRunEnds_.push_back(end);
    }
    MftSize = std::min(end, Drive->VolumeBytes);
}

int64_t TNTFS_Disk::RecordOffset(int64_t n) const {
    if (!MftFile || MftFile->Runs.empty() || n < 0 || n > INT64_MAX / RecordSize)
        return -1;
    const int64_t b = n * RecordSize;
    auto it = std::upper_bound(mftRunEnds_.begin(), mftRunEnds_.end(), b);
    if (it == mftRunEnds_.end())
        return -1;
    const size_t i = static_cast<size_t>(it - mftRunEnds_.begin());
    const int64_t before = i == 0 ? 0 : mftRunEnds_[i - 1];
    const TMyFileRun& run = MftFile->Runs[i];
    return run.IsHole ? -1 : run.RunStart + (b - before);
}

std::optional<TNTFS_Disk::RecordBytes> TNTFS_Disk::ReadRecord(int64_t n) {
    const int64_t offset = RecordOffset(n);
    if (offset < 0)
        return std::nullopt;
    RecordBytes out;
    out.position = offset;
    // A record may straddle the end of one MFT extent and the start of the next.
    const int64_t b = n * RecordSize;
    const size_t i = static_cast<size_t>(std::upper_bound(mftRunEnds_.begin(), mftRunEnds_.end(), b) - mftRunEnds_.begin());
    const int64_t inThisRun = mftRunEnds_[i] - b;
    const platform::VolumeDevice* device = Drive->VolumeHandle.get();
    if (inThisRun >= RecordSize) {
        auto bytes = volume::ReadBytes(device, static_cast<uint64_t>(offset), RecordSize);
        if (!bytes)
            return std::nullopt;
        out.bytes = std::move(*bytes);
        return out;
    }
    if (i + 1 >= MftFile->Runs.size() || MftFile->Runs[i + 1].IsHole ||
        MftFile->Runs[i + 1].RunLength < RecordSize - inThisRun)
        return std::nullopt;
    auto first = volume::ReadBytes(device, static_cast<uint64_t>(offset), static_cast<uint32_t>(inThisRun));
    auto second = volume::ReadBytes(device, static_cast<uint64_t>(MftFile->Runs[i + 1].RunStart),
                                    static_cast<uint32_t>(RecordSize - inThisRun));
    if (!first || !second)
        return std::nullopt;
    out.bytes = std::move(*first);
    out.bytes.insert(out.bytes.end(), second->begin(), second->end());
    out.splitLength = static_cast<uint32_t>(inThisRun);
    out.splitStart = MftFile->Runs[i + 1].RunStart;
    return out;
}

bool TNTFS_Disk::IsStopped() const {
    if (!context_.Progress)
        return StopFlag.load(std::memory_order_relaxed);
    const TUnDeleteProgress& p = *context_.Progress;
    p.WaitWhilePaused();
    return p.FScanCancelled || p.FLowMemory || p.FFoundCount >= p.FMaxFiles;
}

std::string TNTFS_Disk::VolumeLabel() {
    // The volume name is a resident attribute (0x60) of record 3.
    auto record = ReadRecord(3);
    if (!record || !volume::ApplyUpdateSequence(record->bytes))
        return {};
    ByteReader r(record->bytes);
    const uint32_t inUse = std::min<uint32_t>(r.u32(24).value_or(0), RecordSize);
    size_t off = r.u16(20).value_or(56);
    while (off + 24 <= inUse) {
        const uint32_t type = *r.u32(off);
        const uint32_t length = *r.u32(off + 4);
        if (type == 0xFFFFFFFF || length < 24 || length > inUse - off)
            break;
        if (type == 0x60 && *r.u8(off + 8) == 0) {
            const uint32_t valueLength = *r.u32(off + 16);
            const uint16_t valueOffset = *r.u16(off + 20);
            if (valueOffset + size_t{valueLength} <= length)
                return volume::TrimBlanks(volume::Utf16LeToUtf8(record->bytes.data() + off + valueOffset, valueLength / 2));
            break;
        }
        off += length;
    }
    return {};
}
