#include "volume/lznt1.h"

namespace volume {

namespace {
constexpr size_t kChunk = 4096;

// One compressed chunk; appends what it yields to `out` starting at `base`.
bool DecompressChunk(std::span<const uint8_t> in, std::vector<uint8_t>& out, size_t base) {
    size_t pos = 0;
    while (pos < in.size()) {
        uint8_t flags = in[pos++];
        for (int bit = 0; bit < 8 && pos < in.size(); ++bit, flags >>= 1) {
            const size_t written = out.size() - base;
            if (!(flags & 1)) {
                if (written >= kChunk)
                    return false;
                out.push_back(in[pos++]);
                continue;
            }
            if (pos + 2 > in.size() || written == 0)
                return false;
            const uint16_t token = static_cast<uint16_t>(in[pos] | (in[pos + 1] << 8));
            pos += 2;
            // The split between offset and length bits moves with the position in the chunk.
            unsigned lengthBits = 12;
            for (size_t i = written - 1; i >= 0x10; i >>= 1)
                --lengthBits;
            const size_t displacement = (token >> lengthBits) + 1u;
            const size_t length = (token & ((1u << lengthBits) - 1)) + 3u;
            if (displacement > written || written + length > kChunk)
                return false;
            size_t from = out.size() - displacement;
            for (size_t i = 0; i < length; ++i)
                out.push_back(out[from + i]);
        }
    }
    return true;
}
} // namespace

bool DecompressLznt1(std::span<const uint8_t> in, size_t unitSize, std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(unitSize);
    size_t pos = 0;
    while (pos + 2 <= in.size() && out.size() < unitSize) {
        const uint16_t header = static_cast<uint16_t>(in[pos] | (in[pos + 1] << 8));
        if (header == 0)
            break;
        const size_t size = (header & 0x0FFFu) + 1u;
        pos += 2;
        if (pos + size > in.size())
            return false;
        // A chunk stands for 4096 bytes; a shorter earlier chunk was padded with zeros.
        if (out.size() % kChunk)
            out.resize((out.size() / kChunk + 1) * kChunk, 0);
        const size_t base = out.size();
        std::span<const uint8_t> body = in.subspan(pos, size);
        if (header & 0x8000u) {
            if (!DecompressChunk(body, out, base))
                return false;
        } else {
            if (size > kChunk)
                return false;
            out.insert(out.end(), body.begin(), body.end());
        }
        pos += size;
    }
    if (out.size() > unitSize)
        return false;
    out.resize(unitSize, 0);
    return true;
}

} // namespace volume
