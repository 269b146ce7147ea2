#pragma once
// Finding one entry of a ZIP archive held in memory, by walking its local
// headers from the first byte, and delivering that entry's data.
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum : uint8_t { kZipUnknown = 0, kZipLocalHeader = 1, kZipCentralHeader = 2, kZipEndRecord = 3 };

struct ZipEntry {
    bool found = false;        // a local header of that name
    std::string name;          // as spelled in the archive
    size_t headerPos = 0;      // its local header
    size_t dataPos = 0;        // its data
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
};

class TAnalyZIPStream {
public:
    static uint8_t Classify(std::span<const uint8_t> archive, size_t pos);

    // Walks the local and central headers until the entry called `name`
    // (letter case and "/" against "\" ignored), the end record, or anything
    // it cannot follow. Only a matched local header counts as found.
    static ZipEntry FindEntry(std::span<const uint8_t> archive, const std::string& name,
                              const std::atomic<bool>* cancel);
};

// The uncompressed data of entry `name`, stored or deflated, checked against
// its sizes and CRC-32. False for an archive larger than `maxSize`, an entry
// not found, one written with a data descriptor or ZIP64 sizes, one that
// would inflate past `maxSize`, and damaged data.
bool ExtractEntry(std::span<const uint8_t> archive, std::vector<uint8_t>& out, const std::string& name,
                  const std::atomic<bool>* cancel, size_t maxSize);

inline constexpr size_t kMaxZipBytes = 104'857'600;
