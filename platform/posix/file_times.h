#pragma once
// FILETIME values as the times futimens and utimensat take.
#include <cstdint>
#include <sys/stat.h>

namespace platform {

// POSIX keeps no settable creation time; a time of 0 is left alone.
inline void ToTimespecs(uint64_t accessed, uint64_t modified, timespec (&times)[2]) {
    auto toTimespec = [](uint64_t ft) {
        timespec ts{};
        if (ft == 0) {
            ts.tv_nsec = UTIME_OMIT;
            return ts;
        }
        const int64_t ticks = static_cast<int64_t>(ft) - 116444736000000000ll;
        ts.tv_sec = ticks / 10000000;
        ts.tv_nsec = (ticks % 10000000) * 100;
        if (ts.tv_nsec < 0) {
            ts.tv_nsec += 1000000000;
            ts.tv_sec -= 1;
        }
        return ts;
    };
    times[0] = toTimespec(accessed);
    times[1] = toTimespec(modified);
}

} // namespace platform
