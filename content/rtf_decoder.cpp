// RTF: one group in braces; the file ends where its outermost brace closes.
// Escaped braces and backslashes do not count.
#include "content/decoders.h"

namespace content {

std::optional<Carved> DecodeRtf(SourceWindow& w) {
    if (!w.Matches(0, "{\\rtf"))
        return std::nullopt;
    uint64_t depth = 0;
    bool escaped = false;
    uint64_t at = 0;
    for (;;) {
        std::span<const uint8_t> piece = w.From(at);
        if (piece.empty())
            return Broke(at, "rtf", w.ReadFailed() ? "unreadable" : "ends before its last brace");
        for (size_t i = 0; i < piece.size(); ++i) {
            const uint8_t c = piece[i];
            if (c == 0)
                return Broke(at + i, "rtf", "a zero byte inside the text");
            if (escaped) {
                escaped = false;
                continue;
            }
            if (c == '\\')
                escaped = true;
            else if (c == '{')
                ++depth;
            else if (c == '}' && --depth == 0) {
                uint64_t end = at + i + 1;
                // The line end after the last brace belongs to the file.
                if (auto next = w.U8(end); next && *next == '\r')
                    ++end;
                if (auto next = w.U8(end); next && *next == '\n')
                    ++end;
                return Carved{end, Certainty::Estimated, "rtf", {}};
            }
        }
        at += piece.size();
    }
}

} // namespace content
