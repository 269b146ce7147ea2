#include "volume/update_sequence.h"

#include "volume/byte_reader.h"

namespace volume {

namespace {
// Where a multi-sector record's header names its update sequence array: the
// same two fields open every record that carries one (MFT and index records).
constexpr size_t kArrayOffsetAt = 0x04;
constexpr size_t kArrayCountAt = 0x06;  // the sequence number plus one saved tail per stride
// The last two bytes of every stride hold the sequence number on disk.
constexpr size_t kStride = 512;
constexpr size_t kTailBytes = 2;
} // namespace

bool ApplyUpdateSequence(std::span<uint8_t> record) {
    ByteReader r(record.data(), record.size());
    auto offset = r.u16(kArrayOffsetAt);
    auto count = r.u16(kArrayCountAt);
    if (!offset || !count || *count < 2)
        return false;
    const size_t strides = *count - 1u;
    if (strides * kStride > record.size() || !r.Has(*offset, size_t{*count} * kTailBytes))
        return false;
    const uint8_t seqLow = record[*offset], seqHigh = record[*offset + 1];
    for (size_t i = 0; i < strides; ++i) {
        size_t end = (i + 1) * kStride - kTailBytes;
        if (record[end] != seqLow || record[end + 1] != seqHigh)
            return false;
    }
    for (size_t i = 0; i < strides; ++i) {
        size_t end = (i + 1) * kStride - kTailBytes;
        const size_t saved = *offset + kTailBytes * (i + 1);
        record[end] = record[saved];
        record[end + 1] = record[saved + 1];
    }
    return true;
}

} // namespace volume
