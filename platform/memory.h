#pragma once
// Memory status of the system and of this process, for the memory guards.
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
