#include "content/jpeg_rejoin.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "content/signatures.h"

namespace content {

namespace {
constexpr uint64_t kSector = 512;
// A cluster is at most this large: past the end of a file written in
// between, the rest starts within it.
constexpr uint64_t kClusterSlack = 64 * 1024;
constexpr int kFilesBetween = 4;        // files written in between, one after the other
constexpr int kBreaksByFiles = 2;       // breaks tried where a whole file starts
constexpr int kBreaksBlind = 8;         // breaks tried where none does
// How far past such a break the rest is looked for: far for the nearest, less for the others.
constexpr uint64_t kBlindAheadNearest = 1u << 20, kBlindAhead = 256u << 10;
// A code read across the break may fail a byte or two before it, and a
// stuffed 0xFF cut from its zero is a marker at the last byte.
constexpr uint64_t kFailureBeforeBreak = 8;
constexpr int kMaxAttempts = 2048;
constexpr uint64_t kWrongBytes = 256u << 10;  // bytes decoded in places that did not fit, at most
constexpr uint64_t kAttemptBytes = 64u << 20;  // bytes one place may take to reach the end marker

// A rejoin looks for whole files between the pieces, which may be pictures
// themselves: their decode does not look for pieces in turn.
thread_local bool rejoining = false;

class Attempts {
public:
    Attempts(SourceWindow& w, const JpegFrame& frame, const std::deque<JpegCheckpoint>& kept)
        : w_(w), frame_(frame), kept_(kept), rest_(w.Source(), w.Start(), w.Limit(), w.Cancel()) {}

    bool Spent() const {
        return attempts_ >= kMaxAttempts || wrongBytes_ >= kWrongBytes ||
               (w_.Cancel() && w_.Cancel()->load(std::memory_order_relaxed));
    }

    // The file whole when its first piece ends at `breakAt` and the rest starts at `restAt`.
    std::optional<JpegTwoPieces> Try(uint64_t breakAt, uint64_t restAt) {
        if (Spent() || restAt <= breakAt || restAt >= w_.Limit() || Blank(restAt))
            return std::nullopt;
        const JpegCheckpoint* from = nullptr;
        for (const JpegCheckpoint& cp : kept_)
            if (cp.at < breakAt)
                from = &cp;
        if (!from)
            return std::nullopt;
        if (!first_ || firstBreak_ != breakAt) {
            // The first piece's tail is read again for every place tried: its own window keeps it.
            first_.emplace(w_.Source(), w_.Start(), breakAt, w_.Cancel());
            firstBreak_ = breakAt;
        }
        ++attempts_;
        const JpegPiece pieces[] = {{&*first_, 0, breakAt}, {&rest_, restAt, w_.Limit() - restAt}};
        const JpegScanEnd end = DecodeJpegScan(frame_, pieces, *from, kAttemptBytes);
        if (end.whole && end.at > breakAt)
            return JpegTwoPieces{breakAt, restAt, end.at - breakAt};
        wrongBytes_ += (end.at > from->at ? end.at - from->at : 0) + kSector;
        return std::nullopt;
    }

private:
    // A sector of one byte again and again (zeros, most often: unused
    // clusters, a cluster's tail) is no picture's data, yet zeros decode as
    // blocks of small values until the MCUs run out: such a place costs as
    // much as the whole rest, so it is not tried.
    bool Blank(uint64_t at) {
        auto sector = rest_.Bytes(at, static_cast<uint32_t>(std::min<uint64_t>(kSector, w_.Limit() - at)));
        return sector && std::all_of(sector->begin(), sector->end(), [&](uint8_t b) { return b == sector->front(); });
    }

    SourceWindow& w_;
    const JpegFrame& frame_;
    const std::deque<JpegCheckpoint>& kept_;
    SourceWindow rest_;
    std::optional<SourceWindow> first_;
    uint64_t firstBreak_ = 0;
    int attempts_ = 0;
    uint64_t wrongBytes_ = 0;
};

// The end of a file found whole at `at` of the window, if one starts there.
std::optional<uint64_t> WholeFileEnd(SourceWindow& w, uint64_t at) {
    auto head = w.Bytes(at, 16);
    if (!head)
        return std::nullopt;
    for (const Signature& s : Signatures()) {
        if (s.magicAt + s.magic.size() > head->size() ||
            std::memcmp(head->data() + s.magicAt, s.magic.data(), s.magic.size()) != 0)
            continue;
        SourceWindow file(w.Source(), w.Start() + at, s.maxBytes, w.Cancel());
        std::optional<Carved> carved = s.decode(file);
        if (carved && carved->certainty != Certainty::Broken && carved->length > 0)
            return at + carved->length;
    }
    return std::nullopt;
}

uint64_t SectorAtOrBelow(uint64_t at, uint64_t skew) { return at < skew ? 0 : (at - skew) / kSector * kSector + skew; }
uint64_t SectorBefore(uint64_t at) { return at >= kSector ? at - kSector : 0; }

} // namespace

std::optional<JpegTwoPieces> RejoinJpeg(SourceWindow& w, const JpegFrame& frame, const std::deque<JpegCheckpoint>& kept,
                                        uint64_t failedAt) {
    if (rejoining || kept.empty())
        return std::nullopt;
    rejoining = true;
    struct Reset {
        ~Reset() { rejoining = false; }
    } reset;
    // Sector boundaries of the source, counted from the window's start.
    const uint64_t skew = (kSector - w.Start() % kSector) % kSector;
    const uint64_t lowest = std::max(kept.front().at + 1, frame.scanStart + 1);
    const uint64_t highest = SectorAtOrBelow(std::min(failedAt + kFailureBeforeBreak, w.Limit()), skew);
    const uint64_t floor = highest > kJpegBreakSearchBytes ? highest - kJpegBreakSearchBytes : 0;
    Attempts attempts(w, frame, kept);

    // A whole file starting at the break: the rest lies past it, or past the
    // files written after it.
    int breaks = 0;
    for (uint64_t at = highest; at >= std::max(lowest, floor) && breaks < kBreaksByFiles && !attempts.Spent();
         at = SectorBefore(at)) {
        std::optional<uint64_t> end = WholeFileEnd(w, at);
        if (!end)
            continue;
        ++breaks;
        for (int file = 0; file < kFilesBetween && end; ++file) {
            const uint64_t after = SectorAtOrBelow(*end + kSector - 1, skew);
            for (uint64_t rest = after; rest < after + kClusterSlack && !attempts.Spent(); rest += kSector)
                if (auto found = attempts.Try(at, rest))
                    return found;
            end = WholeFileEnd(w, after);
        }
    }
    // Else every sector a little way past each of the nearest breaks.
    breaks = 0;
    for (uint64_t at = highest; at >= lowest && breaks < kBreaksBlind && !attempts.Spent();
         at = SectorBefore(at), ++breaks) {
        const uint64_t ahead = breaks == 0 ? kBlindAheadNearest : kBlindAhead;
        for (uint64_t rest = at + kSector; rest < at + ahead && !attempts.Spent(); rest += kSector)
            if (auto found = attempts.Try(at, rest))
                return found;
    }
    return std::nullopt;
}

} // namespace content
