#pragma once
// Hand-made ZIP archives for the container reader's edge cases.
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

struct ZipBuilder {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> central;
    uint16_t count = 0;

    void Put16(std::vector<uint8_t>& b, uint16_t v) { b.push_back(v & 0xFF), b.push_back(v >> 8); }
    void Put32(std::vector<uint8_t>& b, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }

    static std::vector<uint8_t> Deflate(const std::string& data) {
        std::vector<uint8_t> out(compressBound(static_cast<uLong>(data.size())) + 64);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = static_cast<uInt>(data.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        return out;
    }

    // Adds an entry; `claimedSize` overrides the uncompressed size in the headers.
    ZipBuilder& Add(const std::string& name, const std::string& data, bool deflate = true, uint16_t flags = 0,
                    int64_t claimedSize = -1, bool zeroSizes = false) {
        const std::vector<uint8_t> packed =
            deflate ? Deflate(data) : std::vector<uint8_t>(data.begin(), data.end());
        const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
        const uint32_t size = claimedSize >= 0 ? static_cast<uint32_t>(claimedSize) : static_cast<uint32_t>(data.size());
        const uint32_t offset = static_cast<uint32_t>(bytes.size());
        auto header = [&](std::vector<uint8_t>& b, bool isCentral) {
            Put32(b, isCentral ? 0x02014B50 : 0x04034B50);
            if (isCentral)
                Put16(b, 20);
            Put16(b, 20);
            Put16(b, flags);
            Put16(b, deflate ? 8 : 0);
            Put32(b, 0);
            Put32(b, zeroSizes ? 0 : crc);
            Put32(b, zeroSizes ? 0 : static_cast<uint32_t>(packed.size()));
            Put32(b, zeroSizes ? 0 : size);
            Put16(b, static_cast<uint16_t>(name.size()));
            Put16(b, 0);
            if (isCentral) {
                Put16(b, 0), Put16(b, 0), Put16(b, 0), Put32(b, 0), Put32(b, offset);
            }
            b.insert(b.end(), name.begin(), name.end());
        };
        header(bytes, false);
        bytes.insert(bytes.end(), packed.begin(), packed.end());
        if (zeroSizes) {  // the data descriptor that follows the data
            Put32(bytes, 0x08074B50);
            Put32(bytes, crc);
            Put32(bytes, static_cast<uint32_t>(packed.size()));
            Put32(bytes, size);
        }
        header(central, true);
        ++count;
        return *this;
    }

    std::vector<uint8_t> Build() {
        std::vector<uint8_t> out = bytes;
        const uint32_t centralStart = static_cast<uint32_t>(out.size());
        out.insert(out.end(), central.begin(), central.end());
        Put32(out, 0x06054B50);
        Put16(out, 0), Put16(out, 0), Put16(out, count), Put16(out, count);
        Put32(out, static_cast<uint32_t>(central.size()));
        Put32(out, centralStart);
        Put16(out, 0);
        return out;
    }
};

inline std::string DocumentXml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
           "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>" +
           body + "</w:body></w:document>";
}
