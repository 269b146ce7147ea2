#include "platform/console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {

namespace {
std::atomic<bool>* gInterruptFlag = nullptr;
BOOL WINAPI OnControl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        if (gInterruptFlag)
            gInterruptFlag->store(true);
        return TRUE;
    }
    return FALSE;
}
} // namespace

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void CatchInterrupt(std::atomic<bool>* flag) {
    gInterruptFlag = flag;
    SetConsoleCtrlHandler(OnControl, TRUE);
}

void SetBinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }

} // namespace platform
