#pragma once
// The update-sequence repair of NTFS multi-sector records (MFT records, index
// blocks): the last two bytes of every 512-byte stride hold the sequence
// number on disk, and the array after the header holds their true values.
#include <cstdint>
#include <span>

namespace volume {

// Puts the true bytes back at every stride end. False, leaving the record as
// it was, when the array does not fit the record or any stride end does not
// carry the sequence number (a torn or damaged record).
bool ApplyUpdateSequence(std::span<uint8_t> record);

} // namespace volume
