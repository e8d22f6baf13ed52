// Clock: UTC calendar time, a millisecond tick counter and sleeping.
#pragma once

#include <cstdint>

namespace Platform {

// The system's broken-down time, every field as the calendar reads it.
struct UtcTime {
    std::uint16_t year;         // e.g. 2012
    std::uint16_t month;        // 1 to 12
    std::uint16_t dayOfWeek;    // 0 = Sunday to 6
    std::uint16_t day;          // 1 to 31
    std::uint16_t hour;         // 0 to 23
    std::uint16_t minute;       // 0 to 59
    std::uint16_t second;       // 0 to 59
    std::uint16_t millisecond;  // 0 to 999
};

// The current time in Coordinated Universal Time.
void GetUtcTime(UtcTime* time);

// The current time in the user's local time zone, in the same record (the calendar date a user
// sees, for example as the day something was installed).
void GetLocalCalendarTime(UtcTime* time);

// Milliseconds since an arbitrary start (system start on Windows); wraps around after 2^32 ms,
// so callers compare differences, never absolute values.
std::uint32_t TickMilliseconds();

// Suspends the calling thread for at least ms milliseconds (0 yields the processor).
void Sleep(std::uint32_t ms);

}  // namespace Platform
