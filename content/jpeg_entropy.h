#pragma once
// The scan data of a sequential Huffman-coded JPEG, decoded code by code
// (no picture is made): it says where the data first stops making sense, or
// that the end marker follows exactly the frame's last MCU. The decode can be
// taken up again from a point it kept, over other bytes: a picture whose data
// the camera broke off to write another file is put together by trying where
// its rest lies.
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "content/source_window.h"

namespace content {

struct JpegHuffmanTable {
    bool defined = false;
    // Lookups by the next kFastBits bits: (code length << 8) | symbol, 0 for a longer code.
    static constexpr int kFastBits = 9;
    std::array<uint16_t, 1 << kFastBits> fast{};
    std::array<int32_t, 18> maxCode{};  // the largest code of each length, -1 for none
    std::array<int32_t, 17> valOffset{};
    std::array<uint8_t, 256> values{};
};

// What the headers before the first scan say about its data.
struct JpegFrame {
    uint64_t scanStart = 0;  // the scan data's first byte, from the file's start
    uint64_t mcus = 0;       // MCUs the scan holds
    uint32_t restartInterval = 0;  // MCUs between restart markers, 0: none
    uint8_t precision = 8;
    uint8_t blocks = 0;  // blocks an MCU holds
    // For each block of an MCU: its component (by place in the scan) and tables.
    std::array<uint8_t, 10> blockComponent{};
    std::array<uint8_t, 4> dcTable{}, acTable{};
    std::array<JpegHuffmanTable, 4> dc, ac;
};

enum class JpegFrameKind {
    Sequential,   // read: its data can be decoded
    NotDecoded,   // progressive, arithmetic, lossless, several scans or a height set later: left to the marker walk
};

// The frame read from a file's headers; empty when they break before the
// first scan (the marker walk says why). `kind` says whether it can be decoded.
std::optional<JpegFrame> ReadJpegFrame(SourceWindow& window, JpegFrameKind& kind);

// The decoder's state at an MCU's start, enough to go on from there.
struct JpegCheckpoint {
    uint64_t at = 0;      // the stream byte holding the MCU's first bit
    uint8_t bitsUsed = 0;  // bits of that byte that belong to the MCU before
    uint64_t mcu = 0;
    std::array<int32_t, 4> dc{};  // the DC predictors, by component
};

struct JpegScanEnd {
    bool whole = false;  // the end marker followed the last MCU
    uint64_t at = 0;     // whole: just past the end marker; else the byte where decoding failed (stream offsets)
    std::string reason;  // why decoding failed
    bool budgetSpent = false;  // stopped at the byte budget, not on a fault
};

// A stretch of a window: the stretches are read one after the other as one
// stream (a file in pieces), stream offsets counting through them. Each has
// its window, whose cache then serves it alone.
struct JpegPiece {
    SourceWindow* window = nullptr;
    uint64_t offset = 0;  // in its window
    uint64_t length = 0;
};
using JpegPieces = std::span<const JpegPiece>;

// Decodes the scan from `from` over `pieces`, reading at most `budget` bytes.
// `kept` (may be null) receives checkpoints spaced through the data, those
// older than `keepBack` bytes behind the decode's front being let go (one is
// always kept before that).
JpegScanEnd DecodeJpegScan(const JpegFrame& frame, JpegPieces pieces, const JpegCheckpoint& from,
                           uint64_t budget, std::deque<JpegCheckpoint>* kept = nullptr, uint64_t keepBack = 0);

// Where decoding starts: the scan's first byte.
inline JpegCheckpoint ScanStart(const JpegFrame& frame) { return JpegCheckpoint{frame.scanStart, 0, 0, {}}; }

} // namespace content
