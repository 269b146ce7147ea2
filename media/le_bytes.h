#pragma once
// A bounds-checked little-endian view of a buffer for the media layer's own
// structures (partition tables). The volume layer's ByteReader sits above this
// layer and cannot be included here; this is the few reads a table needs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace media {

class LeBytes {
public:
    explicit LeBytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }
    bool Has(size_t offset, size_t length) const { return offset <= bytes_.size() && length <= bytes_.size() - offset; }

    std::optional<uint8_t> u8(size_t offset) const { return Number<uint8_t>(offset); }
    std::optional<uint16_t> u16(size_t offset) const { return Number<uint16_t>(offset); }
    std::optional<uint32_t> u32(size_t offset) const { return Number<uint32_t>(offset); }
    std::optional<uint64_t> u64(size_t offset) const { return Number<uint64_t>(offset); }

    std::optional<std::span<const uint8_t>> Bytes(size_t offset, size_t length) const {
        if (!Has(offset, length))
            return std::nullopt;
        return bytes_.subspan(offset, length);
    }

private:
    template <typename T>
    std::optional<T> Number(size_t offset) const {
        if (!Has(offset, sizeof(T)))
            return std::nullopt;
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v |= uint64_t{bytes_[offset + i]} << (8 * i);
        return static_cast<T>(v);
    }

    std::span<const uint8_t> bytes_;
};

} // namespace media
