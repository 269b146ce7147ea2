#pragma once
// Memory status of the system and of this process, for the memory guards.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

struct MemoryStatus {
    uint32_t loadPercent = 0;  // physical memory in use
    uint64_t totalPhysical = 0;
    uint64_t availablePhysical = 0;
};

std::optional<MemoryStatus> SystemMemory();
std::optional<uint64_t> ProcessWorkingSet();  // resident bytes of this process

} // namespace platform

namespace platform {

// A scan makes hundreds of thousands of small records on its worker thread:
// one heap grown in large steps serves that far better than per-thread heaps
// grown page by page.
void TuneAllocatorForScans();

} // namespace platform

namespace platform {

// Whole pages straight from the system, zero-filled; null when refused.
void* AllocatePages(size_t size);
void FreePages(void* pages, size_t size);

// A large read buffer taken straight from the system: page-aligned (raw
// devices need that) and not zero-filled by hand before the read fills it;
// on Linux its pages are supplied in one go rather than fault by fault.
// Huge pages are not asked for: on virtual machines their first touch was
// often slower than that of small pages. Empty when the memory could not be had.
class LargeBuffer {
public:
    LargeBuffer() = default;
    explicit LargeBuffer(size_t size);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void Release();
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

} // namespace platform
