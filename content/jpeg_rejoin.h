#pragma once
// A picture whose scan data breaks off where the camera wrote another file
// before the rest: the break lies on a sector boundary a little before the
// point where decoding failed, and the rest on a sector boundary after it,
// most often just past the file written in between. A place is taken only
// when decoding from before the break on through it reaches the end marker
// after exactly the frame's MCUs.
#include <cstdint>
#include <deque>
#include <optional>

#include "content/jpeg_entropy.h"

namespace content {

struct JpegTwoPieces {
    uint64_t breakAt = 0;     // the first piece's length, from the file's start
    uint64_t restAt = 0;      // where the second piece starts, from the file's start
    uint64_t restLength = 0;  // the second piece's length, up to and with the end marker
};

// `kept`: the checkpoints the decode of the file as it lies kept, the last
// ones before `failedAt`. The work is bounded whatever the bytes.
std::optional<JpegTwoPieces> RejoinJpeg(SourceWindow& window, const JpegFrame& frame,
                                        const std::deque<JpegCheckpoint>& kept, uint64_t failedAt);

// How far behind the failure the break is looked for: the checkpoints to keep.
constexpr uint64_t kJpegBreakSearchBytes = 64 * 1024;

} // namespace content
