#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace platform {

namespace {
constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kEpochDifference = 11'644'473'600;  // seconds from 1601 to 1970

CalendarTime FromTm(const std::tm& tm, int millisecond) {
    CalendarTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.dayOfWeek = tm.tm_wday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = millisecond;
    return t;
}

std::tm ToTm(const CalendarTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return tm;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool FieldsValid(const CalendarTime& t) {
    return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
           t.second >= 0 && t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000;
}

std::optional<uint64_t> FromUnixSeconds(int64_t seconds, int millisecond) {
    int64_t since1601 = seconds + kEpochDifference;
    if (since1601 < 0)
        return std::nullopt;
    return static_cast<uint64_t>(since1601) * kTicksPerSecond + static_cast<uint64_t>(millisecond) * 10'000;
}
} // namespace

uint64_t TickCountMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepMs(uint32_t ms) {
    if (ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::optional<CalendarTime> FileTimeToLocalCalendar(uint64_t fileTime) {
    if (fileTime >= (uint64_t{1} << 63))
        return std::nullopt;  // the system refuses such times
    int64_t seconds = static_cast<int64_t>(fileTime / kTicksPerSecond) - kEpochDifference;
    int ms = static_cast<int>((fileTime % kTicksPerSecond) / 10'000);
    std::time_t tt = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&tt, &tm))
        return std::nullopt;
    return FromTm(tm, ms);
}

std::optional<uint64_t> CalendarToFileTime(const CalendarTime& t) {
    if (!FieldsValid(t))
        return std::nullopt;
    std::tm tm = ToTm(t);
    tm.tm_isdst = 0;
    std::time_t tt = timegm(&tm);
    return FromUnixSeconds(static_cast<int64_t>(tt), t.millisecond);
}

std::optional<uint64_t> LocalCalendarToFileTime(const CalendarTime& t) {
    if (!FieldsValid(t))
        return std::nullopt;
    // mktime would look at the zone file again on every call; localtime_r
    // reads it once. The offset is taken at the guessed instant and then again
    // at the corrected one, which settles it across a change of daylight time.
    std::tm tm = ToTm(t);
    tm.tm_isdst = 0;
    const std::time_t asUtc = timegm(&tm);
    auto offsetAt = [](std::time_t when) {
        std::tm local{};
        return localtime_r(&when, &local) ? static_cast<std::time_t>(local.tm_gmtoff) : std::time_t{0};
    };
    std::time_t guess = asUtc - offsetAt(asUtc);
    guess = asUtc - offsetAt(guess);
    return FromUnixSeconds(static_cast<int64_t>(guess), t.millisecond);
}

} // namespace platform
