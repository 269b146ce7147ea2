#pragma once
// Reading and writing settings and language files; volume::DecodeText
// decodes what is read.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shell {

std::vector<std::string> SplitLines(const std::string& text);

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

} // namespace shell

#include <filesystem>

namespace shell {

// A path from UTF-8 text. (A plain std::string would be read in the ANSI code page on Windows.)
inline std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// UTF-8 text of a path.
inline std::string TextOf(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// UTF-16LE with a byte-order mark, lines ended by CR LF.
std::vector<uint8_t> EncodeUtf16LeWithBom(const std::vector<std::string>& lines);

} // namespace shell
