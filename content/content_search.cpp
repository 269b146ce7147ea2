#include "content/content_search.h"

#include <algorithm>
#include <cstring>

#include "content/signatures.h"
#include "content/source_window.h"

namespace content {

namespace {
// Bytes past a block that are read with it, so that a magic at the block's
// last sector start is whole.
constexpr uint32_t kOverlap = 64;

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }
} // namespace

ContentSearch::ContentSearch(const media::ByteSource& source, SearchSettings settings)
    : source_(source), settings_(std::move(settings)) {
    settings_.step = std::max<uint32_t>(settings_.step, 1);
    settings_.blockBytes = std::max(settings_.blockBytes / settings_.step * settings_.step, settings_.step);
    const std::span<const Signature> all = Signatures();
    for (size_t i = 0; i < all.size(); ++i) {
        if (!settings_.enabled.empty() && (i >= settings_.enabled.size() || !settings_.enabled[i]))
            continue;
        const Signature& s = all[i];
        auto it = std::find_if(dispatch_.begin(), dispatch_.end(), [&](const Dispatch& d) { return d.at == s.magicAt; });
        if (it == dispatch_.end()) {
            dispatch_.push_back(Dispatch{s.magicAt, {}});
            it = dispatch_.end() - 1;
        }
        it->byByte[static_cast<uint8_t>(s.magic[0])].push_back(static_cast<uint8_t>(i));
    }
}

std::optional<FoundFile> ContentSearch::TryAt(const uint8_t* sector, uint64_t room, uint64_t offset,
                                              SearchTotals& totals, const std::atomic<bool>* cancel) const {
    const std::span<const Signature> all = Signatures();
    for (const Dispatch& d : dispatch_) {
        if (d.at >= room)
            continue;
        for (uint8_t index : d.byByte[sector[d.at]]) {
            const Signature& s = all[index];
            if (s.magicAt + s.magic.size() > room || std::memcmp(sector + s.magicAt, s.magic.data(), s.magic.size()) != 0)
                continue;
            ++totals.candidates;
            SourceWindow window(source_, offset, s.maxBytes, cancel);
            if (std::optional<Carved> carved = s.decode(window))
                return FoundFile{offset, std::move(*carved)};
        }
    }
    return std::nullopt;
}

uint64_t ContentSearch::ClaimedUntil(uint64_t offset) {
    if (claimed_.empty())
        return 0;
    // The search only goes forward: pieces behind it are done with.
    std::erase_if(claimed_, [&](const volume::ByteExtent& piece) { return piece.End() <= offset; });
    for (const volume::ByteExtent& piece : claimed_)
        if (offset >= piece.offset)
            return piece.End();
    return 0;
}

SearchTotals ContentSearch::Run(uint64_t begin, uint64_t end, const std::function<bool(const FoundFile&)>& found,
                                const std::function<void(uint64_t)>& progress, const std::atomic<bool>* cancel,
                                const std::function<void(uint64_t, std::span<const uint8_t>)>& seen) {
    SearchTotals totals;
    const uint64_t size = source_.Size();
    end = std::min(end, size);
    const uint32_t step = settings_.step;
    begin = (begin + step - 1) / step * step;
    // One buffer for every stretch searched: a volume's free space may be
    // thousands of small ones.
    std::vector<uint8_t>& block = block_;
    block.resize(size_t{settings_.blockBytes} + kOverlap);

    uint64_t at = begin;
    while (at < end && !Cancelled(cancel)) {
        // No more than the stretch needs: a short one is not read a whole block long.
        const uint64_t want = std::min<uint64_t>({block.size(), size - at, end - at + kOverlap});
        const media::ReadResult read = source_.Read(block.data(), static_cast<uint32_t>(want), at, cancel, 0);
        if (Cancelled(cancel))
            break;
        // Sectors the source gave; the first one it would not is skipped.
        const uint64_t held = read.Done;
        const uint64_t searchable = std::min<uint64_t>({held, settings_.blockBytes, end - at});
        uint64_t next = at + std::min<uint64_t>(settings_.blockBytes, end - at);
        if (!read.Ok() && held < want) {
            const uint64_t good = held / step * step;
            next = std::min(end, at + good + step);
            totals.unreadableBytes += next - (at + good);
        }
        if (seen && searchable > 0)
            seen(at, std::span<const uint8_t>(block.data(), searchable));
        bool ended = false;
        for (uint64_t i = 0; i < searchable && !ended; i += step) {
            if (const uint64_t past = ClaimedUntil(at + i)) {
                // Inside a later piece of a file found already.
                const uint64_t after = (past + step - 1) / step * step;
                if (after > at + searchable) {
                    next = after;
                    ended = true;
                } else {
                    i = after - at - step;
                }
                continue;
            }
            const std::optional<FoundFile> file = TryAt(block.data() + i, held - i, at + i, totals, cancel);
            if (!file)
                continue;
            if (!found(*file)) {
                totals.bytesSearched = at + i - begin;
                return totals;
            }
            const Carved& carved = file->carved;
            if (carved.certainty == Certainty::Broken || carved.FirstPieceEnd() <= step)
                continue;
            for (size_t p = 1; p < carved.pieces.size(); ++p)
                claimed_.push_back(volume::ByteExtent{at + i + carved.pieces[p].offset, carved.pieces[p].length});
            // The file is whole: nothing else starts inside it.
            const uint64_t after = (at + i + carved.FirstPieceEnd() + step - 1) / step * step;
            if (after > at + searchable) {
                next = after;
                ended = true;
            } else {
                i = after - at - step;
            }
        }
        totals.bytesSearched = std::min(next, end) - begin;
        if (progress)
            progress(totals.bytesSearched);
        at = next;
    }
    return totals;
}

} // namespace content
