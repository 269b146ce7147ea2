#include "content/searcher.h"

#include <algorithm>

#include "content/content_search.h"
#include "volume/records.h"

namespace content {

namespace {
constexpr uint32_t kStep = 512;
constexpr uint32_t kBlockBytes = 8u << 20;

uint8_t StateOf(Certainty certainty) {
    switch (certainty) {
    case Certainty::Checked:
        return kStateExcellent;
    case Certainty::Estimated:
        return kStateGood;
    case Certainty::Broken:
        break;
    }
    return kStatePoor;
}
} // namespace

volume::ContentSearcher MakeSearcher(std::vector<bool> enabled) {
    return [enabled = std::move(enabled)](const media::ByteSource& source, std::span<const volume::ByteExtent> extents,
                                          const std::function<bool(const volume::ContentFind&)>& found,
                                          const std::function<void(uint64_t)>& progress,
                                          const volume::BytesSeen& seen, const std::atomic<bool>* cancel) {
        ContentSearch search(source, SearchSettings{kStep, kBlockBytes, enabled});
        volume::ContentSearchTotals totals;
        // A whole file may run on past its extent into the next ones: nothing
        // else starts inside it there either.
        uint64_t wholeUntil = 0;
        uint64_t before = 0;
        bool ended = false;
        for (const volume::ByteExtent& extent : extents) {
            if (ended || (cancel && cancel->load(std::memory_order_relaxed)))
                break;
            const uint64_t begin = std::max(extent.offset, wholeUntil);
            // Bytes passed over inside a whole file count as searched.
            uint64_t searchedHere = extent.length;
            if (begin < extent.End()) {
                const SearchTotals part = search.Run(
                    begin, extent.End(),
                    [&](const FoundFile& hit) {
                        const Carved& carved = hit.carved;
                        if (carved.certainty != Certainty::Broken && carved.FirstPieceEnd() > kStep)
                            wholeUntil =
                                std::max(wholeUntil, (hit.offset + carved.FirstPieceEnd() + kStep - 1) / kStep * kStep);
                        volume::ContentFind find{hit.offset, carved.length, carved.extension, StateOf(carved.certainty),
                                                 carved.modified};
                        for (const volume::ByteExtent& piece : carved.pieces)
                            find.pieces.push_back(volume::ByteExtent{hit.offset + piece.offset, piece.length});
                        if (!found(find))
                            ended = true;
                        return !ended;
                    },
                    [&](uint64_t searched) {
                        if (progress)
                            progress(before + std::min(searched + (begin - extent.offset), extent.length));
                    },
                    cancel, seen);
                totals.unreadableBytes += part.unreadableBytes;
                searchedHere = std::min(begin - extent.offset + part.bytesSearched, extent.length);
            }
            // A search that was stopped counts only what it searched.
            const bool cut = ended || (cancel && cancel->load(std::memory_order_relaxed));
            before += cut ? searchedHere : extent.length;
            totals.bytesSearched = before;
            if (progress)
                progress(before);
        }
        return totals;
    };
}

} // namespace content
