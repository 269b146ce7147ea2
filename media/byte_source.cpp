#include "media/byte_source.h"

#include "media/container.h"
#include "media/split_image.h"

namespace media {

ReadResult DeviceSource::Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                              uint32_t limitMs) const {
    ReadResult result;
    if (device_->Read(buffer, count, offset, cancel, limitMs, result.Done))
        return result;
    const uint64_t size = device_->Size();
    if (cancel && cancel->load(std::memory_order_relaxed))
        result.Error = ReadError::Cancelled;
    else if (size && offset + count > size)
        result.Error = ReadError::PastEnd;
    else
        result.Error = ReadError::Unreadable;
    return result;
}

ReadResult SliceSource::Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                             uint32_t limitMs) const {
    if (offset >= length_)
        return {0, count ? ReadError::PastEnd : ReadError::None};
    const bool cut = count > length_ - offset;
    const uint32_t inside = cut ? static_cast<uint32_t>(length_ - offset) : count;
    ReadResult result = base_->Read(buffer, inside, start_ + offset, cancel, limitMs);
    if (result.Ok() && cut)
        result.Error = ReadError::PastEnd;
    return result;
}

SourceOrigin SliceSource::Origin() const {
    SourceOrigin origin = base_->Origin();
    origin.Offset += start_;
    return origin;
}

std::unique_ptr<ByteSource> OpenDevice(const std::string& path) {
    if (path.empty())
        return nullptr;
    const ContainerFormat format = DetectContainer(path);
    if (format != ContainerFormat::Raw && format != ContainerFormat::Split)
        return ContainerReadable(format) ? OpenContainer(path, format) : nullptr;
    // The first piece of a split image opens the whole image.
    if (const std::vector<std::string> names = SplitImagePieces(path); !names.empty()) {
        std::vector<SplitImageSource::Piece> pieces;
        for (const std::string& name : names) {
            auto device = platform::VolumeDevice::Open(name);
            if (!device)
                return nullptr;
            pieces.push_back({std::make_unique<DeviceSource>(std::move(device)), 0});
        }
        return std::make_unique<SplitImageSource>(std::move(pieces), path);
    }
    auto device = platform::VolumeDevice::Open(path);
    if (!device)
        return nullptr;
    return std::make_unique<DeviceSource>(std::move(device), path);
}

} // namespace media
