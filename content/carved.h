#pragma once
// What a decoder found at a candidate start: where the file ends and how sure
// the walk is of it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/source_window.h"
#include "volume/content_find.h"

namespace content {

enum class Certainty : uint8_t {
    Checked,    // the walk reached the format's own end, its lengths and checks agreeing
    Estimated,  // the end follows from the structure but nothing confirms it
    Broken,     // the walk broke off (truncated, overwritten): the file is not whole
};

struct Carved {
    uint64_t length = 0;  // the file's bytes (from the candidate's start); for a broken walk, as far as it went
    Certainty certainty = Certainty::Broken;
    std::string extension;  // without the dot; a container may name its kind ("docx" for a ZIP)
    std::string reason;     // why the walk broke, for a broken one
    uint64_t modified = 0;  // the date the file keeps inside itself (FILETIME), 0: none
    // A file found in pieces (another file was written in between): each
    // stretch in file order, from the candidate's start, the first at 0;
    // their lengths add up to `length`. Empty: one piece.
    std::vector<volume::ByteExtent> pieces{};

    // Where the file's first piece ends: nothing else starts before it.
    uint64_t FirstPieceEnd() const { return pieces.empty() ? length : pieces.front().End(); }
};

// A decoder: empty when the candidate is no such file at all (a signature met
// by chance), else what the walk found.
using Decoder = std::optional<Carved> (*)(SourceWindow& window);

inline Carved Broke(uint64_t length, std::string extension, std::string reason) {
    return Carved{length, Certainty::Broken, std::move(extension), std::move(reason)};
}

} // namespace content
