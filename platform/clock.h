#pragma once
// Clocks and the conversion of file times to calendar fields.
#include <cstdint>
#include <optional>

namespace platform {

uint64_t TickCountMs();
void SleepMs(uint32_t ms);

struct CalendarTime {
    int year = 0, month = 0, day = 0, dayOfWeek = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// FILETIME (100 ns ticks since 1601, UTC) to local calendar fields.
std::optional<CalendarTime> FileTimeToLocalCalendar(uint64_t fileTime);

// Calendar fields to FILETIME, taking them as UTC (no zone change).
std::optional<uint64_t> CalendarToFileTime(const CalendarTime& t);

// Calendar fields read as local time, to a FILETIME in UTC.
std::optional<uint64_t> LocalCalendarToFileTime(const CalendarTime& t);

} // namespace platform
