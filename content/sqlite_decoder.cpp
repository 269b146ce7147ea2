// SQLite: the header states the page size and, when it is current, the
// number of pages; their product is the file's size.
#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kPageSizeAt = 16, kChangeCounterAt = 24, kPageCountAt = 28, kValidForAt = 92;
constexpr uint64_t kHeaderBytes = 100;
} // namespace

std::optional<Carved> DecodeSqlite(SourceWindow& w) {
    if (!w.Matches(0, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("SQLite format 3"), 16)))
        return std::nullopt;
    auto pageField = w.U16BE(kPageSizeAt);
    auto changes = w.U32BE(kChangeCounterAt);
    auto pages = w.U32BE(kPageCountAt);
    auto validFor = w.U32BE(kValidForAt);
    if (!pageField || !changes || !pages || !validFor)
        return std::nullopt;
    const uint64_t pageSize = *pageField == 1 ? 65536 : *pageField;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return std::nullopt;
    // Writers before 3.7.0 left the count stale; the counters tell.
    if (*pages == 0 || *changes != *validFor)
        return Broke(kHeaderBytes, "sqlite", "page count not recorded");
    const uint64_t size = pageSize * *pages;
    if (size > w.Limit())
        return Broke(w.Limit(), "sqlite", "ends before its last page");
    return Carved{size, Certainty::Estimated, "sqlite", {}};
}

} // namespace content
