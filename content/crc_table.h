#pragma once
// The byte-at-a-time table of a CRC that is not reflected and starts at zero
// (OGG's CRC-32, FLAC's CRC-8 and CRC-16): entry i is the remainder of i
// shifted to the top of the register.
#include <array>
#include <cstdint>

namespace content {

template <typename Register, Register kPolynomial>
constexpr std::array<Register, 256> MsbFirstCrcTable() {
    constexpr int kBits = sizeof(Register) * 8;
    constexpr Register kTop = static_cast<Register>(Register{1} << (kBits - 1));
    std::array<Register, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        auto r = static_cast<Register>(i << (kBits - 8));
        for (int k = 0; k < 8; ++k)
            r = static_cast<Register>((r & kTop) ? (r << 1) ^ kPolynomial : r << 1);
        table[i] = r;
    }
    return table;
}

} // namespace content
