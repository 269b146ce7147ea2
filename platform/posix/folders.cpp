#include "platform/folders.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace platform {

std::string ProgramFolder() {
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "./";
    std::string exe(path, static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : "/tmp";
    }
    return home;
}

std::string ConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return xdg;
    return HomeFolder() + "/.config";
}

} // namespace

std::string DataFolder() { return ConfigFolder() + "/Dunro Data Recovery/"; }

std::string DesktopFolder() {
    // user-dirs.dirs holds lines such as XDG_DESKTOP_DIR="$HOME/Schreibtisch".
    std::ifstream in(ConfigFolder() + "/user-dirs.dirs");
    const std::string key = "XDG_DESKTOP_DIR=\"";
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (const size_t quote = value.rfind('"'); quote != std::string::npos)
            value.resize(quote);
        if (value.compare(0, 5, "$HOME") == 0)
            value = HomeFolder() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
    }
    return HomeFolder() + "/Desktop";
}

} // namespace platform
