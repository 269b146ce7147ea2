#include "volume/update_sequence.h"

#include "volume/byte_reader.h"

namespace volume {

bool ApplyUpdateSequence(std::span<uint8_t> record) {
    constexpr size_t kStride = 512;
    ByteReader r(record.data(), record.size());
    auto offset = r.u16(4);
    auto count = r.u16(6);
    if (!offset || !count || *count < 2)
        return false;
    const size_t strides = *count - 1u;
    if (strides * kStride > record.size() || !r.Has(*offset, size_t{*count} * 2))
        return false;
    const uint8_t seqLow = record[*offset], seqHigh = record[*offset + 1];
    for (size_t i = 0; i < strides; ++i) {
        size_t end = (i + 1) * kStride - 2;
        if (record[end] != seqLow || record[end + 1] != seqHigh)
            return false;
    }
    for (size_t i = 0; i < strides; ++i) {
        size_t end = (i + 1) * kStride - 2;
        record[end] = record[*offset + 2 + 2 * i];
        record[end + 1] = record[*offset + 3 + 2 * i];
    }
    return true;
}

} // namespace volume
