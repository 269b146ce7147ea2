#include "content/jpeg_entropy.h"

#include <algorithm>

namespace content {

namespace {
constexpr uint8_t kSos = 0xDA, kDht = 0xC4, kDri = 0xDD, kEoi = 0xD9, kRst0 = 0xD0;
constexpr uint64_t kCheckpointSpacing = 256;  // bytes of scan data between kept checkpoints

bool IsFrame(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != kDht && m != 0xC8 && m != 0xCC; }

// A table as a DHT segment gives it: code counts by length, then the symbols.
bool BuildTable(std::span<const uint8_t> counts, std::span<const uint8_t> symbols, JpegHuffmanTable& t) {
    t = JpegHuffmanTable{};
    std::copy(symbols.begin(), symbols.end(), t.values.begin());
    int32_t code = 0, k = 0;
    for (int len = 1; len <= 16; ++len) {
        const int32_t n = counts[len - 1];
        if (code + n > (1 << len))  // more codes than the length holds
            return false;
        t.valOffset[len] = k - code;
        for (int32_t i = 0; i < n; ++i, ++code, ++k) {
            if (len <= JpegHuffmanTable::kFastBits) {
                const int shift = JpegHuffmanTable::kFastBits - len;
                for (int32_t fill = 0; fill < (1 << shift); ++fill)
                    t.fast[(code << shift) | fill] = static_cast<uint16_t>((len << 8) | symbols[k]);
            }
        }
        t.maxCode[len] = n ? code - 1 : -1;
        code <<= 1;
    }
    t.maxCode[17] = INT32_MAX;
    t.defined = true;
    return true;
}

bool ReadTables(SourceWindow& w, uint64_t at, uint64_t end, JpegFrame& frame) {
    while (at < end) {
        auto head = w.Bytes(at, 17);
        if (!head)
            return false;
        const uint8_t cls = (*head)[0] >> 4, id = (*head)[0] & 0x0F;
        uint32_t total = 0;
        for (int i = 1; i <= 16; ++i)
            total += (*head)[i];
        if (cls > 1 || id > 3 || total > 256 || at + 17 + total > end)
            return false;
        std::array<uint8_t, 16> counts{};
        std::copy(head->begin() + 1, head->end(), counts.begin());
        auto symbols = w.Bytes(at + 17, total);
        if (!symbols && total)
            return false;
        if (!BuildTable(counts, total ? *symbols : std::span<const uint8_t>{}, cls ? frame.ac[id] : frame.dc[id]))
            return false;
        at += 17 + total;
    }
    return true;
}

struct Component {
    uint8_t id = 0, h = 1, v = 1;
};
} // namespace

std::optional<JpegFrame> ReadJpegFrame(SourceWindow& w, JpegFrameKind& kind) {
    kind = JpegFrameKind::NotDecoded;
    JpegFrame frame;
    std::array<Component, 4> components{};
    uint8_t componentCount = 0;
    bool sequential = false, sawFrame = false;
    uint32_t width = 0, height = 0;
    uint64_t at = 2;
    for (;;) {
        auto ff = w.U8(at), m = w.U8(at + 1);
        if (!ff || !m || *ff != 0xFF)
            return std::nullopt;
        if (*m == 0xFF) {
            ++at;
            continue;
        }
        auto length = w.U16BE(at + 2);
        if (!length || *length < 2 || *m == kEoi || *m == 0xD8)
            return std::nullopt;
        const uint64_t body = at + 4, end = at + 2 + *length;
        if (IsFrame(*m)) {
            sawFrame = true;
            sequential = *m == 0xC0 || *m == 0xC1;
            auto head = w.Bytes(body, 6);
            if (!head)
                return std::nullopt;
            frame.precision = (*head)[0];
            height = (uint32_t{(*head)[1]} << 8) | (*head)[2];
            width = (uint32_t{(*head)[3]} << 8) | (*head)[4];
            componentCount = (*head)[5];
            if (componentCount == 0 || componentCount > 4 || *length < 8 + 3u * componentCount)
                return frame;
            for (uint8_t i = 0; i < componentCount; ++i) {
                auto c = w.Bytes(body + 6 + 3u * i, 3);
                if (!c)
                    return std::nullopt;
                components[i] = Component{(*c)[0], static_cast<uint8_t>((*c)[1] >> 4), static_cast<uint8_t>((*c)[1] & 15)};
                if (components[i].h < 1 || components[i].h > 4 || components[i].v < 1 || components[i].v > 4)
                    return frame;
            }
        } else if (*m == kDht) {
            if (!ReadTables(w, body, end, frame))
                return frame;
        } else if (*m == kDri) {
            auto ri = w.U16BE(body);
            if (!ri)
                return std::nullopt;
            frame.restartInterval = *ri;
        } else if (*m == kSos) {
            break;
        }
        at = end;
    }
    // The first scan: decoded only when it is the whole picture in one
    // sequential Huffman-coded pass.
    const uint64_t body = at + 4;
    auto ns = w.U8(body);
    auto length = w.U16BE(at + 2);
    if (!ns || !length)
        return std::nullopt;
    frame.scanStart = at + 2 + *length;
    if (!sawFrame || !sequential || height == 0 || width == 0 || *ns != componentCount || *length != 6 + 2u * *ns ||
        (frame.precision != 8 && frame.precision != 12))
        return frame;
    uint8_t hMax = 1, vMax = 1;
    for (uint8_t i = 0; i < componentCount; ++i) {
        hMax = std::max(hMax, components[i].h);
        vMax = std::max(vMax, components[i].v);
    }
    uint32_t blocks = 0;
    for (uint8_t i = 0; i < *ns; ++i) {
        auto sel = w.Bytes(body + 1 + 2u * i, 2);
        if (!sel || (*sel)[0] != components[i].id)
            return frame;
        frame.dcTable[i] = (*sel)[1] >> 4;
        frame.acTable[i] = (*sel)[1] & 15;
        if (frame.dcTable[i] > 3 || frame.acTable[i] > 3 || !frame.dc[frame.dcTable[i]].defined ||
            !frame.ac[frame.acTable[i]].defined)
            return frame;
        // One block an MCU for a single component, whatever its sampling.
        const uint32_t count = *ns == 1 ? 1 : uint32_t{components[i].h} * components[i].v;
        if (blocks + count > frame.blockComponent.size())
            return frame;
        for (uint32_t b = 0; b < count; ++b)
            frame.blockComponent[blocks++] = i;
    }
    frame.blocks = static_cast<uint8_t>(blocks);
    if (*ns == 1) {
        const uint64_t w8 = (uint64_t{width} * components[0].h + hMax - 1) / hMax;
        const uint64_t h8 = (uint64_t{height} * components[0].v + vMax - 1) / vMax;
        frame.mcus = ((w8 + 7) / 8) * ((h8 + 7) / 8);
    } else {
        frame.mcus = ((width + 8u * hMax - 1) / (8u * hMax)) * uint64_t{(height + 8u * vMax - 1) / (8u * vMax)};
    }
    kind = JpegFrameKind::Sequential;
    return frame;
}

namespace {

// The scan's bits, stuffed zeros taken out, over the pieces read as one
// stream. It stops before a marker, at the stream's end or at the budget.
class BitStream {
public:
    BitStream(JpegPieces pieces, uint64_t budget) : pieces_(pieces), budget_(budget) {}

    void Seek(uint64_t at) {
        pos_ = at;
        first_ = at;
        count_ = 0;
        buf_ = 0;
        stopped_ = false;
        marker_ = 0;
        p_ = e_ = nullptr;
    }

    void Fill() {
        while (count_ <= 56 && !stopped_) {
            const uint64_t at = pos_;
            uint8_t b;
            if (!Byte(b))
                return Stop(at);
            if (b == 0xFF) {
                uint8_t next;
                do {
                    if (!Byte(next))
                        return Stop(at);
                } while (next == 0xFF);
                if (next != 0x00) {
                    marker_ = next;
                    markerAt_ = at;
                    return Stop(at);
                }
            }
            buf_ |= uint64_t{b} << (56 - count_);
            count_ += 8;
            loadedAt_[loaded_++ & 7] = at;
        }
    }

    // The next `n` bits (n <= 16), or empty when the data stops first.
    std::optional<uint32_t> Peek(int n) {
        if (count_ < n)
            Fill();
        return count_ >= n ? std::optional<uint32_t>(static_cast<uint32_t>(buf_ >> (64 - n))) : std::nullopt;
    }
    uint32_t PeekPadded(int n) {
        if (count_ < n)
            Fill();
        return static_cast<uint32_t>(buf_ >> (64 - n));
    }
    int Held() const { return count_; }
    void Drop(int n) {
        buf_ <<= n;
        count_ -= n;
    }

    // Where the next bit lies, for a checkpoint.
    void Position(uint64_t& at, uint8_t& bitsUsed) const {
        if (count_ == 0) {
            at = pos_;
            bitsUsed = 0;
            return;
        }
        at = loadedAt_[(loaded_ - static_cast<uint32_t>((count_ + 7) / 8)) & 7];
        bitsUsed = static_cast<uint8_t>((8 - count_ % 8) % 8);
    }

    // After an MCU that ends a restart interval or the scan: the bits left
    // pad the last byte, and a marker comes next.
    std::optional<uint8_t> MarkerAfterPadding() {
        if (count_ < 8)
            Fill();
        if (count_ >= 8 || !marker_)
            return std::nullopt;
        const uint8_t m = marker_;
        count_ = 0;
        buf_ = 0;
        stopped_ = false;
        marker_ = 0;
        return m;
    }

    uint64_t StopAt() const { return stopAt_; }
    uint64_t MarkerAt() const { return markerAt_; }
    uint64_t Front() const { return pos_; }
    bool Marker() const { return marker_ != 0; }
    bool BudgetSpent() const { return budgetSpent_; }

private:
    void Stop(uint64_t at) {
        stopped_ = true;
        stopAt_ = at;
    }

    bool Byte(uint8_t& b) {
        if (p_ == e_ && !Load())
            return false;
        b = *p_++;
        ++pos_;
        return true;
    }

    bool Load() {
        if (pos_ - first_ >= budget_) {
            budgetSpent_ = true;
            return false;
        }
        uint64_t start = 0;
        for (const JpegPiece& piece : pieces_) {
            if (pos_ < start + piece.length) {
                const uint64_t inPiece = pos_ - start;
                std::span<const uint8_t> held = piece.window->From(piece.offset + inPiece);
                if (held.empty())
                    return false;
                const uint64_t room = std::min<uint64_t>({held.size(), piece.length - inPiece, budget_ - (pos_ - first_)});
                p_ = held.data();
                e_ = p_ + room;
                return true;
            }
            start += piece.length;
        }
        return false;
    }

    JpegPieces pieces_;
    uint64_t budget_;
    uint64_t pos_ = 0, first_ = 0;  // stream offset of the next byte to load, and of the first
    const uint8_t* p_ = nullptr;
    const uint8_t* e_ = nullptr;
    uint64_t buf_ = 0;
    int count_ = 0;
    std::array<uint64_t, 8> loadedAt_{};
    uint32_t loaded_ = 0;
    bool stopped_ = false, budgetSpent_ = false;
    uint8_t marker_ = 0;
    uint64_t markerAt_ = 0, stopAt_ = 0;
};

class ScanDecoder {
public:
    ScanDecoder(BitStream& bits, const JpegFrame& frame) : bits_(bits), frame_(frame) {
        maxDcCategory_ = frame.precision == 8 ? 11 : 15;
        maxAcCategory_ = frame.precision == 8 ? 10 : 14;
        dcLimit_ = frame.precision == 8 ? 2047 : 32767;
    }

    // Empty when the MCU decodes; else why not.
    const char* Mcu(std::array<int32_t, 4>& dc) {
        for (uint8_t b = 0; b < frame_.blocks; ++b) {
            const uint8_t c = frame_.blockComponent[b];
            int s = 0;
            if (const char* why = Symbol(frame_.dc[frame_.dcTable[c]], s))
                return why;
            if (s > maxDcCategory_)
                return "a DC difference too large for the picture's precision";
            int32_t diff = 0;
            if (const char* why = Extra(s, diff))
                return why;
            dc[c] += diff;
            if (dc[c] > dcLimit_ || dc[c] < -dcLimit_)
                return "a DC value out of range";
            const JpegHuffmanTable& ac = frame_.ac[frame_.acTable[c]];
            for (int k = 1; k < 64;) {
                int rs = 0;
                if (const char* why = Symbol(ac, rs))
                    return why;
                const int run = rs >> 4, size = rs & 15;
                if (size == 0) {
                    if (run != 15)
                        break;  // end of block
                    if (k + 15 > 63)
                        return "a run of zeros past the block's end";
                    k += 16;
                    continue;
                }
                if (size > maxAcCategory_)
                    return "an AC value too large for the picture's precision";
                k += run;
                if (k > 63)
                    return "a coefficient past the block's end";
                int32_t ignored = 0;
                if (const char* why = Extra(size, ignored))
                    return why;
                ++k;
            }
        }
        return nullptr;
    }

private:
    const char* Starved() const {
        if (bits_.Marker())
            return "a marker inside an MCU";
        return "ends inside scan data";
    }

    const char* Symbol(const JpegHuffmanTable& t, int& symbol) {
        const uint32_t look = bits_.PeekPadded(JpegHuffmanTable::kFastBits);
        if (const uint16_t e = t.fast[look]) {
            const int len = e >> 8;
            if (len > bits_.Held())
                return Starved();
            bits_.Drop(len);
            symbol = e & 0xFF;
            return nullptr;
        }
        const uint32_t wide = bits_.PeekPadded(16);
        for (int len = JpegHuffmanTable::kFastBits + 1; len <= 16; ++len) {
            const int32_t code = static_cast<int32_t>(wide >> (16 - len));
            if (code <= t.maxCode[len]) {
                if (len > bits_.Held())
                    return Starved();
                bits_.Drop(len);
                symbol = t.values[static_cast<uint8_t>(code + t.valOffset[len])];
                return nullptr;
            }
        }
        if (bits_.Held() < 16)
            return Starved();
        return "a code no table holds";
    }

    const char* Extra(int n, int32_t& value) {
        if (n == 0) {
            value = 0;
            return nullptr;
        }
        auto v = bits_.Peek(n);
        if (!v)
            return Starved();
        bits_.Drop(n);
        value = static_cast<int32_t>(*v);
        if (value < (1 << (n - 1)))
            value -= (1 << n) - 1;
        return nullptr;
    }

    BitStream& bits_;
    const JpegFrame& frame_;
    int maxDcCategory_, maxAcCategory_;
    int32_t dcLimit_;
};

JpegScanEnd Failed(const BitStream& bits, uint64_t at, std::string reason) {
    JpegScanEnd end;
    end.at = at;
    end.reason = std::move(reason);
    end.budgetSpent = bits.BudgetSpent();
    return end;
}

} // namespace

JpegScanEnd DecodeJpegScan(const JpegFrame& frame, JpegPieces pieces, const JpegCheckpoint& from, uint64_t budget,
                           std::deque<JpegCheckpoint>* kept, uint64_t keepBack) {
    BitStream bits(pieces, budget);
    bits.Seek(from.at);
    if (from.bitsUsed) {
        if (!bits.Peek(from.bitsUsed))
            return Failed(bits, from.at, "ends inside scan data");
        bits.Drop(from.bitsUsed);
    }
    ScanDecoder decoder(bits, frame);
    std::array<int32_t, 4> dc = from.dc;
    uint64_t lastKept = 0;
    bool keptAny = false;
    for (uint64_t mcu = from.mcu; mcu < frame.mcus; ++mcu) {
        if (kept) {
            JpegCheckpoint here{0, 0, mcu, dc};
            bits.Position(here.at, here.bitsUsed);
            if (!keptAny || here.at >= lastKept + kCheckpointSpacing) {
                kept->push_back(here);
                lastKept = here.at;
                keptAny = true;
                while (kept->size() > 1 && (*kept)[1].at + keepBack < here.at)
                    kept->pop_front();
            }
        }
        if (const char* why = decoder.Mcu(dc)) {
            uint64_t at = 0;
            uint8_t ignored = 0;
            bits.Position(at, ignored);
            if (bits.Marker())
                at = bits.MarkerAt();
            else if (bits.Held() == 0)
                at = bits.StopAt();
            return Failed(bits, at, why);
        }
        const uint64_t done = mcu + 1;
        const bool restart = frame.restartInterval && done % frame.restartInterval == 0 && done < frame.mcus;
        if (!restart && done < frame.mcus)
            continue;
        const std::optional<uint8_t> marker = bits.MarkerAfterPadding();
        if (!marker) {
            uint64_t at = 0;
            uint8_t ignored = 0;
            bits.Position(at, ignored);
            return Failed(bits, bits.Held() ? at : bits.StopAt(),
                          restart ? "no restart marker where one is due" : "no end marker after the last MCU");
        }
        if (!restart) {
            if (*marker != kEoi)
                return Failed(bits, bits.MarkerAt(), "another marker than the end after the last MCU");
            JpegScanEnd end;
            end.whole = true;
            end.at = bits.Front();
            return end;
        }
        const uint8_t expected = static_cast<uint8_t>(kRst0 + (done / frame.restartInterval - 1) % 8);
        if (*marker != expected)
            return Failed(bits, bits.MarkerAt(), "a restart marker out of order");
        dc = {};
    }
    return Failed(bits, from.at, "no MCU left to decode");
}

} // namespace content
