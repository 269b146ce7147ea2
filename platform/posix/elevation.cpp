#include "platform/elevation.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {

bool CanRestartElevated() { return false; }

ElevationOutcome RestartElevated(const std::vector<std::string>&, std::string& error) {
    error = "this system has no restart with administrator rights; start the program as root";
    return ElevationOutcome::Failed;
}

bool WaitForProcessEnd(uint32_t id, uint32_t limitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

} // namespace platform
