// PDF: no length field leads to the end. The file ends after its last
// "%%EOF" (updates append further ones), so the walk looks for the last one
// within its bound, ends where a sector starts another PDF or where no text
// follows a mark, and gives up some way past the last one seen. An end whose "startxref" names a cross-reference
// inside the file is checked; any other is estimated.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "content/decoders.h"

namespace content {

namespace {
constexpr std::string_view kMarker = "%%EOF";
constexpr uint64_t kSector = 512;
// Updates are appended at once; past this much after the last end mark, the
// bytes belong to something else.
constexpr uint64_t kSearchPastLastEnd = 4u << 20;
constexpr uint32_t kTailBytes = 64;  // "startxref", the offset and the mark fit in it

// The offset "startxref" names just before the end mark at `mark`, when it
// names a cross-reference table or stream that the file holds.
bool CrossReferenceChecks(SourceWindow& w, uint64_t mark) {
    const uint64_t from = mark > kTailBytes ? mark - kTailBytes : 0;
    auto tail = w.Bytes(from, static_cast<uint32_t>(mark - from));
    if (!tail)
        return false;
    const std::string_view text(reinterpret_cast<const char*>(tail->data()), tail->size());
    const size_t key = text.rfind("startxref");
    if (key == std::string_view::npos)
        return false;
    size_t i = key + 9;
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n' || text[i] == ' '))
        ++i;
    uint64_t offset = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 19; ++i, ++digits)
        offset = offset * 10 + static_cast<uint64_t>(text[i] - '0');
    if (digits == 0 || offset >= mark)
        return false;
    // A table starts with "xref"; a stream with its object's "N G obj".
    if (w.Matches(offset, "xref"))
        return true;
    auto head = w.Bytes(offset, static_cast<uint32_t>(std::min<uint64_t>(32, mark - offset)));
    if (!head)
        return false;
    const std::string_view object(reinterpret_cast<const char*>(head->data()), head->size());
    return !object.empty() && object[0] >= '0' && object[0] <= '9' && object.find(" obj") != std::string_view::npos;
}
} // namespace

std::optional<Carved> DecodePdf(SourceWindow& w) {
    if (!w.Matches(0, "%PDF-"))
        return std::nullopt;
    uint64_t lastEnd = 0;  // offset after the last mark and its line end
    uint64_t lastMark = 0;
    uint64_t at = 5;
    // Bytes carried from the previous piece, so that a mark across two pieces is seen.
    std::string carry;
    while (at < w.Limit()) {
        if (lastEnd != 0 && at - lastEnd > kSearchPastLastEnd)
            break;
        std::span<const uint8_t> piece = w.From(at);
        if (piece.empty())
            break;
        // Stop at the first sector inside the piece that starts another PDF.
        uint64_t take = piece.size();
        for (uint64_t s = (at + kSector - 1) / kSector * kSector; s < at + piece.size(); s += kSector) {
            const uint64_t i = s - at;
            if (i + 5 <= piece.size() && std::memcmp(piece.data() + i, "%PDF-", 5) == 0) {
                take = i;
                break;
            }
        }
        std::string text = carry;
        text.append(reinterpret_cast<const char*>(piece.data()), take);
        const uint64_t textAt = at - carry.size();
        for (size_t found = text.find(kMarker); found != std::string::npos; found = text.find(kMarker, found + 1)) {
            lastMark = textAt + found;
            uint64_t end = lastMark + kMarker.size();
            // The mark's own line end belongs to the file.
            if (auto c = w.U8(end); c && *c == '\r')
                ++end;
            if (auto c = w.U8(end); c && *c == '\n')
                ++end;
            lastEnd = end;
            // An update would go on in text; a byte that no PDF text holds
            // (the zeros after a file in its last cluster) ends it here.
            auto after = w.U8(end);
            if (!after || *after == 0 || *after >= 0x80 || (*after < 0x20 && *after != '\t' && *after != '\r' &&
                                                             *after != '\n' && *after != '\f'))
                return Carved{lastEnd, CrossReferenceChecks(w, lastMark) ? Certainty::Checked : Certainty::Estimated,
                              "pdf", {}};
        }
        if (take < piece.size())
            break;
        at += take;
        carry = text.substr(text.size() >= kMarker.size() - 1 ? text.size() - (kMarker.size() - 1) : 0);
    }
    if (lastEnd == 0)
        return Broke(std::min<uint64_t>(at, w.Limit()), "pdf", w.ReadFailed() ? "unreadable" : "no end mark");
    return Carved{lastEnd, CrossReferenceChecks(w, lastMark) ? Certainty::Checked : Certainty::Estimated, "pdf", {}};
}

} // namespace content
