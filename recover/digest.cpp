#include "recover/digest.h"

#include <algorithm>
#include <cstring>

#include "recover/sha256_blocks.h"

namespace recover {

namespace {

constexpr size_t kBlockBytes = 64;
constexpr size_t kLengthAt = 56;  // where the bit length starts in the last block

uint32_t RotateRight(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void AppendHex(std::string& out, uint8_t byte) {
    static const char kDigits[] = "0123456789abcdef";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

} // namespace

const uint32_t kSha256RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

namespace {

const bool kSha256InHardware = HasSha256Instructions();

// MD5's sines and shifts, round by round.
constexpr uint32_t kMd5Sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t LoadLittle(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// One MD5 step; the four rounds differ in their mixing function only.
template <int Round>
inline void Md5Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t word, int step, int shift) {
    // What does not wait for b is summed first, so that each step's chain
    // from b to the new a is as short as it can be: in the second round
    // the mix splits into two parts that do not overlap, one free of b.
    uint32_t sum = a + word + kMd5Sines[step];
    if constexpr (Round == 0) {
        sum += d ^ (b & (c ^ d));
    } else if constexpr (Round == 1) {
        sum += ~d & c;
        sum += d & b;
    } else if constexpr (Round == 2) {
        sum += b ^ (c ^ d);
    } else {
        sum += c ^ (b | ~d);
    }
    a = b + RotateLeft(sum, shift);
}

// Sixteen steps of one round over N copies at once, the step of each copy
// beside the same step of the others: the words are taken in the round's
// order and the four registers turn by one each step.
template <int Round, int N>
inline void Md5Round(uint32_t (&state)[N][4], const uint32_t (&w)[N][16]) {
    constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    constexpr int kFirst[4] = {0, 1, 5, 0}, kStride[4] = {1, 5, 3, 7};
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
        const int turn = i % 4;
#pragma GCC unroll 2
        for (int n = 0; n < N; ++n) {
            uint32_t* r = state[n];
            Md5Step<Round>(r[(4 - turn) % 4], r[(5 - turn) % 4], r[(6 - turn) % 4], r[(7 - turn) % 4],
                           w[n][(kFirst[Round] + kStride[Round] * i) % 16], 16 * Round + i, kShifts[Round][turn]);
        }
    }
}

// `count` blocks of each of N copies, the copies' steps side by side.
template <int N>
void Md5Blocks(uint32_t* const (&states)[N], const uint8_t* const (&blocks)[N], size_t count) {
    for (size_t k = 0; k < count; ++k) {
        uint32_t w[N][16], r[N][4];
        for (int n = 0; n < N; ++n) {
            for (int i = 0; i < 16; ++i)
                w[n][i] = LoadLittle(blocks[n] + 64 * k + 4 * i);
            for (int i = 0; i < 4; ++i)
                r[n][i] = states[n][i];
        }
        Md5Round<0>(r, w);
        Md5Round<1>(r, w);
        Md5Round<2>(r, w);
        Md5Round<3>(r, w);
        for (int n = 0; n < N; ++n)
            for (int i = 0; i < 4; ++i)
                states[n][i] += r[n][i];
    }
}

} // namespace

void BlockHash::Add(std::span<const uint8_t> bytes) {
    length_ += bytes.size();
    size_t at = 0;
    if (filled_ > 0) {
        const size_t take = std::min(kBlockBytes - filled_, bytes.size());
        std::memcpy(pending_.data() + filled_, bytes.data(), take);
        filled_ += take;
        at = take;
        if (filled_ < kBlockBytes)
            return;
        Blocks(pending_.data(), 1);
        filled_ = 0;
    }
    const size_t whole = (bytes.size() - at) / kBlockBytes;
    if (whole > 0)
        Blocks(bytes.data() + at, whole);
    at += whole * kBlockBytes;
    std::memcpy(pending_.data(), bytes.data() + at, bytes.size() - at);
    filled_ = bytes.size() - at;
}

void BlockHash::Pad() {
    const uint64_t bits = length_ * 8;
    pending_[filled_++] = 0x80;
    if (filled_ > kLengthAt) {
        std::memset(pending_.data() + filled_, 0, kBlockBytes - filled_);
        Blocks(pending_.data(), 1);
        filled_ = 0;
    }
    std::memset(pending_.data() + filled_, 0, kLengthAt - filled_);
    for (int i = 0; i < 8; ++i)
        pending_[kLengthAt + i] = static_cast<uint8_t>(bits >> (bigEndianLength_ ? 56 - 8 * i : 8 * i));
    Blocks(pending_.data(), 1);
    filled_ = 0;
}

namespace {

void Sha256PortableBlock(uint32_t state[8], const uint8_t* m) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t{m[4 * i]} << 24 | uint32_t{m[4 * i + 1]} << 16 | uint32_t{m[4 * i + 2]} << 8 | m[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const uint32_t t1 =
            h + (RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25)) + ((e & f) ^ (~e & g)) + kSha256RoundConstants[i] + w[i];
        const uint32_t t2 = (RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

} // namespace

Sha256::Sha256()
    : BlockHash(true),
      state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Blocks(const uint8_t* blocks, size_t count) {
    if (kSha256InHardware)
        Sha256BlocksNi(state_.data(), blocks, count);
    else
        Sha256BlocksPortable(state_.data(), blocks, count);
}

void Sha256BlocksPortable(uint32_t state[8], const uint8_t* blocks, size_t count) {
    for (size_t n = 0; n < count; ++n, blocks += 64)
        Sha256PortableBlock(state, blocks);
}

std::string Sha256::Hex() {
    Pad();
    std::string out;
    for (uint32_t v : state_)
        for (int shift = 24; shift >= 0; shift -= 8)
            AppendHex(out, static_cast<uint8_t>(v >> shift));
    return out;
}

Md5::Md5() : BlockHash(false), state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::Blocks(const uint8_t* blocks, size_t count) { Md5Blocks<1>({state_.data()}, {blocks}, count); }

void Md5::AddTwo(Md5& x, std::span<const uint8_t> a, Md5& y, std::span<const uint8_t> b) {
    if (&x != &y && !x.HoldsPartBlock() && !y.HoldsPartBlock()) {
        const size_t whole = std::min(a.size(), b.size()) / kBlockBytes;
        Md5Blocks<2>({x.state_.data(), y.state_.data()}, {a.data(), b.data()}, whole);
        x.CountWholeBlocks(whole);
        y.CountWholeBlocks(whole);
        a = a.subspan(whole * kBlockBytes);
        b = b.subspan(whole * kBlockBytes);
    }
    x.Add(a);
    y.Add(b);
}

std::string Md5::Hex() {
    Pad();
    std::string out;
    for (uint32_t v : state_)
        for (int shift = 0; shift < 32; shift += 8)
            AppendHex(out, static_cast<uint8_t>(v >> shift));
    return out;
}

} // namespace recover
