#include "platform/folders.h"

#include "platform/win32/wide.h"

#include <shlobj.h>

#include <cstdlib>

namespace platform {

std::string ProgramFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::string exe = Narrow(std::wstring(path, n));
    return exe.substr(0, exe.find_last_of("\\/") + 1);
}

std::string DataFolder() {
    // The folder the user's environment names first, as on other systems
    // (XDG_CONFIG_HOME): tests and portable setups point it elsewhere.
    if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData && *appData)
        return Narrow(appData) + "\\Dunro Data Recovery\\";
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return ".\\Dunro Data Recovery\\";
    return Narrow(path) + "\\Dunro Data Recovery\\";
}

std::string DesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return Narrow(path);
}

} // namespace platform
