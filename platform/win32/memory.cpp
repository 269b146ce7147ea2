#include "platform/memory.h"

#include <windows.h>
#include <psapi.h>

namespace platform {

std::optional<MemoryStatus> SystemMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return std::nullopt;
    return MemoryStatus{status.dwMemoryLoad, status.ullTotalPhys, status.ullAvailPhys};
}

std::optional<uint64_t> ProcessWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return std::nullopt;
    return counters.WorkingSetSize;
}

} // namespace platform

namespace platform {

void TuneAllocatorForScans() {}

} // namespace platform

namespace platform {

void* AllocatePages(size_t size) { return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void FreePages(void* pages, size_t) { VirtualFree(pages, 0, MEM_RELEASE); }

} // namespace platform
