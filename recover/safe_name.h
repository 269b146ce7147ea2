#pragma once
// A found file's name made safe to create inside the destination folder.
#include <string>

// Path separators, "." and "..", control characters and (with
// `windowsRules`) the characters and device names Windows refuses are
// replaced, and an overlong name is cut, keeping its extension. The result is
// always one plain name that stays inside the folder it is joined to.
std::string SafeFileName(const std::string& name, bool windowsRules);

#ifdef _WIN32
inline constexpr bool kWindowsNameRules = true;
#else
inline constexpr bool kWindowsNameRules = false;
#endif
