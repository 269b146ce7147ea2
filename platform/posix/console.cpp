#include "platform/console.h"

#include <csignal>
#include <unistd.h>

namespace platform {

namespace {
std::atomic<bool>* gInterruptFlag = nullptr;
extern "C" void OnSignal(int) {
    if (gInterruptFlag)
        gInterruptFlag->store(true);
}
} // namespace

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void CatchInterrupt(std::atomic<bool>* flag) {
    gInterruptFlag = flag;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void SetBinaryStdout() {}

} // namespace platform
