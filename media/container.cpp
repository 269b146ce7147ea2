#include "media/container.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "media/split_image.h"
#include "platform/device.h"

#ifdef DUNRO_HAVE_LIBEWF
#include <libewf.h>
#endif
#ifdef DUNRO_HAVE_LIBVHDI
#include <libvhdi.h>
#endif
#ifdef DUNRO_HAVE_LIBVMDK
#include <libvmdk.h>
#endif

namespace media {

namespace {

constexpr size_t kSector = 512;
// Signatures, at the first byte unless said otherwise.
constexpr char kEwfSignature[] = "EVF\x09\x0D\x0A\xFF\x00";       // EnCase 1–6 (E01) and the open EWF family
constexpr char kEwf2Signature[] = "EVF2\x0D\x0A\x81\x00";         // EnCase 7 (Ex01)
constexpr size_t kEwfSignatureLength = 8;
constexpr char kVhdxSignature[] = "vhdxfile";
constexpr char kVhdFooterCookie[] = "conectix";  // the footer: the last sector, and a copy first in a dynamic disk
constexpr char kVmdkSparseMagic[] = "KDMV";
constexpr char kVmdkDescriptor[] = "# Disk DescriptorFile";

bool Starts(const std::vector<uint8_t>& bytes, const char* text, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), text, length) == 0;
}

std::vector<uint8_t> SectorAt(const platform::VolumeDevice& device, uint64_t offset) {
    std::vector<uint8_t> bytes(kSector);
    uint32_t done = 0;
    device.Read(bytes.data(), kSector, offset, nullptr, 0, done);
    bytes.resize(done);
    return bytes;
}

// A library handle read from any thread: one read at a time.
template <typename Handle>
class LibrarySource final : public ByteSource {
public:
    using ReadAt = ssize_t (*)(Handle*, void*, uint32_t, uint64_t);
    using Close = void (*)(Handle*);
    LibrarySource(Handle* handle, uint64_t size, ReadAt read, Close close, SourceOrigin origin)
        : handle_(handle), size_(size), read_(read), close_(close), origin_(std::move(origin)) {}
    ~LibrarySource() override { close_(handle_); }
    uint64_t Size() const override { return size_; }
    // Offsets are the disk's, as the library gives it back (what DFXML calls
    // the image's bytes), never the container file's.
    SourceOrigin Origin() const override { return origin_; }
    ReadResult Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                    uint32_t) const override {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return {0, ReadError::Cancelled};
        if (offset >= size_)
            return {0, count ? ReadError::PastEnd : ReadError::None};
        const bool cut = count > size_ - offset;
        const uint32_t inside = cut ? static_cast<uint32_t>(size_ - offset) : count;
        std::lock_guard lock(mutex_);
        const ssize_t read = read_(handle_, buffer, inside, offset);
        // The container's own read error (a damaged chunk, a missing segment)
        // is an unreadable range of the disk inside.
        if (read < 0 || static_cast<uint64_t>(read) < inside)
            return {read > 0 ? static_cast<uint32_t>(read) : 0u, ReadError::Unreadable};
        return {inside, cut ? ReadError::PastEnd : ReadError::None};
    }

private:
    Handle* handle_;
    uint64_t size_;
    ReadAt read_;
    Close close_;
    SourceOrigin origin_;
    mutable std::mutex mutex_;
};

#ifdef DUNRO_HAVE_LIBEWF
// A chunk whose checksum fails is still given by libewf, as zeros or as the
// damaged bytes, and only listed among the handle's checksum errors: bytes
// that would pass for the disk's own. Returns how many of the `count` bytes
// read at `offset` come before the first listed damage.
uint64_t EwfBytesBeforeDamage(libewf_handle_t* handle, uint64_t offset, uint64_t count) {
    uint32_t errors = 0, sectorBytes = 0;
    if (libewf_handle_get_number_of_checksum_errors(handle, &errors, nullptr) != 1 || errors == 0)
        return count;
    if (libewf_handle_get_bytes_per_sector(handle, &sectorBytes, nullptr) != 1 || sectorBytes == 0)
        return 0;  // damage is known but cannot be placed: none of the bytes is trusted
    uint64_t good = count;
    for (uint32_t i = 0; i < errors; ++i) {
        uint64_t firstSector = 0, sectors = 0;
        if (libewf_handle_get_checksum_error(handle, i, &firstSector, &sectors, nullptr) != 1)
            return 0;
        uint64_t start = 0, length = 0, end = 0;
        if (__builtin_mul_overflow(firstSector, uint64_t{sectorBytes}, &start))
            continue;  // past any disk
        if (__builtin_mul_overflow(sectors, uint64_t{sectorBytes}, &length) ||
            __builtin_add_overflow(start, length, &end))
            end = UINT64_MAX;
        if (start < offset + good && end > offset)
            good = start > offset ? start - offset : 0;
    }
    return good;
}

std::unique_ptr<ByteSource> OpenEwf(const std::string& path) {
    char** names = nullptr;
    int count = 0;
    // The segment files (.E01, .E02, …) are found from the first.
    if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, nullptr) != 1)
        return nullptr;
    libewf_handle_t* handle = nullptr;
    size64_t size = 0;
    const bool opened = libewf_handle_initialize(&handle, nullptr) == 1 &&
                        libewf_handle_open(handle, names, count, LIBEWF_OPEN_READ, nullptr) == 1 &&
                        libewf_handle_get_media_size(handle, &size, nullptr) == 1;
    libewf_glob_free(names, count, nullptr);
    auto close = [](libewf_handle_t* h) {
        libewf_handle_close(h, nullptr);
        libewf_handle_free(&h, nullptr);
    };
    if (!opened) {
        if (handle)
            close(handle);
        return nullptr;
    }
    return std::make_unique<LibrarySource<libewf_handle_t>>(
        handle, size,
        [](libewf_handle_t* h, void* b, uint32_t n, uint64_t at) -> ssize_t {
            const ssize_t read = libewf_handle_read_random(h, b, n, static_cast<off64_t>(at), nullptr);
            if (read <= 0)
                return read;
            // Short of the first damaged byte: the rest is read again in
            // pieces, and the damaged sectors are lost, not passed on.
            return static_cast<ssize_t>(EwfBytesBeforeDamage(h, at, static_cast<uint64_t>(read)));
        },
        close, SourceOrigin{path, ContainerFormat::Ewf, 0});
}
#endif

#ifdef DUNRO_HAVE_LIBVHDI
std::unique_ptr<ByteSource> OpenVhdi(const std::string& path, ContainerFormat format) {
    libvhdi_file_t* file = nullptr;
    size64_t size = 0;
    uint32_t type = 0;
    auto close = [](libvhdi_file_t* f) {
        libvhdi_file_close(f, nullptr);
        libvhdi_file_free(&f, nullptr);
    };
    const bool opened = libvhdi_file_initialize(&file, nullptr) == 1 &&
                        libvhdi_file_open(file, path.c_str(), LIBVHDI_OPEN_READ, nullptr) == 1 &&
                        libvhdi_file_get_disk_type(file, &type, nullptr) == 1 &&
                        type != LIBVHDI_DISK_TYPE_DIFFERENTIAL &&
                        libvhdi_file_get_media_size(file, &size, nullptr) == 1;
    if (!opened) {
        if (file)
            close(file);
        return nullptr;
    }
    return std::make_unique<LibrarySource<libvhdi_file_t>>(
        file, size,
        [](libvhdi_file_t* f, void* b, uint32_t n, uint64_t at) {
            return libvhdi_file_read_buffer_at_offset(f, b, n, static_cast<off64_t>(at), nullptr);
        },
        close, SourceOrigin{path, format, 0});
}
#endif

#ifdef DUNRO_HAVE_LIBVMDK
std::unique_ptr<ByteSource> OpenVmdk(const std::string& path) {
    libvmdk_handle_t* handle = nullptr;
    size64_t size = 0;
    auto close = [](libvmdk_handle_t* h) {
        libvmdk_handle_close(h, nullptr);
        libvmdk_handle_free(&h, nullptr);
    };
    const bool opened = libvmdk_handle_initialize(&handle, nullptr) == 1 &&
                        libvmdk_handle_open(handle, path.c_str(), LIBVMDK_OPEN_READ, nullptr) == 1 &&
                        libvmdk_handle_open_extent_data_files(handle, nullptr) == 1 &&
                        libvmdk_handle_get_media_size(handle, &size, nullptr) == 1;
    if (!opened) {
        if (handle)
            close(handle);
        return nullptr;
    }
    return std::make_unique<LibrarySource<libvmdk_handle_t>>(
        handle, size,
        [](libvmdk_handle_t* h, void* b, uint32_t n, uint64_t at) {
            return libvmdk_handle_read_buffer_at_offset(h, b, n, static_cast<off64_t>(at), nullptr);
        },
        close, SourceOrigin{path, ContainerFormat::Vmdk, 0});
}
#endif

const char* LibraryOf(ContainerFormat format) {
    switch (format) {
    case ContainerFormat::Ewf: return "libewf";
    case ContainerFormat::Vhd:
    case ContainerFormat::Vhdx: return "libvhdi";
    case ContainerFormat::Vmdk: return "libvmdk";
    default: return "";
    }
}

} // namespace

const char* ContainerName(ContainerFormat format) {
    switch (format) {
    case ContainerFormat::Raw: return "raw";
    case ContainerFormat::Split: return "split";
    case ContainerFormat::Ewf: return "E01";
    case ContainerFormat::Vhd: return "VHD";
    case ContainerFormat::Vhdx: return "VHDX";
    case ContainerFormat::Vmdk: return "VMDK";
    }
    return "";
}

ContainerFormat DetectContainer(const std::string& path) {
    if (!SplitImagePieces(path).empty())
        return ContainerFormat::Split;
    auto device = platform::VolumeDevice::Open(path);
    if (!device)
        return ContainerFormat::Raw;
    const std::vector<uint8_t> first = SectorAt(*device, 0);
    if (Starts(first, kEwfSignature, kEwfSignatureLength) || Starts(first, kEwf2Signature, kEwfSignatureLength))
        return ContainerFormat::Ewf;
    if (Starts(first, kVhdxSignature, std::strlen(kVhdxSignature)))
        return ContainerFormat::Vhdx;
    if (Starts(first, kVmdkSparseMagic, std::strlen(kVmdkSparseMagic)) ||
        Starts(first, kVmdkDescriptor, std::strlen(kVmdkDescriptor)))
        return ContainerFormat::Vmdk;
    if (Starts(first, kVhdFooterCookie, std::strlen(kVhdFooterCookie)))
        return ContainerFormat::Vhd;
    // A fixed VHD is the disk's bytes with the footer after them.
    const uint64_t size = device->Size();
    if (size > kSector && Starts(SectorAt(*device, size - kSector), kVhdFooterCookie, std::strlen(kVhdFooterCookie)))
        return ContainerFormat::Vhd;
    return ContainerFormat::Raw;
}

bool ContainerReadable(ContainerFormat format) {
    switch (format) {
    case ContainerFormat::Raw:
    case ContainerFormat::Split: return true;
#ifdef DUNRO_HAVE_LIBEWF
    case ContainerFormat::Ewf: return true;
#endif
#ifdef DUNRO_HAVE_LIBVHDI
    case ContainerFormat::Vhd:
    case ContainerFormat::Vhdx: return true;
#endif
#ifdef DUNRO_HAVE_LIBVMDK
    case ContainerFormat::Vmdk: return true;
#endif
    default: return false;
    }
}

std::string ContainerRefusal(const std::string& path) {
    const ContainerFormat format = DetectContainer(path);
    if (ContainerReadable(format))
        return {};
    const char* name = ContainerName(format);
    return std::string(name[0] == 'E' ? "an " : "a ") + name + " image: this build reads none (it was built without " +
           LibraryOf(format) + ")";
}

std::unique_ptr<ByteSource> OpenContainer(const std::string& path, ContainerFormat format) {
    switch (format) {
#ifdef DUNRO_HAVE_LIBEWF
    case ContainerFormat::Ewf: return OpenEwf(path);
#endif
#ifdef DUNRO_HAVE_LIBVHDI
    case ContainerFormat::Vhd:
    case ContainerFormat::Vhdx: return OpenVhdi(path, format);
#endif
#ifdef DUNRO_HAVE_LIBVMDK
    case ContainerFormat::Vmdk: return OpenVmdk(path);
#endif
    default: return nullptr;
    }
}

} // namespace media
