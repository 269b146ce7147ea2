// JPEG: segments by their lengths, scan data byte by byte to the next
// marker, until EOI. A thumbnail inside APP1 carries its own EOI; it lies
// inside a segment that is skipped whole, so it never ends the walk.
#include <algorithm>

#include "content/decoders.h"
#include "content/file_dates.h"
#include "content/jpeg_entropy.h"
#include "content/jpeg_rejoin.h"

namespace content {

namespace {
constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kTem = 0x01;
bool IsRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }
// Markers that may follow scan data in a real file: another table or scan
// (progressive and multi-scan pictures), a frame, or the end.
bool MayFollowScan(uint8_t m) {
    return m == kEoi || m == kSos || m == 0xC4 || m == 0xDB || m == 0xDD || m == 0xCC || (m >= 0xC0 && m <= 0xCF) ||
           (m >= 0xE0 && m <= 0xEF) || m == 0xFE || m == 0xDC;
}
} // namespace

namespace {
constexpr uint8_t kApp1 = 0xE1;
constexpr uint64_t kExifHeader = 6;  // "Exif\0\0" before the TIFF structure

std::optional<Carved> WalkJpeg(SourceWindow& w, uint64_t& taken) {
    const uint8_t soi[] = {0xFF, kSoi, 0xFF};
    if (!w.Matches(0, soi))
        return std::nullopt;
    uint64_t at = 2;
    bool sawFrame = false, sawScan = false, afterScan = false;
    for (;;) {
        auto ff = w.U8(at);
        auto marker = w.U8(at + 1);
        if (!ff || !marker)
            return Broke(at, "jpg", w.ReadFailed() ? "unreadable" : "ends before its end marker");
        if (*ff != 0xFF)
            return Broke(at, "jpg", "no marker where a segment should start");
        if (*marker == 0xFF) {  // fill byte before a marker
            at += 1;
            continue;
        }
        const uint8_t m = *marker;
        if (afterScan && !MayFollowScan(m))
            return Broke(at, "jpg", "foreign marker after scan data");
        afterScan = false;
        if (m == kEoi) {
            if (!sawFrame || !sawScan)
                return Broke(at + 2, "jpg", "ends before any picture data");
            return Carved{at + 2, Certainty::Checked, "jpg", {}};
        }
        if (m == kSoi || m == 0x00)
            return Broke(at, "jpg", "a second start marker");
        if (IsRestart(m) || m == kTem) {
            at += 2;
            continue;
        }
        auto length = w.U16BE(at + 2);
        if (!length)
            return Broke(at, "jpg", "ends inside a segment");
        if (*length < 2)
            return Broke(at, "jpg", "segment length below its own size");
        if ((m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC))
            sawFrame = true;
        const uint64_t body = at + 4;
        if (m == kApp1 && !taken && *length > 2 + kExifHeader && w.Matches(body, "Exif"))
            taken = ExifTime(w, body + kExifHeader, at + 2 + *length);
        at += 2 + *length;
        if (m != kSos)
            continue;
        if (!sawFrame)
            return Broke(at, "jpg", "scan before any frame");
        sawScan = true;
        // Scan data: a 0xFF is followed by a stuffed zero, a restart marker
        // (numbered in turn: one out of turn means data is missing or
        // foreign), or the marker that ends the scan.
        uint8_t nextRestart = 0xD0;
        for (;;) {
            std::span<const uint8_t> chunk = w.From(at);
            if (chunk.empty())
                return Broke(at, "jpg", w.ReadFailed() ? "unreadable" : "ends inside scan data");
            size_t i = 0;
            bool ended = false;
            for (; i < chunk.size(); ++i) {
                if (chunk[i] != 0xFF)
                    continue;
                auto next = i + 1 < chunk.size() ? std::optional<uint8_t>(chunk[i + 1]) : w.U8(at + i + 1);
                if (!next)
                    return Broke(at + i, "jpg", "ends inside scan data");
                if (*next == 0xFF)  // fill: the second 0xFF is looked at next
                    continue;
                if (IsRestart(*next)) {
                    if (*next != nextRestart)
                        return Broke(at + i, "jpg", "a restart marker out of turn");
                    nextRestart = nextRestart == 0xD7 ? 0xD0 : nextRestart + 1;
                }
                if (*next == 0x00 || IsRestart(*next)) {
                    ++i;
                    continue;
                }
                ended = true;
                break;
            }
            at += i;
            if (ended)
                break;
        }
        afterScan = true;
    }
}
} // namespace

namespace {
constexpr uint64_t kSector = 512;

// A sector of scan data that no encoder writes: not one byte with its high
// bit set (a text) or one byte over and over (zeros). Scan data is as good as
// random, so either means another file's bytes lie inside the picture. Cheap
// next to decoding: pictures the markers walk whole are decoded only then.
bool HoldsForeignSector(SourceWindow& w, uint64_t from, uint64_t to) {
    const uint64_t skew = (kSector - w.Start() % kSector) % kSector;
    uint64_t at = from <= skew ? skew : skew + (from - skew + kSector - 1) / kSector * kSector;
    for (; at + kSector <= to; at += kSector) {
        auto sector = w.Bytes(at, kSector);
        if (!sector)
            return false;
        uint8_t any = 0, all = 0xFF;
        for (uint8_t b : *sector) {
            any |= b;
            all &= b;
        }
        if (!(any & 0x80) || any == all)
            return true;
    }
    return false;
}

// The markers alone may walk on to an end marker across another file's
// bytes: the scan data decoded says whether the picture is whole as it lies,
// in two pieces, or broken where its data stops making sense.
Carved CheckScan(SourceWindow& w, Carved walked) {
    JpegFrameKind kind;
    const std::optional<JpegFrame> frame = ReadJpegFrame(w, kind);
    if (!frame || kind != JpegFrameKind::Sequential)
        return walked;
    // Every block takes two bits at the least: a frame larger than its data
    // is not whole, whatever the markers say.
    const bool tooLarge = frame->mcus > (walked.length - std::min(walked.length, frame->scanStart)) * 4 / frame->blocks;
    if (walked.certainty == Certainty::Checked && !tooLarge && !HoldsForeignSector(w, frame->scanStart, walked.length))
        return walked;
    std::deque<JpegCheckpoint> kept;
    const JpegPiece whole[] = {{&w, 0, w.Limit()}};
    const JpegScanEnd end = DecodeJpegScan(*frame, whole, ScanStart(*frame), w.Limit(), &kept, kJpegBreakSearchBytes);
    if (end.whole) {
        // The end marker ends the file: what the walk found past it was not the picture's.
        if (walked.certainty == Certainty::Checked && walked.length == end.at)
            return walked;
        return Broke(end.at, "jpg", "scan data and markers disagree on the end");
    }
    if (std::optional<JpegTwoPieces> two = RejoinJpeg(w, *frame, kept, end.at)) {
        Carved carved{two->breakAt + two->restLength, Certainty::Checked, "jpg", {}};
        carved.pieces = {{0, two->breakAt}, {two->restAt, two->restLength}};
        return carved;
    }
    if (walked.certainty != Certainty::Broken)
        return Broke(end.at, "jpg", end.reason);
    return walked;
}

std::optional<Carved> WalkAndCheck(SourceWindow& w, uint64_t& taken) {
    std::optional<Carved> walked = WalkJpeg(w, taken);
    if (!walked)
        return walked;
    return CheckScan(w, std::move(*walked));
}
} // namespace

std::optional<Carved> DecodeJpeg(SourceWindow& w) { return WithFileDate(w, WalkAndCheck); }

} // namespace content
