#include "platform/memory.h"

#include <fstream>
#include <sstream>
#include <string>

namespace platform {

namespace {
// A "Name:   1234 kB" field of a /proc status file, in bytes.
std::optional<uint64_t> KilobyteField(const char* file, const std::string& name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) != 0)
            continue;
        std::istringstream fields(line.substr(name.size() + 1));
        uint64_t kb = 0;
        if (fields >> kb)
            return kb * 1024;
    }
    return std::nullopt;
}
} // namespace

std::optional<MemoryStatus> SystemMemory() {
    auto total = KilobyteField("/proc/meminfo", "MemTotal");
    auto available = KilobyteField("/proc/meminfo", "MemAvailable");
    if (!total || !available || *total == 0)
        return std::nullopt;
    MemoryStatus s;
    s.totalPhysical = *total;
    s.availablePhysical = *available;
    s.loadPercent = static_cast<uint32_t>((*total - std::min(*available, *total)) * 100 / *total);
    return s;
}

std::optional<uint64_t> ProcessWorkingSet() { return KilobyteField("/proc/self/status", "VmRSS"); }

} // namespace platform

#include <malloc.h>
#include <sys/mman.h>

namespace platform {

void TuneAllocatorForScans() {
#ifdef M_ARENA_MAX
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TOP_PAD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

} // namespace platform

namespace platform {

void* AllocatePages(size_t size) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void FreePages(void* pages, size_t size) { munmap(pages, size); }

} // namespace platform
