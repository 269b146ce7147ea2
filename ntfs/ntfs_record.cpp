#include <cstdio>

#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_disk.h"
#include "volume/text.h"
#include "volume/update_sequence.h"

using volume::ByteReader;
using namespace ntfs;

namespace {

bool HasFileMagic(std::span<const uint8_t> r) {
    return r.size() >= 4 && r[0] == 'F' && r[1] == 'I' && r[2] == 'L' && r[3] == 'E';
}

// $DATA attribute flags.
constexpr uint16_t kCompressionMask = 0x00FF;
constexpr uint16_t kCompressedLznt1 = 0x0001;
constexpr uint16_t kEncrypted = 0x4000;
// The only compression unit NTFS writes: 16 clusters, on volumes whose
// clusters are at most 4 KiB.
constexpr uint16_t kUnitShift = 4;
constexpr uint32_t kLargestCompressedCluster = 4096;

} // namespace

namespace ntfs {

std::optional<uint32_t> RepairRecord(std::span<uint8_t> record, uint32_t recordSize) {
    if (record.size() < recordSize || !HasFileMagic(record))
        return std::nullopt;
    const uint32_t inUse = *ByteReader(record.data(), recordSize).u32(24);
    if (inUse > recordSize || !volume::ApplyUpdateSequence(record.first(recordSize)))
        return std::nullopt;
    return inUse;
}

std::optional<FileNameValue> ReadFileName(const AttributeView& a) {
    auto value = a.ResidentValue();
    if (!value || value->size() < 66)
        return std::nullopt;
    FileNameValue out;
    out.parent = SplitReference(*value->u64(0));
    const uint8_t length = *value->u8(64);
    const uint8_t nameSpace = *value->u8(65);
    if (nameSpace == 2)
        return out;
    auto units = value->Bytes(66, size_t{length} * 2);
    if (!units)
        return std::nullopt;  // the name reaches past the attribute
    out.name = volume::Utf16LeToUtf8(units->data(), length);
    out.usable = true;
    return out;
}

int64_t DecodeRuns(const ByteReader& a, size_t p, uint32_t clusterSize, std::vector<TMyFileRun>& runs) {
    const int64_t cluster = clusterSize;
    int64_t lcn = 0, clusters = 0;
    while (p < a.size()) {
        const uint8_t header = *a.u8(p);
        if (header == 0)
            break;
        const size_t countBytes = header & 0x0F, offsetBytes = header >> 4;
        if (countBytes == 0 || countBytes > 8 || offsetBytes > 8 || !a.Has(p + 1, countBytes + offsetBytes))
            break;
        const uint64_t count = *a.uN(p + 1, countBytes);
        if (count == 0 || count > static_cast<uint64_t>(INT64_MAX / cluster))
            break;
        TMyFileRun run;
        run.RunLength = static_cast<int64_t>(count) * cluster;
        if (offsetBytes == 0) {
            run.IsHole = true;  // sparse: zeros in place, no clusters
        } else {
            const int64_t delta = *a.iN(p + 1 + countBytes, offsetBytes);
            if (__builtin_add_overflow(lcn, delta, &lcn) || lcn < 0 || lcn > INT64_MAX / cluster)
                break;
            run.RunStart = lcn * cluster;
        }
        runs.push_back(run);
        clusters = volume::SaturatingAdd(clusters, static_cast<int64_t>(count));
        p += 1 + countBytes + offsetBytes;
    }
    return clusters;
}

} // namespace ntfs

bool TNTFS_Disk::ParseFileRecord(TMyFile& file, std::span<uint8_t> record) {
    const bool result = ParseAttributes(file, record);
    NameByRecordNumber(file);
    return result;
}

void TNTFS_Disk::NameByRecordNumber(TMyFile& file) {
    if (!file.FileName.empty())
        return;
    // Only a DOS name, or none: the record number stands in.
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(file.RecordNo));
    file.FileName = hex;
}

bool TNTFS_Disk::ParseAttributes(TMyFile& file, std::span<uint8_t> record) {
    const auto inUse = RepairRecord(record, RecordSize);
    if (!inUse)
        return false;
    const ByteReader r(record.data(), RecordSize);

    bool result = true, dataSeen = false;
    ForEachAttribute(r, *inUse, [&](const AttributeView& a) {
        if (IsStopped()) {
            result = false;
            return false;
        }
        if (a.nonResident && (a.type == kAttrStandardInformation || a.type == kAttrFileName)) {
            result = false;
            return false;
        }
        if (a.type == kAttrStandardInformation) {
            auto v = a.ResidentValue();
            if (v && v->size() >= 32) {
                file.CreatedTime = *v->u64(0);
                file.ModifiedTime = *v->u64(8);
                file.ChangedTime = *v->u64(16);
                file.AccessedTime = *v->u64(24);
                file.HasTimes = true;
            }
        } else if (a.type == kAttrFileName) {
            if (!TakeFileName(file, a))
                return false;  // a name that does not fit ends the walk; the record stays valid
        } else if (a.type == kAttrData && a.nameLength == 0 && !dataSeen) {
            // Only the unnamed stream is the file's content; named streams are not.
            dataSeen = true;
            ParseData(file, record.first(RecordSize), a.offset, a.length);
        }
        return true;
    });
    return result;
}

bool TNTFS_Disk::TakeFileName(TMyFile& file, const AttributeView& a) {
    auto name = ReadFileName(a);
    if (!name)
        return false;
    if (name->usable) {
        file.Extension = volume::ExtensionOf(name->name);
        file.FileName = volume::TrimControls(std::move(name->name));
    }
    file.ParentRecordNo = name->parent.record;
    file.ParentSequence = name->parent.sequence;
    return true;
}

void TNTFS_Disk::ParseData(TMyFile& file, std::span<const uint8_t> record, size_t offset, size_t length) {
    ByteReader a(record.data() + offset, length);
    const uint16_t flags = a.u16(12).value_or(0);
    if (flags & kEncrypted)
        file.Encrypted = true;  // what lies on the volume is ciphertext
    if (*a.u8(8) == 0) {
        if (file.FileSize != 0)
            return;
        auto valueLength = a.u32(16);
        auto valueOffset = a.u16(20);
        if (!valueLength || !valueOffset || !a.Has(*valueOffset, *valueLength))
            return;
        file.FileSize = *valueLength;
        file.Runs.clear();
        TMyFileRun run;
        run.RunStart = file.DataPos;
        run.RunLength = *valueLength;
        run.ResidentOffset = static_cast<uint32_t>(offset + *valueOffset);
        run.OnVolume = false;
        file.Runs.push_back(run);
        return;
    }

    auto lowestVcn = a.u64(16);
    auto realSize = a.i64(48);
    auto runsOffset = a.u16(32);
    if (!lowestVcn || !realSize || !runsOffset || *lowestVcn != 0)
        return;  // a later piece of an attribute that lives in another record
    file.FileSize = *realSize < 0 ? 0 : *realSize;
    if (flags & kCompressionMask) {
        const uint16_t unitShift = a.u16(34).value_or(0);
        const bool readable = (flags & kCompressionMask) == kCompressedLznt1 && unitShift == kUnitShift &&
                              ClusterSize <= kLargestCompressedCluster;
        file.CompressionUnit = readable ? ClusterSize << unitShift : kUnreadableCompression;
    }
    DecodeRuns(a, *runsOffset, ClusterSize, file.Runs);
    for (const TMyFileRun& run : file.Runs) {
        if (!run.IsHole) {
            file.DataPos = run.RunStart;
            break;
        }
    }
}

bool TNTFS_Disk::ParseFolderRecord(TMyFolder& folder, std::span<uint8_t> record) {
    const auto inUse = RepairRecord(record, RecordSize);
    if (!inUse)
        return false;
    const ByteReader r(record.data(), RecordSize);
    bool result = true;
    ForEachAttribute(r, *inUse, [&](const AttributeView& a) {
        if (IsStopped()) {
            result = false;
            return false;
        }
        if (a.nonResident)
            return true;
        if (a.type == kAttrStandardInformation) {
            auto v = a.ResidentValue();
            if (v && v->size() >= 36 && *v->u32(32) == 0)
                folder.ModifiedTime = *v->u64(8);
        } else if (a.type == kAttrFileName) {
            auto name = ReadFileName(a);
            if (!name)
                return false;
            if (name->usable)
                folder.FolderName = folder.DisplayName = volume::TrimControls(std::move(name->name));
            folder.ParentRecordNo = name->parent.record;
            folder.ParentSequence = name->parent.sequence;
        }
        return true;
    });
    return result;
}
