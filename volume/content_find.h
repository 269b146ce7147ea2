#pragma once
// What the search by content hands a reader, kept plain so that a reader
// of a file system can take finds without linking the search itself: the
// scan puts the search into the reader's context (ReaderContext).
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "media/byte_source.h"

namespace volume {

// A stretch of the source, in bytes from its first byte.
struct ByteExtent {
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t End() const { return offset + length; }
};

// One file the search found.
struct ContentFind {
    uint64_t offset = 0;  // its first byte, from the source's first byte
    uint64_t length = 0;  // its bytes: as far as its walk went
    std::string extension;  // without the dot
    uint8_t state = 0;      // the grade its walk earned (kStateExcellent ... kStatePoor)
    uint64_t modified = 0;  // the date the file keeps inside itself (FILETIME), 0: none
    // A file in pieces: each stretch in file order from the source's first
    // byte, the first at `offset`; empty: one piece of `length` bytes.
    std::vector<ByteExtent> pieces{};
};

struct ContentSearchTotals {
    uint64_t bytesSearched = 0;
    uint64_t unreadableBytes = 0;  // passed over because the source would not give them
};

// The bytes the search read at `offset`, as it goes: a reader that looks
// for something of its own in the same free space (the records of an old
// MFT) takes them here rather than reading that space a second time. Bytes
// inside a file found whole are passed over unread, and not shown.
using BytesSeen = std::function<void(uint64_t offset, std::span<const uint8_t> bytes)>;

// Searches each extent in turn: files start inside an extent, though a
// file's walk may run on past it. `found` returns false to end the search;
// `progress` gets the bytes of the extents searched so far; `seen`, when
// set, each stretch read.
using ContentSearcher = std::function<ContentSearchTotals(
    const media::ByteSource& source, std::span<const ByteExtent> extents,
    const std::function<bool(const ContentFind&)>& found, const std::function<void(uint64_t)>& progress,
    const BytesSeen& seen, const std::atomic<bool>* cancel)>;

} // namespace volume
