#pragma once
// One bounds-checked little-endian cursor for every on-disk structure.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace volume {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }

    // True when `length` bytes starting at `offset` lie inside the buffer.
    bool Has(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }

    std::optional<uint8_t> u8(size_t offset) const { return Fixed<uint8_t>(offset); }
    std::optional<uint16_t> u16(size_t offset) const { return Fixed<uint16_t>(offset); }
    std::optional<uint32_t> u32(size_t offset) const { return Fixed<uint32_t>(offset); }
    std::optional<uint64_t> u64(size_t offset) const { return Fixed<uint64_t>(offset); }
    std::optional<int64_t> i64(size_t offset) const {
        auto v = u64(offset);
        if (!v)
            return std::nullopt;
        return static_cast<int64_t>(*v);
    }
    std::optional<int8_t> i8(size_t offset) const {
        auto v = u8(offset);
        if (!v)
            return std::nullopt;
        return static_cast<int8_t>(*v);
    }

    // An unsigned little-endian number of `width` bytes (0 to 8).
    std::optional<uint64_t> uN(size_t offset, size_t width) const { return Unsigned<uint64_t>(offset, width); }

    // A signed little-endian number of `width` bytes (1 to 8), sign-extended.
    std::optional<int64_t> iN(size_t offset, size_t width) const {
        if (width == 0 || width > 8)
            return std::nullopt;
        auto v = uN(offset, width);
        if (!v)
            return std::nullopt;
        uint64_t value = *v;
        if (width < 8 && (value >> (width * 8 - 1)) & 1)
            value |= ~uint64_t{0} << (width * 8);
        return static_cast<int64_t>(value);
    }

    std::optional<std::span<const uint8_t>> Bytes(size_t offset, size_t length) const {
        if (!Has(offset, length))
            return std::nullopt;
        return std::span<const uint8_t>(data_ + offset, length);
    }

    ByteReader Sub(size_t offset, size_t length) const {
        if (!Has(offset, length))
            return {};
        return ByteReader(data_ + offset, length);
    }

private:
    // A whole little-endian number as one load: records are parsed by the
    // hundred thousand, and every field goes through here.
    template <typename T>
    std::optional<T> Fixed(size_t offset) const {
        if (!Has(offset, sizeof(T)))
            return std::nullopt;
        T v;
        std::memcpy(&v, data_ + offset, sizeof v);
        if constexpr (std::endian::native == std::endian::big && sizeof(T) > 1) {
            T swapped = 0;
            for (size_t i = 0; i < sizeof(T); ++i)
                swapped = static_cast<T>(swapped << 8 | ((v >> (8 * i)) & 0xFF));
            v = swapped;
        }
        return v;
    }

    template <typename T>
    std::optional<T> Unsigned(size_t offset, size_t width) const {
        if (width > 8 || !Has(offset, width))
            return std::nullopt;
        uint64_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v |= uint64_t{data_[offset + i]} << (8 * i);
        return static_cast<T>(v);
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

} // namespace volume

namespace volume {

// Sizes read from a volume are untrusted: their sums stop at the largest value.
inline int64_t SaturatingAdd(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? INT64_MAX : INT64_MIN;
    return sum;
}

} // namespace volume
