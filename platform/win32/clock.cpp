#include "platform/clock.h"

#include <windows.h>

namespace platform {

namespace {
FILETIME ToFileTime(uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }
uint64_t FromFileTime(const FILETIME& ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

SYSTEMTIME ToSystemTime(const CalendarTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    st.wMilliseconds = static_cast<WORD>(t.millisecond);
    return st;
}
} // namespace

uint64_t TickCountMs() { return GetTickCount64(); }
void SleepMs(uint32_t ms) {
    if (ms)
        Sleep(ms);
}

std::optional<CalendarTime> FileTimeToLocalCalendar(uint64_t fileTime) {
    FILETIME utc = ToFileTime(fileTime), local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st))
        return std::nullopt;
    return CalendarTime{st.wYear, st.wMonth, st.wDay, st.wDayOfWeek, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

std::optional<uint64_t> CalendarToFileTime(const CalendarTime& t) {
    SYSTEMTIME st = ToSystemTime(t);
    FILETIME ft{};
    if (!SystemTimeToFileTime(&st, &ft))
        return std::nullopt;
    return FromFileTime(ft);
}

std::optional<uint64_t> LocalCalendarToFileTime(const CalendarTime& t) {
    SYSTEMTIME local = ToSystemTime(t), utc{};
    FILETIME ft{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft))
        return std::nullopt;
    return FromFileTime(ft);
}

} // namespace platform
