#pragma once
// SHA-256's block rounds, portable and on the processor's own SHA
// instructions where it has them: those run several times as fast, so that
// proving every copy in the report costs the recovery little.
#include <cstddef>
#include <cstdint>

namespace recover {

// SHA-256's 64 round constants, shared with the portable rounds.
extern const uint32_t kSha256RoundConstants[64];

// Whether Sha256BlocksNi may be called on this processor.
bool HasSha256Instructions();

// Both hash `count` 64-byte blocks into `state` (a, b, … h).
void Sha256BlocksPortable(uint32_t state[8], const uint8_t* blocks, size_t count);
void Sha256BlocksNi(uint32_t state[8], const uint8_t* blocks, size_t count);

} // namespace recover
