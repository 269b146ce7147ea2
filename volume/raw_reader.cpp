#include "volume/raw_reader.h"

#include "platform/clock.h"

namespace volume {

namespace {
std::atomic<uint32_t> gReadPauseMs{0};
constexpr uint32_t kBootReadLimitMs = 10'000;
} // namespace

std::unique_ptr<media::ByteSource> OpenVolume(const std::string& drive) { return media::OpenDevice(drive); }

bool ReadBlock(const media::ByteSource* source, void* buffer, uint32_t& count, bool timeLimit,
               const std::atomic<bool>* cancel, uint64_t offset) {
    if (!source)
        return false;
    const media::ReadResult read = source->Read(buffer, count, offset, cancel, timeLimit ? kBootReadLimitMs : 0);
    count = read.Done;
    platform::SleepMs(gReadPauseMs.load(std::memory_order_relaxed));
    return read.Ok();
}

std::optional<std::vector<uint8_t>> ReadBytes(const media::ByteSource* source, uint64_t offset,
                                              uint32_t count, const std::atomic<bool>* cancel) {
    std::vector<uint8_t> buffer(count);
    uint32_t got = count;
    if (!ReadBlock(source, buffer.data(), got, false, cancel, offset))
        return std::nullopt;
    return buffer;
}

void SetReadPause(uint32_t ms) { gReadPauseMs.store(ms, std::memory_order_relaxed); }

} // namespace volume
