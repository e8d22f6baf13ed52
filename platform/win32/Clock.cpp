// Win32 clock: GetSystemTime, the multimedia millisecond timer and Sleep.
#include "platform/Clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace Platform {

void GetUtcTime(UtcTime* time) {
    if (time == nullptr) return;
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    time->year = now.wYear;
    time->month = now.wMonth;
    time->dayOfWeek = now.wDayOfWeek;
    time->day = now.wDay;
    time->hour = now.wHour;
    time->minute = now.wMinute;
    time->second = now.wSecond;
    time->millisecond = now.wMilliseconds;
}

std::uint32_t TickMilliseconds() { return timeGetTime(); }

void Sleep(std::uint32_t ms) { ::Sleep(ms); }

}  // namespace Platform
