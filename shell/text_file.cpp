#include "shell/text_file.h"

#include <fstream>

#include "volume/text.h"

namespace shell {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> EncodeUtf16LeWithBom(const std::vector<std::string>& lines) {
    std::vector<uint8_t> out = {0xFF, 0xFE};
    auto unit = [&out](char32_t u) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (const std::string& line : lines) {
        const std::vector<uint8_t> raw(line.begin(), line.end());
        const std::string clean = volume::DecodeUtf8Lossy(raw.data(), raw.size());
        for (size_t i = 0; i < clean.size();) {
            const uint8_t b = static_cast<uint8_t>(clean[i]);
            const size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
            for (size_t k = 1; k < len; ++k)
                c = (c << 6) | (static_cast<uint8_t>(clean[i + k]) & 0x3F);
            if (c >= 0x10000) {
                c -= 0x10000;
                unit(0xD800 + (c >> 10));
                unit(0xDC00 + (c & 0x3FF));
            } else {
                unit(c);
            }
            i += len;
        }
        unit('\r');
        unit('\n');
    }
    return out;
}

} // namespace shell
