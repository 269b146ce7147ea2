#pragma once
// A test seam in the device: reads touching chosen byte ranges of a source
// fail, as a drive answers for bad sectors (EIO), or are held up, as a drive
// retrying a sector is. Tests use it to play a failing drive on a real image.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct ByteRange {
    uint64_t Offset = 0;
    uint64_t Length = 0;
};

struct SlowRange {
    uint64_t Offset = 0;
    uint64_t Length = 0;
    uint32_t DelayMs = 0;  // every read touching the range waits this long first
};

struct ReadFaultPlan {
    std::vector<ByteRange> Failing;
    std::vector<SlowRange> Slow;
};

// Devices opened from `path` after this call read through `plan`. The
// environment variable DUNRO_TEST_READ_FAULTS does the same for every path
// a program opens, so that a test can play a failing drive to the command
// line: a comma list of "fail:OFFSET:LENGTH" and "slow:OFFSET:LENGTH:MS".
void SetReadFaults(const std::string& path, ReadFaultPlan plan);
void ClearReadFaults();
std::shared_ptr<const ReadFaultPlan> ReadFaultsFor(const std::string& path);

// How one read of `count` bytes at `offset` meets a plan.
struct FaultVerdict {
    bool Fails = false;
    uint32_t ReadableBefore = 0;  // bytes before the first failing byte, when it fails
    uint32_t DelayMs = 0;
};
FaultVerdict CheckReadFaults(const ReadFaultPlan& plan, uint64_t offset, uint32_t count);

} // namespace platform
