#include "shell/language_root.h"

#include <filesystem>

#include "platform/folders.h"
#include "shell/text_file.h"

namespace fs = std::filesystem;

namespace shell {

namespace {

bool HoldsLanguageFolders(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder / "Language", ec) || fs::is_directory(folder / "Toolbox_Language", ec);
}

std::string WithTrailingDelimiter(const fs::path& folder) {
    std::string text = TextOf(folder);
    if (text.empty() || (text.back() != '/' && text.back() != static_cast<char>(fs::path::preferred_separator)))
        text += static_cast<char>(fs::path::preferred_separator);
    return text;
}

} // namespace

std::string LanguageRoot(const std::string& programFolder) {
    const fs::path beside = PathOf(programFolder);
    if (HoldsLanguageFolders(beside))
        return programFolder;
    const fs::path shared = beside / ".." / "share" / "dunro";
    if (HoldsLanguageFolders(shared)) {
        // Resolved by the file system, not by text: "bin" may be a link.
        std::error_code ec;
        const fs::path resolved = fs::weakly_canonical(shared, ec);
        return WithTrailingDelimiter(ec ? shared : resolved);
    }
    return programFolder;
}

std::string ProgramLanguageRoot() { return LanguageRoot(platform::ProgramFolder()); }

} // namespace shell
