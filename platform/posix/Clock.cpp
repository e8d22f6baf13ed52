// POSIX clock: UTC from the real-time clock, ticks from the monotonic clock, sleeping.
#include "platform/Clock.h"

#include <sched.h>

#include <ctime>

#include "platform/posix/SystemCall.h"

namespace Platform {

namespace {

// One calendar record from the real-time clock, broken down by convert (UTC or local time).
void CalendarTime(UtcTime* time, std::tm* (*convert)(const std::time_t*, std::tm*)) {
    if (time == nullptr) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::time_t seconds = now.tv_sec;
    std::tm parts{};
    convert(&seconds, &parts);
    time->year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    time->month = static_cast<std::uint16_t>(parts.tm_mon + 1);
    time->dayOfWeek = static_cast<std::uint16_t>(parts.tm_wday);
    time->day = static_cast<std::uint16_t>(parts.tm_mday);
    time->hour = static_cast<std::uint16_t>(parts.tm_hour);
    time->minute = static_cast<std::uint16_t>(parts.tm_min);
    // A leap second reads as 60 in struct tm; the calendar record has no room for it.
    time->second = static_cast<std::uint16_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    time->millisecond = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
}

}  // namespace

void GetUtcTime(UtcTime* time) { CalendarTime(time, gmtime_r); }

void GetLocalCalendarTime(UtcTime* time) { CalendarTime(time, localtime_r); }

std::uint32_t TickMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                       static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void Sleep(std::uint32_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec left{static_cast<std::time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    RetryInterrupted([&] { return nanosleep(&left, &left); });  // sleeps on for what is left
}

}  // namespace Platform
