// Reading the allocation table: the copy in use, filled in from the other
// copies where its sectors cannot be read or where the copies disagree.
#include <algorithm>

#include "fat/fat_disk.h"
#include "fat/fat_geometry.h"
#include "fat/fat_layout.h"
#include "volume/salvaging_read.h"

namespace {
namespace table = fat::layout::table;

// Volumes have two copies of the table; more than a few is damage, not worth reading.
constexpr uint32_t kMaxTableCopies = 4;
constexpr uint32_t kTablePiece = 1u << 20;  // the other copies are compared a piece at a time

// Two copies of the table disagree on the entries of one sector. An entry
// free in one copy and in use in the other counts as in use: a copy that
// missed a write (a crash between the two, a sector that went bad and reads
// stale) would otherwise let a file be graded Excellent whose clusters
// something else holds, while taking it as in use only lowers a grade.
// Between two different in-use values the first copy stands: it is the one
// the system writes first and reads.
// `mine` is the whole table, `theirs` a piece of another copy that starts at
// slot `theirFirstSlot`; the stretch compared is `length` bytes from table byte `from`.
void MergeEntries(std::span<uint8_t> mine, std::span<const uint8_t> theirs, uint64_t theirFirstSlot, uint64_t from,
                  uint64_t length, uint8_t bits) {
    // Only entries wholly inside the stretch: a 12-bit entry split by a
    // sector boundary is left as the first copy has it.
    const uint64_t firstSlot = (from * 8 + bits - 1) / bits;
    for (uint64_t slot = firstSlot;; ++slot) {
        const uint64_t at = fat::TableEntryOffset(slot, bits);
        if (at + fat::TableEntryBytes(bits) > from + length)
            break;
        if (fat::TableEntry(mine, slot, bits).value_or(0) != 0)
            continue;
        if (fat::TableEntry(theirs, slot - theirFirstSlot, bits).value_or(0) != 0)
            fat::PutRawTableEntry(mine, slot, bits, *fat::RawTableEntry(theirs, slot - theirFirstSlot, bits));
    }
}

// A FAT12 entry is a byte and a half, so one in every 341 or so lies across
// a sector boundary. Where its sectors came from different copies (one lost
// in the first), or one of them from none, its two halves are no value at
// all: a link built from them may point anywhere. Each such entry is taken
// whole from the copies that give both its sectors, by the rule above, and
// where none does it counts as in use and ends any chain: what it held is not known.
void SettleSplitEntries(std::span<uint8_t> table, const std::vector<fat::TableCopy>& copies, uint32_t sectorBytes) {
    constexpr uint8_t kBits = 12;
    constexpr uint32_t kUnknown = 0xFFF;
    for (uint64_t boundary = sectorBytes; boundary < table.size(); boundary += sectorBytes) {
        const uint64_t at = boundary - 1;  // the entry's first byte: the last of the sector before
        const uint64_t slot = (at * 2 + 2) / 3;  // the one entry that may start there
        if (fat::TableEntryOffset(slot, kBits) != at)
            continue;  // no entry crosses this boundary: 3 bytes hold two whole entries
        const size_t before = static_cast<size_t>(at / sectorBytes);
        std::optional<uint32_t> value;
        for (const fat::TableCopy& copy : copies) {
            if (before + 1 >= copy.lost.size() || copy.lost[before] || copy.lost[before + 1])
                continue;
            const auto theirs = fat::RawTableEntry(copy.bytes, slot, kBits);
            if (theirs && (!value || *value == 0))
                value = *theirs;
        }
        fat::PutRawTableEntry(table, slot, kBits, value.value_or(kUnknown));
    }
}

// Marks the sectors of a read that stayed unreadable, counted from the read's first byte.
void MarkLost(const volume::SalvagedRead& read, uint64_t readOffset, uint32_t sectorBytes, std::vector<bool>& lost) {
    for (const platform::ByteRange& range : read.Unreadable) {
        const uint64_t first = (range.Offset - readOffset) / sectorBytes;
        const uint64_t last = (range.Offset + range.Length - 1 - readOffset) / sectorBytes;
        for (uint64_t s = first; s <= last && s < lost.size(); ++s)
            lost[static_cast<size_t>(s)] = true;
    }
}
} // namespace

bool TDISK_FAT::LoadFat() {
    Fat.clear();
    FatSize = 0;
    if (!geometryValid_ || SectorsPerFat == 0)
        return false;
    const uint8_t bits = geometry_.TableBits;
    const uint64_t size = uint64_t{BytesPerSector} * SectorsPerFat;
    // With mirroring off only the active copy is current; the others hold an
    // older state and never stand in for it.
    const fat::TableChoice choice = fat::ChooseTable(Drive->BootSector, FatCount, bits);
    const bool mirrored = choice.mirrored;
    const uint64_t active = choice.active;
    const uint64_t offset = uint64_t{BytesPerSector} * ReservedSectors + active * size;
    // A table larger than the volume, or than clusters can need, is damage.
    const uint64_t needed = fat::TableBytesFor(ClusterCount + table::kFirstData, bits);
    const uint64_t readable = std::min<uint64_t>(size, needed + BytesPerSector);
    if (static_cast<int64_t>(offset) >= Drive->VolumeBytes || readable > (1ull << 31))
        return false;
    FatSize = std::min<uint64_t>(readable, static_cast<uint64_t>(Drive->VolumeBytes) - offset);
    Fat.assign(static_cast<size_t>(FatSize), 0);
    const volume::SalvagedRead read = volume::ReadSalvaging(Drive->Source.get(), Fat.data(),
                                                            static_cast<uint32_t>(FatSize), offset, stop_.Flag(), Damage());
    if (read.Cancelled)
        return false;
    std::vector<bool> lost(static_cast<size_t>((FatSize + BytesPerSector - 1) / BytesPerSector), false);
    MarkLost(read, offset, BytesPerSector, lost);
    // FAT12 only: each copy kept whole (a few KiB), for the entries split by sector boundaries.
    std::vector<fat::TableCopy> narrowCopies;
    if (bits == 12)
        narrowCopies.push_back({Fat, lost});
    if (mirrored)
        MergeTableCopies(offset, lost, bits == 12 ? &narrowCopies : nullptr);
    // What no copy could give counts as in use, and ends any chain that
    // runs into it: data there is graded as taken.
    uint32_t unknown = 0;
    for (size_t s = 0; s < lost.size(); ++s) {
        if (!lost[s])
            continue;
        const size_t at = s * BytesPerSector;
        std::fill_n(Fat.begin() + static_cast<std::ptrdiff_t>(at), std::min<size_t>(BytesPerSector, Fat.size() - at),
                    uint8_t{0xFF});
        ++unknown;
    }
    if (bits == 12)
        SettleSplitEntries(Fat, narrowCopies, BytesPerSector);
    if (unknown && Damage())
        Damage()->TableSectors.fetch_add(unknown, std::memory_order_relaxed);
    if (unknown == lost.size())
        outcome_ = volume::ReadOutcome::TableUnreadable;
    return true;
}

void TDISK_FAT::MergeTableCopies(uint64_t offset, std::vector<bool>& lost, std::vector<fat::TableCopy>* keep) {
    const uint64_t tableBytes = uint64_t{BytesPerSector} * SectorsPerFat;
    const uint32_t copies = std::min<uint32_t>(FatCount, kMaxTableCopies);
    const uint8_t bits = geometry_.TableBits;
    std::vector<uint8_t> piece;
    for (uint32_t k = 1; k < copies && !IsStopped(); ++k) {
        const uint64_t base = offset + k * tableBytes;
        if (base >= static_cast<uint64_t>(Drive->VolumeBytes))
            break;
        const uint64_t length = std::min<uint64_t>(FatSize, static_cast<uint64_t>(Drive->VolumeBytes) - base);
        for (uint64_t done = 0; done < length && !IsStopped(); done += kTablePiece) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kTablePiece, length - done));
            piece.resize(n);
            const volume::SalvagedRead read =
                volume::ReadSalvaging(Drive->Source.get(), piece.data(), n, base + done, stop_.Flag(), Damage());
            if (read.Cancelled)
                return;
            std::vector<bool> theirsLost((n + BytesPerSector - 1) / BytesPerSector, false);
            MarkLost(read, base + done, BytesPerSector, theirsLost);
            if (keep && done == 0)  // a FAT12 table is far smaller than one piece
                keep->push_back({piece, theirsLost});
            for (size_t i = 0; i < theirsLost.size(); ++i) {
                if (theirsLost[i])
                    continue;
                const size_t sector = static_cast<size_t>(done / BytesPerSector) + i;
                const size_t at = i * BytesPerSector;
                const size_t bytes = std::min<size_t>(BytesPerSector, n - at);
                uint8_t* mine = Fat.data() + done + at;
                if (lost[sector]) {
                    std::copy_n(piece.data() + at, bytes, mine);
                    lost[sector] = false;
                } else if (!std::equal(mine, mine + bytes, piece.data() + at)) {
                    // Pieces start on whole entries: a 12-bit table is far smaller than one piece.
                    MergeEntries(Fat, piece, done * 8 / bits, done + at, bytes, bits);
                }
            }
        }
    }
}

uint64_t TDISK_FAT::FatEntry(uint64_t index) const {
    // Clusters outside the data region count as in use: the table's padding
    // slots past the last cluster read as free but hold nothing.
    if (!InDataArea(index) || Fat.empty())
        return kNoEntry;
    const uint64_t slot = index - DataStartCluster + table::kFirstData;
    const auto v = fat::TableEntry(std::span<const uint8_t>(Fat).first(static_cast<size_t>(FatSize)), slot,
                                   geometry_.TableBits);
    return v ? uint64_t{*v} : kNoEntry;
}
