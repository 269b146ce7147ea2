#include "volume/helpers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace volume {

void AppendDateText(std::string& out, FileTime time) {
    auto t = platform::FileTimeToLocalCalendar(time);
    if (!t || t->month < 1 || t->month > 12 || t->day < 1 || t->day > 31 || t->dayOfWeek < 0 || t->dayOfWeek > 6 ||
        t->hour > 24 || t->minute >= 60 || t->second >= 60 || t->year < 0 || t->year > 99999) {
        out += "N/A";
        return;
    }
    // Written two digits at a time: the result list formats hundreds of thousands of these.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char text[24];
    char* p = text;
    auto pair = [&p](int value) {
        std::memcpy(p, kPairs + 2 * value, 2);
        p += 2;
    };
    if (t->year > 9999)
        *p++ = static_cast<char>('0' + t->year / 10000);
    pair(t->year / 100 % 100);
    pair(t->year % 100);
    *p++ = '-';
    pair(t->month);
    *p++ = '-';
    pair(t->day);
    *p++ = ' ';
    pair(t->hour);
    *p++ = ':';
    pair(t->minute);
    *p++ = ':';
    pair(t->second);
    out.append(text, p);
}

std::string DateText(FileTime time) {
    std::string text;
    AppendDateText(text, time);
    return text;
}

namespace {
// One decimal, halves rounded away from zero.
std::string OneDecimal(double value, const char* unit) {
    long long tenths = std::llround(value * 10.0);
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%lld%s", tenths / 10, tenths % 10, unit);
    return text;
}
} // namespace

std::string SizeText(int64_t size) {
    int64_t k = size / 1024;
    if (k <= 0)
        return std::to_string(size) + " B";
    int64_t m = k / 1024;
    if (m <= 0)
        return OneDecimal(static_cast<double>(size) / 1024.0, " KB");
    int64_t g = m / 1024;
    if (g <= 0)
        return OneDecimal(static_cast<double>(k) / 1024.0, " MB");
    return OneDecimal(static_cast<double>(m) / 1024.0, " GB");
}

namespace {
size_t NameStart(const std::string& path) {
    size_t slash = path.find_last_of(platform::PathDelimiter() == '\\' ? "\\/" : "/");
    return slash == std::string::npos ? 0 : slash + 1;
}
} // namespace

bool UniqueFileName(std::string& path) {
    return UniqueFileName(path, [](const std::string& candidate) { return platform::FileExists(candidate); });
}

bool UniqueFileName(std::string& path, const std::function<bool(const std::string&)>& taken) {
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot < NameStart(path))
        dot = std::string::npos;
    const std::string ext = dot == std::string::npos ? std::string() : path.substr(dot);
    const std::string base = path.substr(0, path.size() - ext.size());

    std::string candidate = path;
    const uint64_t start = platform::TickCountMs();
    bool found = false;
    for (uint64_t i = 0; platform::TickCountMs() - start <= 5000; ++i) {
        if (!taken(candidate)) {
            found = true;
            break;
        }
        candidate = base + "(" + std::to_string(i) + ")" + ext;
    }
    path = candidate;
    return found;
}

bool IsReadOnlyFolder(const std::string& folder) {
    std::string dir = folder;
    const char delim = platform::PathDelimiter();
    if (dir.empty() || dir.back() != delim)
        dir += delim;
    // The probe is created only where no file is, and only a probe this call
    // created is removed: a file of the user's that carries the name, even one
    // made a moment ago by another program, is never opened, emptied or deleted.
    for (int i = 0; i <= 1000; ++i) {
        const std::string probe = dir + "1._" + (i == 0 ? std::string() : std::to_string(i - 1));
        bool exists = false;
        if (platform::CreateProbeFile(probe, exists)) {
            platform::RemoveFile(probe);
            return false;
        }
        if (!exists)
            return true;
    }
    return true;  // every name taken: the folder could not be shown to be writable
}

bool DateTimeToFileTime(FileTime& out, const platform::CalendarTime& value) {
    auto ft = platform::CalendarToFileTime(value);
    if (!ft)
        return false;
    out = *ft;
    return true;
}

} // namespace volume
