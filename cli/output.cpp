#include "cli/output.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "volume/text.h"

namespace cli {

namespace {
// Whether any of eight bytes needs escaping (below 0x20, '"', '\\', 0x7F),
// tested all at once: listings run to millions of names and paths.
bool AnyNeedsEscape(const char* bytes) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    uint64_t w;
    std::memcpy(&w, bytes, sizeof w);
    auto hasZero = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    const uint64_t below20 = (w - kOnes * 0x20) & ~w & kHighs;
    return below20 | hasZero(w ^ (kOnes * '"')) | hasZero(w ^ (kOnes * '\\')) | hasZero(w ^ (kOnes * 0x7F));
}

// For each byte, the letter of its escape ('u' for the \u00XX form), or 0 when it stands as it is.
struct EscapeTable {
    char letter[256] = {};
    constexpr EscapeTable() {
        for (int c = 0; c < 0x20; ++c)
            letter[c] = 'u';
        letter[0x7F] = 'u';
        letter['"'] = '"';
        letter['\\'] = '\\';
        letter['\n'] = 'n';
        letter['\r'] = 'r';
        letter['\t'] = 't';
    }
};
constexpr EscapeTable kEscapes;

// Escapes `s` from `from` on into `p`, which has room for six bytes per byte.
char* WriteEscaped(char* p, const std::string& s, size_t from) {
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = from; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const char letter = kEscapes.letter[c];
        if (letter == 0) {
            *p++ = static_cast<char>(c);
            continue;
        }
        *p++ = '\\';
        *p++ = letter;
        if (letter == 'u') {
            *p++ = '0';
            *p++ = '0';
            *p++ = kHex[c >> 4];
            *p++ = kHex[c & 0xF];
        }
    }
    return p;
}
} // namespace

void AppendJsonString(std::string& out, const std::string& s) {
    // Most texts need no escape at all: find the first byte that might.
    size_t plain = 0;
    while (plain + 8 <= s.size() && !AnyNeedsEscape(s.data() + plain))
        plain += 8;
    while (plain < s.size() && kEscapes.letter[static_cast<unsigned char>(s[plain])] == 0)
        ++plain;
    out += '"';
    if (plain == s.size()) {
        out += s;
        out += '"';
        return;
    }
    // The rest is escaped on the stack when short, and appended in one piece.
    char local[512];
    std::string spill;
    const size_t worst = (s.size() - plain) * 6 + 1;
    char* begin = local;
    if (worst > sizeof local) {
        spill.resize(worst);
        begin = spill.data();
    }
    char* p = WriteEscaped(begin, s, plain);
    *p++ = '"';
    out.append(s, 0, plain);
    out.append(begin, p);
}

std::string JsonString(const std::string& s) {
    std::string out;
    AppendJsonString(out, s);
    return out;
}

std::string CsvField(const std::string& raw) {
    // A listing is read in terminals and spreadsheets too, and CSV has no way
    // to carry a control byte that either would show as it is: they are
    // escaped here, and JSON is the form that keeps every byte.
    const std::string s = volume::PrintableText(raw);
    if (s.find_first_of(",\"") == std::string::npos)
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
    // Cells hold names and labels read from volumes: escaped before they are measured or shown.
    std::vector<std::vector<std::string>> shown;
    shown.reserve(rows_.size());
    for (const auto& row : rows_) {
        std::vector<std::string>& cells = shown.emplace_back();
        cells.reserve(row.size());
        for (const std::string& cell : row)
            cells.push_back(volume::PrintableText(cell));
    }
    std::vector<size_t> widths;
    for (const auto& row : shown) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], std::min(Width(row[i]), maxWidth));
    }
    std::string out;
    for (const auto& row : shown) {
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
