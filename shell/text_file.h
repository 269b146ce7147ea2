#pragma once
// Reading settings and language files whatever their encoding: a UTF-8 or
// UTF-16 byte-order mark decides it; without one the text is UTF-8. Invalid
// bytes become U+FFFD and never stop the reading.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shell {

std::string DecodeText(const std::vector<uint8_t>& bytes);
std::vector<std::string> SplitLines(const std::string& text);

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// UTF-16LE with a byte-order mark, lines ended by CR LF.
std::vector<uint8_t> EncodeUtf16LeWithBom(const std::vector<std::string>& lines);

} // namespace shell
