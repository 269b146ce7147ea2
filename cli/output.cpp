#include "cli/output.h"

#include <cstdio>

namespace cli {

void AppendJsonString(std::string& out, const std::string& s) {
    out += '"';
    size_t plain = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7F)
            continue;
        out.append(s, plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        }
        }
    }
    out.append(s, plain, std::string::npos);
    out += '"';
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
