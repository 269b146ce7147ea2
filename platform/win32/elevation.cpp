#include "platform/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/device.h"
#include "platform/win32/error_text.h"
#include "platform/win32/wide.h"

namespace platform {

bool CanRestartElevated() { return !HasAdministratorRights(); }

ElevationOutcome RestartElevated(const std::vector<std::string>& arguments, std::string& error) {
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
        if (length == 0) {
            error = ErrorText(::GetLastError());
            return ElevationOutcome::Failed;
        }
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    const std::wstring parameters = Widen(WindowsCommandLine(arguments));
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info))
        return ElevationOutcome::Started;
    const DWORD code = ::GetLastError();
    if (code == ERROR_CANCELLED)
        return ElevationOutcome::Declined;
    error = ErrorText(code);
    return ElevationOutcome::Failed;
}

bool WaitForProcessEnd(uint32_t id, uint32_t limitMs) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return true;
    const bool ended = ::WaitForSingleObject(process, limitMs) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

} // namespace platform
