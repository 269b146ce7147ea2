// RIFF (AVI, WAV, WebP): the header states the size, and the chunks inside
// must fill it exactly. An AVI over 1 GB goes on in further "AVIX" RIFFs.
#include <string_view>

#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kRiffHeader = 12;  // "RIFF", size, form
constexpr uint64_t kChunkHeader = 8;
constexpr uint64_t kSizeAt = 4, kFormAt = 8;

bool IsFourCc(std::span<const uint8_t> id) {
    for (uint8_t c : id)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// The chunks of one RIFF from `at` (its header), filling exactly its size.
// Returns the offset after it, or a reason.
std::optional<uint64_t> WalkRiff(SourceWindow& w, uint64_t at, std::string& reason) {
    auto size = w.U32LE(at + kSizeAt);
    if (!size) {
        reason = "ends inside its header";
        return std::nullopt;
    }
    const uint64_t end = at + kChunkHeader + *size + (*size & 1);
    if (end > w.Limit()) {
        reason = "stated size past the end";
        return std::nullopt;
    }
    for (uint64_t chunk = at + kRiffHeader; chunk < end;) {
        auto id = w.Bytes(chunk, 4);
        auto length = w.U32LE(chunk + 4);
        if (!id || !length) {
            reason = "ends inside a chunk";
            return std::nullopt;
        }
        if (!IsFourCc(*id)) {
            reason = "no chunk where one should start";
            return std::nullopt;
        }
        chunk += kChunkHeader + *length + (*length & 1);
        if (chunk > end) {
            // Some writers leave the pad byte of the last chunk out of the size.
            if (chunk == end + 1 && (*length & 1))
                return end;
            reason = "chunk past the stated size";
            return std::nullopt;
        }
    }
    return end;
}
} // namespace

std::optional<Carved> DecodeRiff(SourceWindow& w) {
    if (!w.Matches(0, "RIFF"))
        return std::nullopt;
    auto form = w.Bytes(kFormAt, 4);
    if (!form)
        return std::nullopt;
    const std::string_view kind(reinterpret_cast<const char*>(form->data()), 4);
    std::string extension;
    if (kind == "AVI ")
        extension = "avi";
    else if (kind == "WAVE")
        extension = "wav";
    else if (kind == "WEBP")
        extension = "webp";
    else
        return std::nullopt;
    std::string reason;
    auto end = WalkRiff(w, 0, reason);
    if (!end)
        return Broke(kRiffHeader, extension, reason);
    if (extension == "avi") {
        while (w.Matches(*end, "RIFF") && w.Matches(*end + kFormAt, "AVIX")) {
            auto next = WalkRiff(w, *end, reason);
            if (!next)
                return Broke(*end, extension, reason);
            end = next;
        }
    }
    return Carved{*end, Certainty::Checked, extension, {}};
}

} // namespace content
