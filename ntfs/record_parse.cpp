#include "ntfs/record_parse.h"

#include <algorithm>
#include <cstdio>

#include "ntfs/ntfs_layout.h"
#include "volume/byte_reader.h"
#include "volume/text.h"
#include "volume/update_sequence.h"

namespace ntfs {

using volume::ByteReader;
using volume::Decoded;
namespace record = layout::record;
namespace attr = layout::attribute;
namespace si = layout::standard_information;
namespace fn = layout::file_name;
namespace le = layout::list_entry;
namespace rh = layout::run_header;

namespace {

bool HasFileMagic(std::span<const uint8_t> r) {
    static constexpr uint8_t kMagic[] = {'F', 'I', 'L', 'E'};
    return r.size() >= record::kMagic + record::kMagicLength &&
           std::equal(kMagic, kMagic + record::kMagicLength, r.begin() + record::kMagic);
}

// $DATA attribute flags.
constexpr uint16_t kCompressionMask = 0x00FF;
constexpr uint16_t kCompressedLznt1 = 0x0001;
constexpr uint16_t kEncrypted = 0x4000;
// The only compression unit NTFS writes: 16 clusters, on volumes whose
// clusters are at most 4 KiB.
constexpr uint16_t kUnitShift = 4;
constexpr uint32_t kLargestCompressedCluster = 4096;

// The highest attribute type an attribute list names ($LOGGED_UTILITY_STREAM).
constexpr uint32_t kLastAttributeType = 0x100;
constexpr uint32_t kAttributeTypeStep = 0x10;

} // namespace

std::optional<uint32_t> RepairRecord(std::span<uint8_t> bytes, uint32_t recordSize) {
    if (bytes.size() < recordSize || !HasFileMagic(bytes))
        return std::nullopt;
    const auto inUse = ByteReader(bytes.data(), recordSize).u32(record::kBytesInUse);
    if (!inUse || *inUse > recordSize || !volume::ApplyUpdateSequence(bytes.first(recordSize)))
        return std::nullopt;
    return *inUse;
}

std::optional<FileNameValue> ReadFileName(const AttributeView& a) {
    auto value = a.ResidentValue();
    if (!value || value->size() < fn::kName)
        return std::nullopt;
    FileNameValue out;
    out.parent = SplitReference(value->u64(fn::kParent).value_or(0));
    const uint8_t length = value->u8(fn::kNameLength).value_or(0);
    const uint8_t nameSpace = value->u8(fn::kNameSpace).value_or(0);
    if (nameSpace == fn::kDosNameSpace)
        return out;
    auto units = value->Bytes(fn::kName, size_t{length} * 2);
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
        const uint8_t header = a.u8(p).value_or(0);
        if (header == 0)
            break;
        const size_t countBytes = header & rh::kCountWidthMask, offsetBytes = header >> rh::kOffsetWidthShift;
        if (countBytes == 0 || countBytes > rh::kLargestWidth || offsetBytes > rh::kLargestWidth ||
            !a.Has(p + 1, countBytes + offsetBytes))
            break;
        const uint64_t count = a.uN(p + 1, countBytes).value_or(0);
        if (count == 0 || count > static_cast<uint64_t>(INT64_MAX / cluster))
            break;
        TMyFileRun run;
        run.RunLength = static_cast<int64_t>(count) * cluster;
        if (offsetBytes == 0) {
            run.IsHole = true;  // sparse: zeros in place, no clusters
        } else {
            const auto delta = a.iN(p + 1 + countBytes, offsetBytes);
            if (!delta || __builtin_add_overflow(lcn, *delta, &lcn) || lcn < 0 || lcn > INT64_MAX / cluster)
                break;
            run.RunStart = lcn * cluster;
        }
        runs.push_back(run);
        clusters = volume::SaturatingAdd(clusters, static_cast<int64_t>(count));
        p += 1 + countBytes + offsetBytes;
    }
    return clusters;
}

Decoded ParseFileRecord(TMyFile& file, std::span<uint8_t> bytes, const RecordShape& shape, const StopTest& stopped) {
    const Decoded result = ParseAttributes(file, bytes, shape, stopped);
    NameByRecordNumber(file);
    return result;
}

void NameByRecordNumber(TMyFile& file) {
    if (!file.FileName.empty())
        return;
    // Only a DOS name, or none: the record number stands in.
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(file.RecordNo));
    file.FileName = hex;
}

Decoded ParseAttributes(TMyFile& file, std::span<uint8_t> bytes, const RecordShape& shape, const StopTest& stopped) {
    const auto inUse = RepairRecord(bytes, shape.RecordSize);
    if (!inUse)
        return Decoded::Refused("not a readable record");
    const ByteReader r(bytes.data(), shape.RecordSize);

    Decoded result = Decoded::Done();
    bool dataSeen = false;
    ForEachAttribute(r, *inUse, [&](const AttributeView& a) {
        if (stopped && stopped()) {
            result = Decoded::Refused("stopped");
            return false;
        }
        if (a.nonResident && (a.type == kAttrStandardInformation || a.type == kAttrFileName)) {
            result = Decoded::Refused("times or name not resident");
            return false;
        }
        if (a.type == kAttrStandardInformation) {
            auto v = a.ResidentValue();
            if (v && v->size() >= si::kTimesEnd) {
                file.CreatedTime = v->u64(si::kCreated).value_or(0);
                file.ModifiedTime = v->u64(si::kModified).value_or(0);
                file.ChangedTime = v->u64(si::kChanged).value_or(0);
                file.AccessedTime = v->u64(si::kAccessed).value_or(0);
                file.HasTimes = true;
            }
        } else if (a.type == kAttrFileName) {
            if (!TakeFileName(file, a))
                return false;  // a name that does not fit ends the walk; the record stays valid
        } else if (a.type == kAttrData && a.nameLength == 0 && !dataSeen) {
            // Only the unnamed stream is the file's content; named streams are not.
            dataSeen = true;
            ParseData(file, bytes.first(shape.RecordSize), a.offset, a.length, shape.ClusterSize);
        }
        return true;
    });
    return result;
}

Decoded TakeFileName(TMyFile& file, const AttributeView& a) {
    auto name = ReadFileName(a);
    if (!name)
        return Decoded::Refused("name reaches past its attribute");
    if (name->usable) {
        file.Extension = volume::ExtensionOf(name->name);
        file.FileName = volume::TrimControls(std::move(name->name));
    }
    file.ParentRecordNo = name->parent.record;
    file.ParentSequence = name->parent.sequence;
    return Decoded::Done();
}

void ParseData(TMyFile& file, std::span<const uint8_t> bytes, size_t offset, size_t length, uint32_t clusterSize) {
    if (offset > bytes.size() || length > bytes.size() - offset)
        return;
    const ByteReader a(bytes.data() + offset, length);
    const uint16_t flags = a.u16(attr::kFlags).value_or(0);
    if (flags & kEncrypted)
        file.Encrypted = true;  // what lies on the volume is ciphertext
    const auto nonResident = a.u8(attr::kNonResident);
    if (!nonResident)
        return;
    if (*nonResident == 0) {
        if (file.FileSize != 0)
            return;
        auto valueLength = a.u32(attr::kValueLength);
        auto valueOffset = a.u16(attr::kValueOffset);
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

    auto lowestVcn = a.u64(attr::kLowestVcn);
    auto realSize = a.i64(attr::kRealSize);
    auto runsOffset = a.u16(attr::kRunsOffset);
    if (!lowestVcn || !realSize || !runsOffset || *lowestVcn != 0)
        return;  // a later piece of an attribute that lives in another record
    file.FileSize = *realSize < 0 ? 0 : *realSize;
    if (flags & kCompressionMask) {
        const uint16_t unitShift = a.u16(attr::kCompressionUnit).value_or(0);
        const bool readable = (flags & kCompressionMask) == kCompressedLznt1 && unitShift == kUnitShift &&
                              clusterSize <= kLargestCompressedCluster;
        file.CompressionUnit = readable ? clusterSize << unitShift : kUnreadableCompression;
    }
    DecodeRuns(a, *runsOffset, clusterSize, file.Runs);
    for (const TMyFileRun& run : file.Runs) {
        if (!run.IsHole) {
            file.DataPos = run.RunStart;
            break;
        }
    }
}

Decoded ParseFolderRecord(TMyFolder& folder, std::span<uint8_t> bytes, const RecordShape& shape,
                          const StopTest& stopped) {
    const auto inUse = RepairRecord(bytes, shape.RecordSize);
    if (!inUse)
        return Decoded::Refused("not a readable record");
    const ByteReader r(bytes.data(), shape.RecordSize);
    Decoded result = Decoded::Done();
    ForEachAttribute(r, *inUse, [&](const AttributeView& a) {
        if (stopped && stopped()) {
            result = Decoded::Refused("stopped");
            return false;
        }
        if (a.nonResident)
            return true;
        if (a.type == kAttrStandardInformation) {
            // Every folder takes its time, whatever its attribute flags: a
            // recovery that keeps folders gives it back to the copy.
            auto v = a.ResidentValue();
            if (v && v->size() >= si::kFileAttributesEnd) {
                folder.ModifiedTime = v->u64(si::kModified).value_or(0);
                folder.CreatedTime = v->u64(si::kCreated).value_or(0);
            }
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

std::string ReadVolumeName(std::span<const uint8_t> bytes, uint32_t recordSize) {
    const ByteReader r(bytes);
    const uint32_t inUse = std::min<uint32_t>({r.u32(record::kBytesInUse).value_or(0), recordSize,
                                               static_cast<uint32_t>(std::min<size_t>(bytes.size(), UINT32_MAX))});
    size_t off = r.u16(record::kFirstAttribute).value_or(record::kUsualFirstAttribute);
    while (off + attr::kResidentHeaderSize <= inUse) {
        const uint32_t type = r.u32(off + attr::kType).value_or(attr::kEndMarker);
        const uint32_t length = r.u32(off + attr::kLength).value_or(0);
        if (type == attr::kEndMarker || length < attr::kResidentHeaderSize || length > inUse - off)
            break;
        if (type == kAttrVolumeName && r.u8(off + attr::kNonResident).value_or(1) == 0) {
            const uint32_t valueLength = r.u32(off + attr::kValueLength).value_or(0);
            const uint16_t valueOffset = r.u16(off + attr::kValueOffset).value_or(0);
            if (valueOffset + size_t{valueLength} <= length)
                return volume::TrimBlanks(volume::Utf16LeToUtf8(bytes.data() + off + valueOffset, valueLength / 2));
            break;
        }
        off += length;
    }
    return {};
}

volume::Parsed<RecordHeader> ReadRecordHeader(std::span<const uint8_t> bytes, uint32_t recordSize, int64_t index) {
    const ByteReader r(bytes);
    if (!HasFileMagic(bytes))
        return volume::Parsed<RecordHeader>::Refused("no FILE mark");
    RecordHeader h;
    h.inUse = r.u32(record::kBytesInUse).value_or(0);
    if (h.inUse == 0 || h.inUse > recordSize)
        return volume::Parsed<RecordHeader>::Refused("bytes in use beyond the record");
    h.baseRecord = r.u64(record::kBaseRecord).value_or(0);
    h.flags = r.u16(record::kFlags).value_or(0);
    const uint16_t arrayAt = r.u16(record::kUpdateSequenceOffset).value_or(0);
    const auto ownNumber = r.u32(record::kRecordNumber);
    h.recordNo = arrayAt >= record::kRecordNumberEnd && ownNumber ? static_cast<int64_t>(*ownNumber) : index;
    h.updateSequence = r.u16(record::kUsualUpdateSequence).value_or(0);
    h.savedTail = r.u16(record::kUsualSavedTail).value_or(0);
    return h;
}

std::vector<ListEntry> ParseAttributeList(std::span<const uint8_t> bytes) {
    const ByteReader r(bytes);
    std::vector<ListEntry> entries;
    size_t off = 0;
    while (r.Has(off, le::kMinimumLength)) {
        const uint32_t type = r.u32(off + le::kType).value_or(0);
        const uint16_t length = r.u16(off + le::kLength).value_or(0);
        const uint8_t nameLength = r.u8(off + le::kNameLength).value_or(0);
        const uint8_t nameOffset = r.u8(off + le::kNameOffset).value_or(0);
        const bool plausible = type >= kAttrStandardInformation && type <= kLastAttributeType &&
                               type % kAttributeTypeStep == 0 && length >= le::kMinimumLength &&
                               length % le::kAlignment == 0 && r.Has(off, length) &&
                               (nameLength == 0 || size_t{nameOffset} + 2u * nameLength <= length);
        if (!plausible)
            break;
        ListEntry e;
        e.type = type;
        e.firstVcn = r.u64(off + le::kFirstVcn).value_or(0);
        e.holder = SplitReference(r.u64(off + le::kHolder).value_or(0));
        e.named = nameLength != 0;
        entries.push_back(e);
        off += length;
    }
    return entries;
}

} // namespace ntfs
