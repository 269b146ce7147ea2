#include "cli/output.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {
bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\' || c == 0x7F; }

// Whether any of eight bytes needs escaping, tested all at once: listings
// run to millions of names and paths, nearly all of them plain.
bool AnyNeedsEscape(const char* bytes) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    uint64_t w;
    std::memcpy(&w, bytes, sizeof w);
    auto hasZero = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    const uint64_t below20 = (w - kOnes * 0x20) & ~w & kHighs;
    return below20 | hasZero(w ^ (kOnes * '"')) | hasZero(w ^ (kOnes * '\\')) | hasZero(w ^ (kOnes * 0x7F));
}

char* WriteEscape(char* p, unsigned char c) {
    static const char kHex[] = "0123456789abcdef";
    *p++ = '\\';
    switch (c) {
    case '"': *p++ = '"'; break;
    case '\\': *p++ = '\\'; break;
    case '\n': *p++ = 'n'; break;
    case '\r': *p++ = 'r'; break;
    case '\t': *p++ = 't'; break;
    default:
        *p++ = 'u';
        *p++ = '0';
        *p++ = '0';
        *p++ = kHex[c >> 4];
        *p++ = kHex[c & 0xF];
    }
    return p;
}
} // namespace

void AppendJsonString(std::string& out, const std::string& s) {
    // The escaped length first: most texts need no escape at all.
    size_t length = s.size();
    for (size_t i = 0; i < s.size();) {
        if (i + 8 <= s.size() && !AnyNeedsEscape(s.data() + i)) {
            i += 8;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(s[i++]);
        if (NeedsEscape(c))
            length += c == '"' || c == '\\' || c == '\n' || c == '\r' || c == '\t' ? 1 : 5;
    }
    if (length == s.size()) {
        out += '"';
        out += s;
        out += '"';
        return;
    }
    // Short texts are escaped on the stack and appended in one piece.
    char local[512];
    std::string spill;
    char* begin = local;
    if (length + 2 > sizeof local) {
        spill.resize(length + 2);
        begin = spill.data();
    }
    char* p = begin;
    *p++ = '"';
    for (unsigned char c : s) {
        if (NeedsEscape(c))
            p = WriteEscape(p, c);
        else
            *p++ = static_cast<char>(c);
    }
    *p++ = '"';
    out.append(begin, p);
}

std::string JsonString(const std::string& s) {
    std::string out;
    AppendJsonString(out, s);
    return out;
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

namespace {
size_t Width(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string Cut(const std::string& s, size_t width) {
    if (Width(s) <= width)
        return s;
    std::string out;
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80 && ++n > width - 1)
            break;
        out += s[i];
    }
    return out + "\xE2\x80\xA6";  // an ellipsis
}
} // namespace

std::string Table::Render(const std::vector<bool>& rightAligned, size_t maxWidth) const {
    std::vector<size_t> widths;
    for (const auto& row : rows_) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], std::min(Width(row[i]), maxWidth));
    }
    std::string out;
    for (const auto& row : rows_) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string cell = Cut(row[i], maxWidth);
            const std::string pad(widths[i] - Width(cell), ' ');
            const bool right = i < rightAligned.size() && rightAligned[i];
            line += right ? pad + cell : cell + (i + 1 < row.size() ? pad : "");
            if (i + 1 < row.size())
                line += "  ";
        }
        out += line + "\n";
    }
    return out;
}

} // namespace cli
