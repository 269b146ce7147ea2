#pragma once
// The search by content over a stretch of a byte source: read in large
// blocks, one after another, and at every sector start the first byte picks
// the few signatures worth comparing. A match is handed to its decoder; a
// file whose walk found its end is skipped whole, as files do not overlap.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "content/carved.h"
#include "media/byte_source.h"

namespace content {

struct FoundFile {
    uint64_t offset = 0;  // from the source's first byte
    Carved carved;
};

struct SearchSettings {
    // Files start on a cluster, and clusters on sectors: every sector start
    // is looked at, which finds files whatever the cluster size and wherever
    // the data area begins.
    uint32_t step = 512;
    uint32_t blockBytes = 8u << 20;
    std::vector<bool> enabled;  // by signature; empty: every one
};

struct SearchTotals {
    uint64_t bytesSearched = 0;
    uint64_t candidates = 0;      // signatures matched
    uint64_t unreadableBytes = 0;  // skipped because the source would not give them
};

class ContentSearch {
public:
    ContentSearch(const media::ByteSource& source, SearchSettings settings);

    // Searches [begin, end) (cut at the source's end). `found` gets each file
    // in the order of its offset and returns false to end the search;
    // `progress` gets the bytes searched so far after each block.
    // `seen`, when set, gets the bytes of each block as they are read.
    SearchTotals Run(uint64_t begin, uint64_t end, const std::function<bool(const FoundFile&)>& found,
                     const std::function<void(uint64_t)>& progress, const std::atomic<bool>* cancel,
                     const std::function<void(uint64_t, std::span<const uint8_t>)>& seen = {});

private:
    // The file whose signature starts at `sector` (`room` bytes held from it), if a decoder takes it.
    std::optional<FoundFile> TryAt(const uint8_t* sector, uint64_t room, uint64_t offset, SearchTotals& totals,
                                   const std::atomic<bool>* cancel) const;

    // The end of the claimed piece `offset` lies in, 0 for none; pieces it has passed are let go.
    uint64_t ClaimedUntil(uint64_t offset);

    const media::ByteSource& source_;
    SearchSettings settings_;
    // For each offset a magic starts at (0, 4), the signatures by that byte.
    struct Dispatch {
        uint8_t at = 0;
        std::vector<uint8_t> byByte[256];
    };
    std::vector<Dispatch> dispatch_;
    std::vector<uint8_t> block_;  // what Run reads into, kept between runs
    // The later pieces of files found in pieces, from the source's first
    // byte: searched already as part of their file, they are passed over.
    std::vector<volume::ByteExtent> claimed_;
};

} // namespace content
