#pragma once
// The folders the program keeps its own files in.
#include <string>

namespace platform {

// The folder that holds the running program, with a trailing delimiter.
std::string ProgramFolder();

// The per-user data folder for settings, with a trailing delimiter: the
// roaming application data folder + "Dunro Data Recovery" on Windows,
// $XDG_CONFIG_HOME (default ~/.config) + "/Dunro Data Recovery/" on POSIX.
std::string DataFolder();

// The user's desktop folder, without a trailing delimiter: the shell's
// desktop directory on Windows; XDG_DESKTOP_DIR of user-dirs.dirs, else
// $HOME/Desktop, on POSIX. It need not exist.
std::string DesktopFolder();

} // namespace platform
