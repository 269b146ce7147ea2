#pragma once
// Where the shipped language folders ("Language", "Toolbox_Language") lie.
#include <string>

namespace shell {

// The folder that holds the language folders, with a trailing delimiter.
// Beside the program comes first: Windows installs them there, and the build
// tree keeps them there. Then "../share/dunro/" from the program's folder,
// where a Unix installation puts what is not a program. When neither holds
// them, the program's folder itself, so every text keeps its English default.
std::string LanguageRoot(const std::string& programFolder);

// The language root of the running program.
std::string ProgramLanguageRoot();

} // namespace shell
