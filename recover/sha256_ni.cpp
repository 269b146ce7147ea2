#include "recover/sha256_blocks.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define DUNRO_SHA_NI 1
#endif

namespace recover {

#ifdef DUNRO_SHA_NI

bool HasSha256Instructions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    const bool ssse3 = ecx & (1u << 9), sse41 = ecx & (1u << 19);
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    const bool sha = ebx & (1u << 29);
    return ssse3 && sse41 && sha;
}

// The instructions keep the state as two halves, (a, b, e, f) and
// (c, d, g, h), and take two rounds at a time with the message words plus
// their round constants.
__attribute__((target("sha,sse4.1,ssse3"))) void Sha256BlocksNi(uint32_t state[8], const uint8_t* blocks,
                                                                 size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (size_t n = 0; n < count; ++n, blocks += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i words[4];
#pragma GCC unroll 16
        for (int group = 0; group < 16; ++group) {
            __m128i& w = words[group % 4];
            if (group < 4) {
                w = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)), byteSwap);
            } else {
                // w[t] from w[t-16], w[t-15], w[t-7] and w[t-2], four at a time.
                const __m128i& last = words[(group + 3) % 4];
                const __m128i sevenBack = _mm_alignr_epi8(last, words[(group + 2) % 4], 4);
                w = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(w, words[(group + 1) % 4]), sevenBack),
                                         last);
            }
            __m128i wk = _mm_add_epi32(
                w, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
            wk = _mm_shuffle_epi32(wk, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

#else

bool HasSha256Instructions() { return false; }
void Sha256BlocksNi(uint32_t*, const uint8_t*, size_t) {}

#endif

} // namespace recover
