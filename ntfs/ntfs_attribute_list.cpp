// Following a record's attribute list: when a file's attributes outgrow its
// record (a run list of hundreds of fragments, many names), NTFS moves them
// to extension records, and the base record's $ATTRIBUTE_LIST says where
// each piece went.
#include <algorithm>

#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_disk.h"
#include "ntfs/ntfs_layout.h"
#include "ntfs/record_parse.h"
#include "volume/raw_reader.h"

using volume::ByteReader;
using namespace ntfs;

namespace {

// An attribute list is a few entries per piece; this is room for thousands.
constexpr int64_t kLargestList = 256 << 10;

} // namespace

std::optional<std::vector<uint8_t>> TNTFS_Disk::ReadAttributeList(const AttributeView& list) {
    if (!list.nonResident) {
        // Read through to the attribute's end: the value's own length may have been cut.
        auto valueOffset = list.bytes.u16(layout::attribute::kValueOffset);
        if (!valueOffset || *valueOffset >= list.length)
            return std::nullopt;
        auto bytes = list.bytes.Bytes(*valueOffset, list.length - *valueOffset);
        if (!bytes)
            return std::nullopt;
        return std::vector<uint8_t>(bytes->begin(), bytes->end());
    }
    auto runsOffset = list.bytes.u16(layout::attribute::kRunsOffset);
    auto allocated = list.bytes.i64(layout::attribute::kAllocatedSize);
    if (!runsOffset || !allocated || *allocated <= 0)
        return std::nullopt;
    std::vector<TMyFileRun> runs;
    DecodeRuns(list.bytes, *runsOffset, ClusterSize, runs);
    std::vector<uint8_t> out;
    const int64_t wanted = std::min(*allocated, kLargestList);
    for (const TMyFileRun& run : runs) {
        const int64_t take = std::min(run.RunLength, wanted - static_cast<int64_t>(out.size()));
        if (take <= 0 || run.IsHole || run.RunStart > Drive->VolumeBytes || take > Drive->VolumeBytes - run.RunStart)
            break;
        auto bytes = volume::ReadBytes(Drive->Source.get(), static_cast<uint64_t>(run.RunStart),
                                       static_cast<uint32_t>(take), stop_.Flag());
        if (!bytes)
            break;
        out.insert(out.end(), bytes->begin(), bytes->end());
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

std::optional<TNTFS_Disk::RecordBytes> TNTFS_Disk::ReadExtension(const FileReference& holder, int64_t base,
                                                                 uint16_t baseSequence) {
    auto record = ReadRecord(holder.record);
    if (!record)
        return std::nullopt;
    auto inUse = RepairRecord(record->bytes, RecordSize);
    if (!inUse)
        return std::nullopt;
    const ByteReader r(record->bytes);
    const auto flags = r.u16(layout::record::kFlags);
    const auto baseReference = r.u64(layout::record::kBaseRecord);
    const auto sequence = r.u16(layout::record::kSequence);
    if (!flags || !baseReference || !sequence)
        return std::nullopt;  // a header cut short names no base record
    const FileReference back = SplitReference(*baseReference);
    // The extension must still belong to this file: it names this base
    // record as it was when the piece was written (the base's sequence is
    // one ahead once the file was deleted), and it is the record the list named.
    if (back.record != base || !(back.sequence == baseSequence || static_cast<uint16_t>(back.sequence + 1) == baseSequence) ||
        !SequenceMatches(holder.sequence, *sequence, !(*flags & layout::record::kInUse)))
        return std::nullopt;
    record->inUse = *inUse;
    return record;
}

void TNTFS_Disk::FollowAttributeList(TMyFile& file, std::span<const uint8_t> base, uint32_t baseInUse) {
    const ByteReader b(base.data(), base.size());
    std::optional<AttributeView> list;
    ForEachAttribute(b, baseInUse, [&](const AttributeView& a) {
        if (a.type == kAttrAttributeList)
            list = a;
        return !list;
    });
    if (!list)
        return;
    auto listBytes = ReadAttributeList(*list);
    if (!listBytes)
        return;
    std::vector<ListEntry> entries = ParseAttributeList(*listBytes);
    const auto baseSequence = b.u16(layout::record::kSequence);
    if (!baseSequence)
        return;  // a base record too short to name its own use cannot vouch for extensions
    const bool extendsMft = &file == MftFile.get();

    // The unnamed $DATA, piece after piece: each must begin where the one
    // before it ended, so a stale or foreign entry cannot splice in.
    std::vector<const ListEntry*> pieces;
    for (const ListEntry& e : entries)
        if (e.type == kAttrData && !e.named)
            pieces.push_back(&e);
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const ListEntry* x, const ListEntry* y) { return x->firstVcn < y->firstVcn; });
    TMyFile gathered;
    gathered.DataPos = file.DataPos;
    gathered.RecordNo = file.RecordNo;
    uint64_t nextVcn = 0;
    for (const ListEntry* e : pieces) {
        if (e->firstVcn != nextVcn || IsStopped())
            continue;
        std::optional<RecordBytes> holder;
        std::span<const uint8_t> bytes = base;
        uint32_t inUse = baseInUse;
        if (e->holder.record != file.RecordNo) {
            holder = ReadExtension(e->holder, file.RecordNo, *baseSequence);
            if (!holder)
                continue;
            bytes = holder->bytes;
            inUse = holder->inUse;
        }
        const int64_t clusters = TakeDataPiece(gathered, bytes, inUse, e->firstVcn, holder ? &*holder : nullptr);
        if (clusters <= 0)
            continue;
        nextVcn += static_cast<uint64_t>(clusters);
        if (extendsMft) {
            // Later extension records of the MFT may lie in the part just found.
            file.Runs = gathered.Runs;
            MapMft();
        }
    }
    if (nextVcn > 0 || (!gathered.Runs.empty() && !gathered.Runs[0].OnVolume)) {
        file.Runs = std::move(gathered.Runs);
        file.FileSize = gathered.FileSize;
        file.DataPos = gathered.DataPos;
        file.CompressionUnit = gathered.CompressionUnit;
        file.Encrypted = file.Encrypted || gathered.Encrypted;
        if (extendsMft)
            MapMft();
    }

    // A name that moved out of the base record.
    if (!file.FileName.empty())
        return;
    for (const ListEntry& e : entries) {
        if (e.type != kAttrFileName || e.holder.record == file.RecordNo || !file.FileName.empty())
            continue;
        auto holder = ReadExtension(e.holder, file.RecordNo, *baseSequence);
        if (!holder)
            continue;
        ForEachAttribute(ByteReader(holder->bytes), holder->inUse, [&](const AttributeView& a) {
            if (a.type == kAttrFileName && !a.nonResident)
                TakeFileName(file, a);
            return file.FileName.empty();
        });
    }
}

int64_t TNTFS_Disk::TakeDataPiece(TMyFile& file, std::span<const uint8_t> record, uint32_t inUse, uint64_t firstVcn,
                                  const RecordBytes* holder) {
    const ByteReader r(record.data(), record.size());
    int64_t clusters = 0;
    ForEachAttribute(r, inUse, [&](const AttributeView& a) {
        if (a.type != kAttrData || a.nameLength != 0)
            return true;
        if (!a.nonResident) {
            // Data that fits a record is the whole stream: resident in the extension record.
            if (firstVcn != 0 || !holder)
                return true;
            auto value = a.ResidentValue();
            const auto valueOffset = a.bytes.u16(layout::attribute::kValueOffset);
            if (!value || !valueOffset)
                return true;
            file.FileSize = static_cast<int64_t>(value->size());
            file.DataPos = holder->position;
            TMyFileRun run;
            run.RunStart = holder->position;
            run.RunLength = file.FileSize;
            run.ResidentOffset = static_cast<uint32_t>(a.offset + *valueOffset);
            run.OnVolume = false;
            run.SplitLength = holder->splitLength;
            run.SplitStart = holder->splitStart;
            file.Runs.assign(1, run);
            return false;
        }
        auto lowestVcn = a.bytes.u64(layout::attribute::kLowestVcn);
        auto runsOffset = a.bytes.u16(layout::attribute::kRunsOffset);
        if (!lowestVcn || *lowestVcn != firstVcn || !runsOffset)
            return true;
        if (firstVcn == 0) {
            // Only the first piece carries the sizes and flags of the stream.
            TMyFile first;
            first.DataPos = file.DataPos;
            ParseData(first, record, a.offset, a.length);
            file.FileSize = first.FileSize;
            file.CompressionUnit = first.CompressionUnit;
            file.Encrypted = first.Encrypted;
            file.DataPos = first.DataPos;
            file.Runs = std::move(first.Runs);
            for (const TMyFileRun& run : file.Runs)
                clusters = volume::SaturatingAdd(clusters, run.RunLength / ClusterSize);
        } else {
            clusters = DecodeRuns(a.bytes, *runsOffset, ClusterSize, file.Runs);
        }
        return false;
    });
    return clusters;
}
