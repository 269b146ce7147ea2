#pragma once
// The memory guard of a running scan: while reading, memory pressure stops
// the reading and what was read is listed; while listing, it stops the scan.
#include <cstdint>

class TUnDeleteProgress;
class TThreadScan;

// True when the system's memory load reaches `loadLimit` percent, or the
// process comes within `headroom` percent of the room it has left (the
// smaller of the system's spare memory and `ceiling` bytes).
bool MemoryLow(uint32_t loadLimit, uint32_t headroom, uint64_t ceiling);

// Run by whoever polls a scan (the window's timer, the command line's wait).
void GuardScanMemory(TUnDeleteProgress& progress, TThreadScan& worker);
