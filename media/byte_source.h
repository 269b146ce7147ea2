#pragma once
// Where a volume's bytes come from: a device, an image file, or a stretch of
// another source (a partition of a disk, a volume inside an image). Readers
// address a volume from its own first byte and never learn which it is.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/device.h"

namespace media {

// How an image file holds a disk's bytes: laid out in order (raw), cut into
// pieces, or inside a container whose library gives the disk back.
enum class ContainerFormat : uint8_t { Raw, Split, Ewf, Vhd, Vhdx, Vmdk };

// Where a source's bytes lie in what the user named, for a report that lets
// them be read again there: the image or device, how it holds the bytes,
// and where the source's first byte lies among the bytes it presents (a
// container's: the disk inside it, not the container file's own bytes).
struct SourceOrigin {
    std::string Path;  // empty: not known (a source made in memory)
    ContainerFormat Container = ContainerFormat::Raw;
    uint64_t Offset = 0;
};

enum class ReadError : uint8_t {
    None,
    Unreadable,  // the source would not give the bytes
    Cancelled,   // the cancel flag was set before the read ended
    PastEnd,     // the read reaches beyond the source's last byte: only `Done` bytes were read
};

struct ReadResult {
    uint32_t Done = 0;  // bytes read from the start of the request
    ReadError Error = ReadError::None;
    bool Ok() const { return Error == ReadError::None; }
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Bytes the source holds; 0 when unknown.
    virtual uint64_t Size() const = 0;
    // Reads `count` bytes at `offset` (from the source's own first byte).
    // `cancel` ends it early when set; `limitMs` (0: none) gives up after that long.
    virtual ReadResult Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                            uint32_t limitMs) const = 0;
    virtual SourceOrigin Origin() const { return {}; }
};

// A whole device or image file.
class DeviceSource final : public ByteSource {
public:
    explicit DeviceSource(std::unique_ptr<platform::VolumeDevice> device, std::string path = {})
        : device_(std::move(device)), path_(std::move(path)) {}
    uint64_t Size() const override { return device_->Size(); }
    ReadResult Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                    uint32_t limitMs) const override;
    SourceOrigin Origin() const override { return {path_, ContainerFormat::Raw, 0}; }

private:
    std::unique_ptr<platform::VolumeDevice> device_;
    std::string path_;
};

// `length` bytes of another source from `start` on: what lies outside them
// cannot be read through it.
class SliceSource final : public ByteSource {
public:
    SliceSource(std::shared_ptr<const ByteSource> base, uint64_t start, uint64_t length)
        : base_(std::move(base)), start_(start), length_(length) {}
    uint64_t Size() const override { return length_; }
    ReadResult Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                    uint32_t limitMs) const override;
    // The base's origin, moved on by where the slice starts in it.
    SourceOrigin Origin() const override;

private:
    std::shared_ptr<const ByteSource> base_;
    uint64_t start_;
    uint64_t length_;
};

// A device or image file opened for reading only (the first piece of a split
// image opens all its pieces); null when it cannot be opened.
std::unique_ptr<ByteSource> OpenDevice(const std::string& path);

} // namespace media
