// RAR 4 and RAR 5: blocks, each header guarded by its CRC and followed by the
// data it sizes, up to the end-of-archive block.
#include "content/decoders.h"
#include "content/window_crc.h"

namespace content {

namespace {
constexpr uint8_t kRar4Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr uint8_t kRar5Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
constexpr size_t kMaxBlocks = 1u << 20;  // a walk over a damaged volume ends

// RAR 4: CRC (the low half of a CRC-32 of the header from its type on),
// type, flags, header size, then the data size when flags say so.
constexpr uint64_t kRar4TypeAt = 2, kRar4FlagsAt = 3, kRar4SizeAt = 5, kRar4AddSizeAt = 7;
constexpr uint64_t kRar4MinHeader = 7;
constexpr uint64_t kRar4HighPackSizeAt = 32;  // in a file header (or subblock) with large sizes
constexpr uint8_t kRar4ArchiveHeader = 0x73, kRar4FileHeader = 0x74, kRar4Subblock = 0x7A, kRar4EndOfArchive = 0x7B;
constexpr uint8_t kRar4FirstType = 0x72;
constexpr uint16_t kRar4HasData = 0x8000, kRar4LargeSizes = 0x0100, kRar4HeadersEncrypted = 0x0080;

// RAR 5: a CRC-32 of the header, then variable-length numbers: its size
// (from the type on), type, flags, extra-area size and data size when flags say so.
constexpr uint64_t kRar5SizeAt = 4;
constexpr uint64_t kRar5MaxHeader = 2u << 20;
constexpr uint64_t kRar5HasExtra = 0x01, kRar5HasData = 0x02;
constexpr uint64_t kRar5EncryptionHeader = 4, kRar5EndOfArchive = 5;

struct Number {
    uint64_t value = 0;
    uint64_t bytes = 0;
};

// Seven bits a byte, lowest first, at most ten bytes.
std::optional<Number> VariableNumber(SourceWindow& w, uint64_t at) {
    Number n;
    for (int shift = 0; shift < 70; shift += 7) {
        auto byte = w.U8(at + n.bytes);
        if (!byte)
            return std::nullopt;
        ++n.bytes;
        if (shift == 63 && (*byte & 0x7E))
            return std::nullopt;  // more than 64 bits
        n.value |= uint64_t{*byte & 0x7Fu} << shift;
        if (!(*byte & 0x80))
            return n;
    }
    return std::nullopt;
}

std::optional<Carved> Rar4(SourceWindow& w) {
    uint64_t at = sizeof(kRar4Signature);
    bool sawArchiveHeader = false;
    for (size_t blocks = 0; blocks < kMaxBlocks; ++blocks) {
        auto crc = w.U16LE(at);
        auto type = w.U8(at + kRar4TypeAt);
        auto flags = w.U16LE(at + kRar4FlagsAt);
        auto size = w.U16LE(at + kRar4SizeAt);
        if (!crc || !type || !flags || !size || *size < kRar4MinHeader || *type < kRar4FirstType ||
            *type > kRar4EndOfArchive) {
            if (!sawArchiveHeader)
                return std::nullopt;
            return Broke(at, "rar", "a block is damaged or missing before the end of the archive");
        }
        auto computed = WindowCrc32(w, at + kRar4TypeAt, *size - kRar4TypeAt);
        if (!computed || (*computed & 0xFFFF) != *crc) {
            if (!sawArchiveHeader)
                return std::nullopt;
            return Broke(at, "rar", "a block header's checksum does not match");
        }
        if (!sawArchiveHeader) {
            if (*type != kRar4ArchiveHeader)
                return std::nullopt;
            if (*flags & kRar4HeadersEncrypted)
                return Broke(at + *size, "rar", "its headers are encrypted: the end cannot be told");
            sawArchiveHeader = true;
        }
        uint64_t data = 0;
        if (*flags & kRar4HasData) {
            auto low = w.U32LE(at + kRar4AddSizeAt);
            if (!low)
                return Broke(at, "rar", "ends inside a block header");
            data = *low;
            if ((*type == kRar4FileHeader || *type == kRar4Subblock) && (*flags & kRar4LargeSizes)) {
                auto high = w.U32LE(at + kRar4HighPackSizeAt);
                if (!high || kRar4HighPackSizeAt + 4 > *size)
                    return Broke(at, "rar", "a file header is damaged");
                data |= uint64_t{*high} << 32;
            }
        }
        const uint64_t next = at + *size + data;
        if (next > w.Limit())
            return Broke(at, "rar", "a block's data runs past the end");
        at = next;
        if (*type == kRar4EndOfArchive)
            return Carved{at, Certainty::Checked, "rar", {}};
    }
    return Broke(at, "rar", "too many blocks");
}

std::optional<Carved> Rar5(SourceWindow& w) {
    uint64_t at = sizeof(kRar5Signature);
    for (size_t blocks = 0; blocks < kMaxBlocks; ++blocks) {
        auto crc = w.U32LE(at);
        auto size = VariableNumber(w, at + kRar5SizeAt);
        const bool first = blocks == 0;
        if (!crc || !size || size->value == 0 || size->value > kRar5MaxHeader) {
            if (first)
                return std::nullopt;
            return Broke(at, "rar", "a block is damaged or missing before the end of the archive");
        }
        const uint64_t headerEnd = at + kRar5SizeAt + size->bytes + size->value;
        auto computed = WindowCrc32(w, at + kRar5SizeAt, size->bytes + size->value);
        if (!computed || *computed != *crc) {
            if (first)
                return std::nullopt;
            return Broke(at, "rar", "a block header's checksum does not match");
        }
        uint64_t field = at + kRar5SizeAt + size->bytes;
        auto type = VariableNumber(w, field);
        auto flags = type ? VariableNumber(w, field + type->bytes) : std::nullopt;
        if (!type || !flags)
            return Broke(at, "rar", "a block header is damaged");
        field += type->bytes + flags->bytes;
        if (flags->value & kRar5HasExtra) {
            auto extra = VariableNumber(w, field);
            if (!extra)
                return Broke(at, "rar", "a block header is damaged");
            field += extra->bytes;
        }
        uint64_t data = 0;
        if (flags->value & kRar5HasData) {
            auto dataSize = VariableNumber(w, field);
            if (!dataSize)
                return Broke(at, "rar", "a block header is damaged");
            data = dataSize->value;
        }
        if (field > headerEnd || data > w.Limit() || headerEnd + data > w.Limit())
            return Broke(at, "rar", "a block's data runs past the end");
        if (type->value == kRar5EncryptionHeader)
            return Broke(headerEnd, "rar", "its headers are encrypted: the end cannot be told");
        at = headerEnd + data;
        if (type->value == kRar5EndOfArchive)
            return Carved{at, Certainty::Checked, "rar", {}};
    }
    return Broke(at, "rar", "too many blocks");
}
} // namespace

std::optional<Carved> DecodeRar(SourceWindow& w) {
    if (w.Matches(0, kRar5Signature))
        return Rar5(w);
    if (w.Matches(0, kRar4Signature))
        return Rar4(w);
    return std::nullopt;
}

} // namespace content
