#include "volume/salvaging_read.h"

#include <algorithm>
#include <cstring>

#include "volume/raw_reader.h"

namespace volume {

void ReadDamage::Reset() {
    UnreadableBytes.store(0, std::memory_order_relaxed);
    MftRecords.store(0, std::memory_order_relaxed);
    TableSectors.store(0, std::memory_order_relaxed);
    FolderClusters.store(0, std::memory_order_relaxed);
    RetryingAt.store(kNotRetrying, std::memory_order_relaxed);
}

namespace {

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

struct Salvager {
    const media::ByteSource* device;
    const std::atomic<bool>* cancel;
    ReadDamage* damage;
    uint32_t sectorRetries;
    SalvagedRead result;

    void Lost(uint8_t* out, uint64_t offset, uint32_t count) {
        std::memset(out, 0, count);
        result.UnreadableBytes += count;
        if (!result.Unreadable.empty() &&
            result.Unreadable.back().Offset + result.Unreadable.back().Length == offset)
            result.Unreadable.back().Length += count;
        else
            result.Unreadable.push_back({offset, count});
        if (damage)
            damage->UnreadableBytes.fetch_add(count, std::memory_order_relaxed);
    }

    bool TryOnce(uint8_t* out, uint64_t offset, uint32_t count) {
        uint32_t got = count;
        return ReadBlock(device, out, got, false, cancel, offset) && got == count;
    }

    // Pieces shrink 1 MiB → 64 KiB → 4 KiB → one sector, so a single bad
    // sector in a large read costs a few dozen extra reads, not thousands.
    static uint32_t SmallerPiece(uint32_t count) {
        for (uint32_t piece : {1u << 20, 64u << 10, 4u << 10})
            if (count > piece)
                return piece;
        return kSectorPiece;
    }

    void Read(uint8_t* out, uint64_t offset, uint32_t count) {
        if (result.Cancelled || Cancelled(cancel)) {
            result.Cancelled = true;
            return;
        }
        if (TryOnce(out, offset, count))
            return;
        if (Cancelled(cancel)) {
            result.Cancelled = true;
            return;
        }
        if (count <= kSectorPiece) {
            if (damage)
                damage->RetryingAt.store(offset, std::memory_order_relaxed);
            bool read = false;
            for (uint32_t attempt = 0; attempt < sectorRetries && !read && !Cancelled(cancel); ++attempt)
                read = TryOnce(out, offset, count);
            if (damage)
                damage->RetryingAt.store(ReadDamage::kNotRetrying, std::memory_order_relaxed);
            if (!read)
                Lost(out, offset, count);
            return;
        }
        const uint32_t piece = SmallerPiece(count);
        // Pieces keep to multiples of their size on the source, as sectors lie.
        for (uint32_t done = 0; done < count && !result.Cancelled;) {
            const uint64_t at = offset + done;
            const uint32_t toBoundary = piece - static_cast<uint32_t>(at % piece);
            const uint32_t step = std::min(count - done, toBoundary);
            Read(out + done, at, step);
            done += step;
        }
    }
};

} // namespace

SalvagedRead ReadSalvaging(const media::ByteSource* device, void* buffer, uint32_t count, uint64_t offset,
                           const std::atomic<bool>* cancel, ReadDamage* damage, uint32_t sectorRetries) {
    Salvager salvager{device, cancel, damage, sectorRetries, {}};
    auto* out = static_cast<uint8_t*>(buffer);
    if (!device) {
        salvager.Lost(out, offset, count);
        return salvager.result;
    }
    // What lies past the end of the source is missing, not damaged.
    uint32_t inside = count;
    const uint64_t size = device->Size();
    if (size && offset + count > size) {
        inside = offset >= size ? 0 : static_cast<uint32_t>(size - offset);
        std::memset(out + inside, 0, count - inside);
        salvager.result.PastEndBytes = count - inside;
    }
    if (inside)
        salvager.Read(out, offset, inside);
    salvager.result.Complete =
        !salvager.result.Cancelled && salvager.result.UnreadableBytes == 0 && salvager.result.PastEndBytes == 0;
    return salvager.result;
}

} // namespace volume
