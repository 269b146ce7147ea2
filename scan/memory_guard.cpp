#include "scan/memory_guard.h"

#include "platform/memory.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"

bool MemoryLow(uint32_t loadLimit, uint32_t headroom, uint64_t ceiling) {
    if (loadLimit > 100 || headroom > 100)
        return false;
    auto system = platform::SystemMemory();
    if (!system)
        return false;
    if (system->loadPercent >= loadLimit)
        return true;
    if (headroom == 0)
        return false;
    auto workingSet = platform::ProcessWorkingSet();
    if (!workingSet)
        return false;
    const uint64_t reserve = system->totalPhysical / 100 * (100 - loadLimit);
    int64_t room = static_cast<int64_t>(system->availablePhysical) - static_cast<int64_t>(reserve);
    const int64_t underCeiling = static_cast<int64_t>(ceiling) - static_cast<int64_t>(*workingSet);
    if (underCeiling < room)
        room = underCeiling;
    return room <= static_cast<int64_t>(*workingSet / 100 * headroom);
}

void GuardScanMemory(TUnDeleteProgress& progress, TThreadScan& worker) {
    const double percent = progress.ScanPercent();
    if (percent < progress.FReadWeight) {
        if (MemoryLow(80, 10, 1ull << 30))
            progress.FLowMemory = true;
    } else if (MemoryLow(80, 40, 1'610'612'736ull)) {
        worker.StopCurrentDisk();
        worker.PassIdle = true;
        progress.FScanCancelled = true;
    }
}
