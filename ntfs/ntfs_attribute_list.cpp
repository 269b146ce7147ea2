// Following a record's attribute list: when a file's attributes outgrow its
// record (a run list of hundreds of fragments, many names), NTFS moves them
// to extension records, and the base record's $ATTRIBUTE_LIST says where
// each piece went.
#include <algorithm>

#include "ntfs/ntfs_attributes.h"
#include "ntfs/ntfs_disk.h"
#include "volume/raw_reader.h"

using volume::ByteReader;
using namespace ntfs;

namespace {

// An attribute list is a few entries per piece; this is room for thousands.
constexpr int64_t kLargestList = 256 << 10;

struct ListEntry {
    uint32_t type = 0;
    uint64_t firstVcn = 0;
    FileReference holder;  // the record that holds this piece
    bool named = false;
};

// The entries of an attribute list. An attribute list shrinks without
// clearing what it leaves behind (ntfs-3g shortens it while deleting the
// file), so entries are read on past the list's own length, through its
// allocation, for as long as they look like entries. Each is checked
// against the record it names before it is used.
std::vector<ListEntry> ParseList(std::span<const uint8_t> bytes) {
    const ByteReader r(bytes);
    std::vector<ListEntry> entries;
    size_t off = 0;
    while (r.Has(off, 26)) {
        const uint32_t type = *r.u32(off);
        const uint16_t length = *r.u16(off + 4);
        const uint8_t nameLength = *r.u8(off + 6), nameOffset = *r.u8(off + 7);
        const bool plausible = type >= kAttrStandardInformation && type <= 0x100 && type % 0x10 == 0 &&
                               length >= 26 && length % 8 == 0 && r.Has(off, length) &&
                               (nameLength == 0 || size_t{nameOffset} + 2u * nameLength <= length);
        if (!plausible)
            break;
        ListEntry e;
        e.type = type;
        e.firstVcn = *r.u64(off + 8);
        e.holder = SplitReference(*r.u64(off + 16));
        e.named = nameLength != 0;
        entries.push_back(e);
        off += length;
    }
    return entries;
}

} // namespace

std::optional<std::vector<uint8_t>> TNTFS_Disk::ReadAttributeList(const AttributeView& list) {
    if (!list.nonResident) {
        // Read through to the attribute's end: the value's own length may have been cut.
        auto valueOffset = list.bytes.u16(20);
        if (!valueOffset || *valueOffset >= list.length)
            return std::nullopt;
        auto bytes = list.bytes.Bytes(*valueOffset, list.length - *valueOffset);
        return std::vector<uint8_t>(bytes->begin(), bytes->end());
    }
    auto runsOffset = list.bytes.u16(32);
    auto allocated = list.bytes.i64(40);
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
        auto bytes = volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(run.RunStart),
                                       static_cast<uint32_t>(take), &StopFlag);
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
    const uint16_t flags = *r.u16(kFlagsAt);
    const FileReference back = SplitReference(*r.u64(kBaseRecordAt));
    // The extension must still belong to this file: it names this base
    // record as it was when the piece was written (the base's sequence is
    // one ahead once the file was deleted), and it is the record the list named.
    if (back.record != base || !(back.sequence == baseSequence || static_cast<uint16_t>(back.sequence + 1) == baseSequence) ||
        !SequenceMatches(holder.sequence, *r.u16(kSequenceAt), !(flags & kRecordInUse)))
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
    std::vector<ListEntry> entries = ParseList(*listBytes);
    const uint16_t baseSequence = *b.u16(kSequenceAt);
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
            holder = ReadExtension(e->holder, file.RecordNo, baseSequence);
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
        auto holder = ReadExtension(e.holder, file.RecordNo, baseSequence);
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
            if (!value)
                return true;
            file.FileSize = static_cast<int64_t>(value->size());
            file.DataPos = holder->position;
            TMyFileRun run;
            run.RunStart = holder->position;
            run.RunLength = file.FileSize;
            run.ResidentOffset = static_cast<uint32_t>(a.offset + *a.bytes.u16(20));
            run.OnVolume = false;
            run.SplitLength = holder->splitLength;
            run.SplitStart = holder->splitStart;
            file.Runs.assign(1, run);
            return false;
        }
        auto lowestVcn = a.bytes.u64(16);
        auto runsOffset = a.bytes.u16(32);
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
