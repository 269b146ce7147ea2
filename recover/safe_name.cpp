#include "recover/safe_name.h"

#include <array>

#include "volume/text.h"

namespace {

constexpr size_t kMaxNameBytes = 240;  // leaves room for a "(N)" suffix within 255

bool IsReservedDeviceName(const std::string& name) {
    std::string stem = volume::AsciiUpper(name.substr(0, name.find('.')));
    while (!stem.empty() && (stem.back() == ' '))
        stem.pop_back();
    static const std::array<const char*, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
    for (const char* r : kPlain)
        if (stem == r)
            return true;
    return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '0' &&
           stem[3] <= '9';
}

// Cuts UTF-8 text to at most `bytes` bytes without splitting a character.
std::string CutUtf8(const std::string& s, size_t bytes) {
    if (s.size() <= bytes)
        return s;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

} // namespace

std::string SafeFileName(const std::string& name, bool windowsRules) {
    std::string out;
    out.reserve(name.size());
    for (unsigned char c : name) {
        bool bad = c < 0x20 || c == 0x7F || c == '/' || c == '\\';
        if (windowsRules && (c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*'))
            bad = true;
        out += bad ? '_' : static_cast<char>(c);
    }
    if (windowsRules) {
        // Windows drops trailing dots and blanks, which could make two names one.
        while (!out.empty() && (out.back() == '.' || out.back() == ' '))
            out.back() = '_';
        if (IsReservedDeviceName(out))
            out = "_" + out;
    }
    if (out.empty())
        out = "unnamed";
    if (out == "." || out == "..")
        out = std::string(out.size(), '_');
    if (out.size() > kMaxNameBytes) {
        const std::string ext = volume::ExtensionOf(out);
        const std::string keep = ext.size() < 32 ? ext : std::string();
        out = CutUtf8(out, kMaxNameBytes - keep.size()) + keep;
    }
    return out;
}
