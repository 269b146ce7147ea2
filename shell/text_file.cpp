#include "shell/text_file.h"

#include <fstream>

#include "volume/text.h"

namespace shell {

namespace {

std::string DecodeUtf8(const uint8_t* p, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        const size_t extra = (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : 0;
        char32_t c = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool valid = extra > 0 && i + extra < n;
        for (size_t k = 1; valid && k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (p[i + k] & 0x3F);
        }
        const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            volume::AppendUtf8(out, 0xFFFD);  // one replacement per bad byte
            ++i;
            continue;
        }
        volume::AppendUtf8(out, c);
        i += extra + 1;
    }
    return out;
}

std::string DecodeUtf16(const uint8_t* p, size_t n, bool bigEndian) {
    std::vector<uint8_t> le(n & ~size_t{1});
    for (size_t i = 0; i + 1 < n; i += 2) {
        le[i] = bigEndian ? p[i + 1] : p[i];
        le[i + 1] = bigEndian ? p[i] : p[i + 1];
    }
    return volume::Utf16LeToUtf8(le.data(), le.size() / 2);
}

} // namespace

std::string DecodeText(const std::vector<uint8_t>& b) {
    const size_t n = b.size();
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return DecodeUtf8(b.data() + 3, n - 3);
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        return DecodeUtf16(b.data() + 2, n - 2, false);
    if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF)
        return DecodeUtf16(b.data() + 2, n - 2, true);
    return DecodeUtf8(b.data(), n);
}

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
        const std::string clean = DecodeUtf8(raw.data(), raw.size());
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
