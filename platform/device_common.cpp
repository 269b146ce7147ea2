#include "platform/device.h"

#include "platform/clock.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::unique_ptr<VolumeDevice> VolumeDevice::FromMemory(const uint8_t* data, size_t size,
                                                       std::shared_ptr<const ReadFaultPlan> faults) {
    std::unique_ptr<VolumeDevice> device(new VolumeDevice());
    device->memory_ = data;
    device->size_ = size;
    device->faults_ = std::move(faults);
    return device;
}

bool VolumeDevice::Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                        uint32_t limitMs, uint32_t& done) const {
    done = 0;
    if (!faults_)
        return ReadUnfaulted(buffer, count, offset, cancel, limitMs, done);
    const FaultVerdict verdict = CheckReadFaults(*faults_, offset, count);
    // A drive retrying a sector does not listen to anyone: neither may this
    // wait, and a read it has begun ends with its data, whatever was
    // cancelled meanwhile. Only a read not yet begun sees a cancel.
    if (verdict.DelayMs) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        SleepMs(verdict.DelayMs);
        cancel = nullptr;
    }
    if (!verdict.Fails)
        return ReadUnfaulted(buffer, count, offset, cancel, limitMs, done);
    if (verdict.ReadableBefore)
        ReadUnfaulted(buffer, verdict.ReadableBefore, offset, cancel, limitMs, done);
    return false;
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
