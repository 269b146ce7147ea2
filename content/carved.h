#pragma once
// What a decoder found at a candidate start: where the file ends and how sure
// the walk is of it.
#include <cstdint>
#include <optional>
#include <string>

#include "content/source_window.h"

namespace content {

enum class Certainty : uint8_t {
    Checked,    // the walk reached the format's own end, its lengths and checks agreeing
    Estimated,  // the end follows from the structure but nothing confirms it
    Broken,     // the walk broke off (truncated, overwritten): the file is not whole
};

struct Carved {
    uint64_t length = 0;  // bytes from the candidate's start; for a broken walk, as far as it went
    Certainty certainty = Certainty::Broken;
    std::string extension;  // without the dot; a container may name its kind ("docx" for a ZIP)
    std::string reason;     // why the walk broke, for a broken one
    uint64_t modified = 0;  // the date the file keeps inside itself (FILETIME), 0: none
};

// A decoder: empty when the candidate is no such file at all (a signature met
// by chance), else what the walk found.
using Decoder = std::optional<Carved> (*)(SourceWindow& window);

inline Carved Broke(uint64_t length, std::string extension, std::string reason) {
    return Carved{length, Certainty::Broken, std::move(extension), std::move(reason)};
}

} // namespace content
