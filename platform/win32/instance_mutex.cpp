#include "platform/instance_mutex.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform {

bool ClaimInstanceMutex(const std::string& name) {
    // Never released or closed: the system drops it when the process ends.
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, Widen(name).c_str());
    return !(mutex && ::GetLastError() == ERROR_ALREADY_EXISTS);
}

} // namespace platform
