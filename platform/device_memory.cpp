#include "platform/device.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::unique_ptr<VolumeDevice> VolumeDevice::FromMemory(const uint8_t* data, size_t size) {
    std::unique_ptr<VolumeDevice> device(new VolumeDevice());
    device->memory_ = data;
    device->size_ = size;
    return device;
}

bool VolumeDevice::ReadMemory(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                              uint32_t& done) const {
    done = 0;
    if (offset >= size_ || (cancel && cancel->load(std::memory_order_relaxed)))
        return false;
    done = static_cast<uint32_t>(std::min<uint64_t>(count, size_ - offset));
    std::memcpy(buffer, memory_ + offset, done);
    return done == count;
}

} // namespace platform
