#include "volume/text.h"

#include <algorithm>
#include <cstring>

namespace volume {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf16LeToUtf8(const uint8_t* bytes, size_t unitCount) {
    auto unit = [bytes](size_t i) -> char32_t { return bytes[2 * i] | (bytes[2 * i + 1] << 8); };
    // Most names are plain ASCII: one byte per unit, written in place.
    size_t ascii = 0;
    while (ascii < unitCount && unit(ascii) < 0x80)
        ++ascii;
    std::string out(ascii, '\0');
    for (size_t i = 0; i < ascii; ++i)
        out[i] = static_cast<char>(bytes[2 * i]);
    if (ascii == unitCount)
        return out;
    out.reserve(unitCount + 8);
    for (size_t i = ascii; i < unitCount; ++i) {
        char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < unitCount) {
            char32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD;
        AppendUtf8(out, u);
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    // 0x80..0x9F differ from Latin-1; the five undefined slots map to themselves.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    for (unsigned char b : bytes) {
        char32_t c = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : b;
        AppendUtf8(out, c);
    }
    return out;
}

namespace {
// The length of the valid UTF-8 sequence at `at`, or 0 when the bytes there
// are none (overlong forms, surrogates and code points past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view s, size_t at) {
    const auto byte = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > s.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    return length;
}

void AppendEscape(std::string& out, const char* prefix, unsigned value) {
    static const char kHex[] = "0123456789ABCDEF";
    out += prefix;
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}
} // namespace

std::string PrintableText(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            const bool lineBreak = c == '\t' || c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
            if (keepLineBreaks && lineBreak)
                out += static_cast<char>(c);
            else
                AppendEscape(out, "\\x", c);
            ++i;
            continue;
        }
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            AppendEscape(out, "\\x", c);
            ++i;
        } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            AppendEscape(out, "\\u00", static_cast<unsigned char>(text[i + 1]));  // U+0080..U+009F
            i += 2;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

static char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
    return out;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

size_t IgnoreCaseHash::operator()(std::string_view s) const noexcept {
    // ASCII letters differ from their other case only in bit 5: with that bit
    // cleared in every byte, texts equal but for case give equal words. Other
    // bytes may meet too, which costs no more than a comparison.
    constexpr uint64_t kFold = ~0x2020202020202020ull;
    auto mix = [](uint64_t x) {
        x ^= x >> 31;
        x *= 0x7FB5D329728EA185ull;
        return x ^ (x >> 27);
    };
    uint64_t hash = s.size() * 0x9E3779B97F4A7C15ull;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        hash = mix(hash ^ (w & kFold));
    }
    if (i < s.size()) {
        uint64_t w = 0;
        for (size_t k = i; k < s.size(); ++k)
            w = w << 8 | static_cast<unsigned char>(s[k]);
        hash = mix(hash ^ (w & kFold));
    }
    return static_cast<size_t>(hash);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    // Names compared here are mostly spelled alike: the byte compare settles those.
    if (a == b)
        return true;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsIgnoreCase(std::string_view text, std::string_view part) {
    auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                          [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
    return it != text.end() || part.empty();
}

std::string TrimBlanks(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

std::string TrimControls(std::string s) {
    auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    size_t b = 0, e = s.size();
    while (b < e && isTrimmed(s[b]))
        ++b;
    while (e > b && isTrimmed(s[e - 1]))
        --e;
    s.erase(e);
    s.erase(0, b);
    return s;
}

std::string WithSeparator(std::string_view folderPath, char separator) {
    std::string out(folderPath);
    for (char& c : out)
        if (c == '\\')
            c = separator;
    return out;
}

std::string ExtensionOf(std::string_view name) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return std::string(name.substr(dot));
}

bool Utf16Units::Next(char16_t& unit) {
    if (pendingLow_) {
        unit = pendingLow_;
        pendingLow_ = 0;
        return true;
    }
    if (pos_ >= s_.size())
        return false;
    char32_t c = Decode();
    if (c >= 0x10000) {
        c -= 0x10000;
        unit = static_cast<char16_t>(0xD800 + (c >> 10));
        pendingLow_ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        unit = static_cast<char16_t>(c);
    }
    return true;
}

char32_t Utf16Units::Decode() {
    unsigned char b = static_cast<unsigned char>(s_[pos_++]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t c = extra == 3 ? (b & 0x07) : extra == 2 ? (b & 0x0F) : extra == 1 ? (b & 0x1F) : b;
    for (int i = 0; i < extra && pos_ < s_.size(); ++i)
        c = (c << 6) | (static_cast<unsigned char>(s_[pos_++]) & 0x3F);
    return c;
}

int CompareTextUtf16(std::string_view a, std::string_view b) {
    Utf16Units ua(a), ub(b);
    for (;;) {
        char16_t x = 0, y = 0;
        bool hasX = ua.Next(x), hasY = ub.Next(y);
        if (!hasX || !hasY)
            return hasX ? 1 : hasY ? -1 : 0;
        if (x >= u'a' && x <= u'z')
            x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z')
            y = static_cast<char16_t>(y - 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
}


std::string DecodeUtf8Lossy(const uint8_t* p, size_t n) {
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
            AppendUtf8(out, 0xFFFD);  // one replacement per bad byte
            ++i;
            continue;
        }
        AppendUtf8(out, c);
        i += extra + 1;
    }
    return out;
}

static std::string DecodeUtf16(const uint8_t* p, size_t n, bool bigEndian) {
    std::vector<uint8_t> le(n & ~size_t{1});
    for (size_t i = 0; i + 1 < n; i += 2) {
        le[i] = bigEndian ? p[i + 1] : p[i];
        le[i + 1] = bigEndian ? p[i] : p[i + 1];
    }
    return Utf16LeToUtf8(le.data(), le.size() / 2);
}


std::string DecodeText(const std::vector<uint8_t>& b) {
    const size_t n = b.size();
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return DecodeUtf8Lossy(b.data() + 3, n - 3);
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        return DecodeUtf16(b.data() + 2, n - 2, false);
    if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF)
        return DecodeUtf16(b.data() + 2, n - 2, true);
    return DecodeUtf8Lossy(b.data(), n);
}

} // namespace volume
