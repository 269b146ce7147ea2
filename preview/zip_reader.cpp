#include "preview/zip_reader.h"

#include <zlib.h>

#include "volume/byte_reader.h"
#include "volume/text.h"

using volume::ByteReader;

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;

// Names compare ignoring letter case, and "/" equals "\".
std::string NameKey(const std::string& name) {
    std::string key = volume::AsciiLower(name);
    for (char& c : key)
        if (c == '\\')
            c = '/';
    return key;
}

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

} // namespace

uint8_t TAnalyZIPStream::Classify(std::span<const uint8_t> archive, size_t pos) {
    auto signature = ByteReader(archive).u32(pos);
    if (!signature)
        return kZipUnknown;
    switch (*signature) {
    case kLocalSignature: return kZipLocalHeader;
    case kCentralSignature: return kZipCentralHeader;
    case kEndSignature: return kZipEndRecord;
    default: return kZipUnknown;
    }
}

ZipEntry TAnalyZIPStream::FindEntry(std::span<const uint8_t> archive, const std::string& name,
                                    const std::atomic<bool>* cancel) {
    ZipEntry entry;
    const ByteReader r(archive);
    const std::string wanted = NameKey(name);
    size_t pos = 0;
    while (!archive.empty() && pos < archive.size() && !Cancelled(cancel)) {
        const uint8_t kind = Classify(archive, pos);
        if (kind == kZipLocalHeader) {
            if (!r.Has(pos, 30))
                break;
            const uint16_t nameLength = *r.u16(pos + 26), extraLength = *r.u16(pos + 28);
            const uint32_t compressed = *r.u32(pos + 18);
            auto nameBytes = r.Bytes(pos + 30, nameLength);
            if (!nameBytes)
                break;  // a name longer than what is left of the archive
            const std::string stored(reinterpret_cast<const char*>(nameBytes->data()), nameBytes->size());
            if (NameKey(stored) == wanted) {
                entry.found = true;
                entry.name = stored.substr(0, stored.find('\0'));
                entry.headerPos = pos;
                entry.dataPos = pos + 30 + nameLength + extraLength;
                entry.flags = *r.u16(pos + 6);
                entry.method = *r.u16(pos + 8);
                entry.crc = *r.u32(pos + 14);
                entry.compressedSize = compressed;
                entry.uncompressedSize = *r.u32(pos + 22);
                return entry;
            }
            pos += size_t{30} + nameLength + extraLength + compressed;
        } else if (kind == kZipCentralHeader) {
            if (!r.Has(pos, 46))
                break;
            pos += size_t{46} + *r.u16(pos + 28) + *r.u16(pos + 30) + *r.u16(pos + 32);
        } else {
            break;  // the end record, or a record the walk cannot follow
        }
    }
    return entry;
}

bool ExtractEntry(std::span<const uint8_t> archive, std::vector<uint8_t>& out, const std::string& name,
                  const std::atomic<bool>* cancel, size_t maxSize) {
    out.clear();
    if (archive.empty() || maxSize == 0 || archive.size() > maxSize || name.empty())
        return false;
    const ZipEntry e = TAnalyZIPStream::FindEntry(archive, name, cancel);
    if (!e.found || Cancelled(cancel))
        return false;
    // Sizes that live elsewhere (a data descriptor, ZIP64 records) cannot be trusted here.
    if ((e.flags & 0x0008) || (e.flags & 0x0001) || e.compressedSize == 0xFFFFFFFF || e.uncompressedSize == 0xFFFFFFFF)
        return false;
    if (e.uncompressedSize > maxSize)
        return false;
    auto packed = ByteReader(archive).Bytes(e.dataPos, e.compressedSize);
    if (!packed)
        return false;  // a truncated archive
    if (e.method == 0) {
        if (e.compressedSize != e.uncompressedSize)
            return false;
        out.assign(packed->begin(), packed->end());
    } else if (e.method == 8) {
        out.resize(e.uncompressedSize);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return false;
        z.next_in = const_cast<Bytef*>(packed->data());
        z.avail_in = static_cast<uInt>(packed->size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        int status = Z_OK;
        while (status == Z_OK && !Cancelled(cancel))
            status = inflate(&z, Z_NO_FLUSH);
        const size_t produced = z.total_out;
        inflateEnd(&z);
        // Never more than the header promised: a bomb ends here, with the buffer it was given.
        if (status != Z_STREAM_END || produced != e.uncompressedSize)
            return false;
    } else {
        return false;
    }
    if (crc32(0, out.data(), static_cast<uInt>(out.size())) != e.crc)
        return false;
    return !Cancelled(cancel);
}
