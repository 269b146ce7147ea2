// PE executables: the file ends after the furthest section's raw data or
// the certificate table, whichever lies further. Nothing checks that end.
#include <algorithm>

#include "content/decoders.h"

namespace content {

namespace {
constexpr uint64_t kNewHeaderAt = 0x3C;
constexpr uint64_t kSectionsAt = 6, kOptionalSizeAt = 20, kCoffBytes = 24;  // from "PE\0\0"
constexpr uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr uint64_t kSizeOfHeadersAt = 60;                                  // in the optional header
constexpr uint64_t kDirectoriesAt32 = 96, kDirectoriesAt64 = 112;          // in the optional header
constexpr uint64_t kCertificateDirectory = 4, kDirectoryBytes = 8;
constexpr uint64_t kSectionBytes = 40, kRawSizeAt = 16, kRawPointerAt = 20;
constexpr uint32_t kMaxNewHeader = 64 * 1024;
constexpr uint16_t kMaxSections = 96;
} // namespace

std::optional<Carved> DecodePe(SourceWindow& w) {
    if (!w.Matches(0, "MZ"))
        return std::nullopt;
    auto pe = w.U32LE(kNewHeaderAt);
    if (!pe || *pe < 0x40 || *pe > kMaxNewHeader || !w.Matches(*pe, std::span<const uint8_t>(
                                                                       reinterpret_cast<const uint8_t*>("PE\0\0"), 4)))
        return std::nullopt;
    auto sections = w.U16LE(*pe + kSectionsAt);
    auto optionalSize = w.U16LE(*pe + kOptionalSizeAt);
    const uint64_t optional = *pe + kCoffBytes;
    auto magic = w.U16LE(optional);
    if (!sections || !optionalSize || !magic || *sections == 0 || *sections > kMaxSections ||
        (*magic != kPe32 && *magic != kPe32Plus))
        return std::nullopt;
    auto headers = w.U32LE(optional + kSizeOfHeadersAt);
    if (!headers)
        return std::nullopt;
    uint64_t end = *headers;
    const uint64_t table = optional + *optionalSize;
    for (uint16_t i = 0; i < *sections; ++i) {
        auto size = w.U32LE(table + i * kSectionBytes + kRawSizeAt);
        auto pointer = w.U32LE(table + i * kSectionBytes + kRawPointerAt);
        if (!size || !pointer)
            return Broke(table, "exe", "ends inside its section table");
        if (*size > 0)
            end = std::max(end, uint64_t{*pointer} + *size);
    }
    // The certificate table's entry holds a file offset, not an address.
    const uint64_t directories = optional + (*magic == kPe32 ? kDirectoriesAt32 : kDirectoriesAt64);
    const uint64_t certificate = directories + kCertificateDirectory * kDirectoryBytes;
    if (certificate + kDirectoryBytes <= table) {
        auto at = w.U32LE(certificate);
        auto size = w.U32LE(certificate + 4);
        if (at && size && *at != 0 && *size != 0)
            end = std::max(end, uint64_t{*at} + *size);
    }
    if (end > w.Limit())
        return Broke(w.Limit(), "exe", "ends before its last section");
    return Carved{end, Certainty::Estimated, "exe", {}};
}

} // namespace content
