#include "volume/raw_reader.h"

#include "platform/clock.h"

namespace volume {

namespace {
std::atomic<uint32_t> gReadPauseMs{0};
constexpr uint32_t kBootReadLimitMs = 10'000;
} // namespace

std::unique_ptr<platform::VolumeDevice> OpenVolume(const std::string& drive) {
    if (drive.empty())
        return nullptr;
    return platform::VolumeDevice::Open(drive);
}

bool ReadBlock(const platform::VolumeDevice* device, void* buffer, uint32_t& count, bool timeLimit,
               const std::atomic<bool>* cancel, uint64_t offset) {
    if (!device)
        return false;
    uint32_t done = 0;
    bool ok = device->Read(buffer, count, offset, cancel, timeLimit ? kBootReadLimitMs : 0, done);
    count = done;
    platform::SleepMs(gReadPauseMs.load(std::memory_order_relaxed));
    return ok;
}

std::optional<std::vector<uint8_t>> ReadBytes(const platform::VolumeDevice* device, uint64_t offset,
                                              uint32_t count, const std::atomic<bool>* cancel) {
    std::vector<uint8_t> buffer(count);
    uint32_t got = count;
    if (!ReadBlock(device, buffer.data(), got, false, cancel, offset))
        return std::nullopt;
    return buffer;
}

void SetReadPause(uint32_t ms) { gReadPauseMs.store(ms, std::memory_order_relaxed); }

} // namespace volume
