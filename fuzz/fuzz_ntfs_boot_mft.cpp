// The boot sector and the MFT's own record (record 0), mutated together over
// the first megabyte of a real volume. The values that size the volume, its
// clusters and its MFT meet here: a fault may need two of them changed at
// once (run lengths of record 0 against the volume's sector count), which
// mutations spread over the whole input seldom do.
#include <optional>
#include <random>

#include "fuzz_volume.h"
#include "ntfs/ntfs_disk.h"
#include "volume/byte_reader.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

constexpr size_t kBootSector = 512;

struct RecordZero {
    size_t at;
    size_t size;
};

// Where the boot sector says record 0 lies, when that is inside the input.
std::optional<RecordZero> FindRecordZero(const uint8_t* data, size_t size) {
    const volume::ByteReader boot(data, size);
    const uint64_t sector = boot.u16(11).value_or(0);
    const uint8_t perCluster = boot.u8(13).value_or(0);
    const uint64_t cluster = sector * (perCluster <= 0x80 ? perCluster : 0);
    const int8_t perRecord = boot.i8(64).value_or(0);
    const uint64_t record = perRecord > 0 ? cluster * static_cast<uint64_t>(perRecord)
                                          : (-perRecord < 17 ? uint64_t{1} << -perRecord : 0);
    const int64_t mft = boot.i64(48).value_or(-1);
    if (cluster == 0 || record < 512 || mft < 0 || static_cast<uint64_t>(mft) > size / cluster)
        return std::nullopt;
    const uint64_t at = static_cast<uint64_t>(mft) * cluster;
    if (at < kBootSector || at > size || record > size - at)
        return std::nullopt;
    return RecordZero{static_cast<size_t>(at), static_cast<size_t>(record)};
}

// The update sequence array of a record: where it is and how many strides it covers.
bool Strides(const uint8_t* r, size_t size, size_t& usa, size_t& count) {
    usa = static_cast<size_t>(r[4] | r[5] << 8);
    count = static_cast<size_t>(r[6] | r[7] << 8);
    return count >= 2 && (count - 1) * 512 <= size && usa + 2 * count <= size;
}

// Puts the true stride ends in place, so that mutations reach the values.
bool Unprotect(uint8_t* r, size_t size) {
    size_t usa, count;
    if (!Strides(r, size, usa, count))
        return false;
    for (size_t i = 1; i < count; ++i)
        if (r[i * 512 - 2] != r[usa] || r[i * 512 - 1] != r[usa + 1])
            return false;
    for (size_t i = 1; i < count; ++i) {
        r[i * 512 - 2] = r[usa + 2 * i];
        r[i * 512 - 1] = r[usa + 2 * i + 1];
    }
    return true;
}

void Protect(uint8_t* r, size_t size) {
    size_t usa, count;
    if (!Strides(r, size, usa, count))
        return;
    for (size_t i = 1; i < count; ++i) {
        r[usa + 2 * i] = r[i * 512 - 2];
        r[usa + 2 * i + 1] = r[i * 512 - 1];
        r[i * 512 - 2] = r[usa];
        r[i * 512 - 1] = r[usa + 1];
    }
}

// The run list of record 0's $DATA: a count field there gets large bytes,
// the kind of value a damaged record carries and plain byte flips rarely make.
void WidenARunLength(uint8_t* r, size_t size, std::minstd_rand& random) {
    const volume::ByteReader record(r, size);
    size_t off = record.u16(20).value_or(56);
    while (record.Has(off, 16)) {
        const uint32_t type = *record.u32(off), length = *record.u32(off + 4);
        if (type == 0xFFFFFFFF || length < 16 || length > size - off)
            return;
        if (type == 0x80 && *record.u8(off + 8) && length >= 64) {
            size_t p = off + *record.u16(off + 32);
            const size_t end = off + length;
            const size_t pick = random() % 4;
            for (size_t i = 0; p < end && r[p] != 0; ++i) {
                const size_t countBytes = r[p] & 0x0F, offsetBytes = r[p] >> 4;
                if (p + 1 + countBytes + offsetBytes > end)
                    return;
                if (i == pick) {
                    for (size_t b = 0; b < countBytes; ++b)
                        r[p + 1 + b] = static_cast<uint8_t>(random() % 2 ? 0xFF : random());
                    return;
                }
                p += 1 + countBytes + offsetBytes;
            }
            return;
        }
        off += length;
    }
}

} // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    const auto record = size > kBootSector ? FindRecordZero(data, size) : std::nullopt;
    if (!record)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::minstd_rand random(seed);
    const unsigned what = random() % 4;  // 0 the boot sector, 1 record 0, otherwise both
    if (what != 1)
        LLVMFuzzerMutate(data, kBootSector, kBootSector);
    if (what != 0) {
        uint8_t* r = data + record->at;
        const bool unprotected = Unprotect(r, record->size);
        if (random() % 3 == 0)
            WidenARunLength(r, record->size, random);
        else
            LLVMFuzzerMutate(r, record->size, record->size);
        // Mostly a record that passes its check, now and then one that does not.
        if (unprotected && random() % 8 != 0)
            Protect(r, record->size);
    }
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto drive = MemoryDrive(data, size);
    if (drive->FileSystem != kFileSystemNtfs)
        return 0;
    FuzzScan scan;
    TNTFS_Disk disk(drive.get(), scan.Context());
    FileList files;
    FolderList folders;
    disk.Enumerate(files, folders);
    scan.ListAndRead([&](CategoryList* c, std::vector<TMyFile*>* r) { disk.ListResults(files, folders, c, r); },
                     files.size());
    return 0;
}
