#pragma once
// Text inside the core is UTF-8; these convert at the edges and compare the
// way the result list and the selection do (ASCII-only case folding).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace volume {

void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-16LE bytes to UTF-8. Surrogate pairs are joined; a lone surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(const uint8_t* bytes, size_t unitCount);

// One byte of Windows-1252 to UTF-8 (the ANSI code page that short names are read through).
std::string Windows1252ToUtf8(std::string_view bytes);

std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Hash and equality for maps keyed by text whose ASCII letter case does not
// count; they take a string_view, so a look-up makes no upper-case copy.
struct IgnoreCaseHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept;
};
struct IgnoreCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return EqualsIgnoreCase(a, b); }
};
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool ContainsIgnoreCase(std::string_view text, std::string_view part);

// Removes spaces from both ends.
std::string TrimBlanks(std::string_view s);
// Removes blanks and control characters (everything up to U+0020) from both ends.
std::string TrimControls(std::string s);

// Text as a terminal may be shown it: control characters (C0, DEL, C1) are
// written as \xHH (C0, DEL) or \u00HH (C1), and bytes that are not valid
// UTF-8 as \xHH, so that a name found on a volume cannot move the cursor,
// retitle the window or rewrite the screen. With `keepLineBreaks`, tabs,
// line feeds and the carriage return of a CR LF pair stand as they are.
std::string PrintableText(std::string_view text, bool keepLineBreaks = false);

// The separator the running system writes between folders.
#ifdef _WIN32
inline constexpr char kSystemSeparator = '\\';
#else
inline constexpr char kSystemSeparator = '/';
#endif
// A folder path as the volume's records keep it (every folder ended by a backslash)
// with `separator` between its folders: the form a user reads.
std::string WithSeparator(std::string_view folderPath, char separator);
// The same with the running system's separator.
inline std::string SystemPath(std::string_view folderPath) { return WithSeparator(folderPath, kSystemSeparator); }

// The extension with its leading dot, from the last dot on; empty without a dot.
std::string ExtensionOf(std::string_view name);

// Walks UTF-8 text as the UTF-16 code units it stands for.
class Utf16Units {
public:
    explicit Utf16Units(std::string_view s) : s_(s) {}
    // The next unit; false at the end.
    bool Next(char16_t& unit);

private:
    char32_t Decode();
    std::string_view s_;
    size_t pos_ = 0;
    char16_t pendingLow_ = 0;
};

// Compares by UTF-16 code units after mapping a-z to A-Z only.
int CompareTextUtf16(std::string_view a, std::string_view b);

// UTF-8 with every invalid byte replaced by U+FFFD, one replacement per byte.
std::string DecodeUtf8Lossy(const uint8_t* bytes, size_t count);
// Text whatever its encoding: a UTF-8 or UTF-16 byte-order mark decides it;
// without one the text is UTF-8. Invalid bytes never stop the decoding.
std::string DecodeText(const std::vector<uint8_t>& bytes);

} // namespace volume
