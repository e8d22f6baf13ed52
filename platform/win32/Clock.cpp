// Win32 clock: GetSystemTime, the multimedia millisecond timer (loaded from the system folder) and
// Sleep.
#include "platform/Clock.h"

#include <windows.h>

namespace Platform {

namespace {

// The multimedia timer lives in winmm.dll, which is not among the libraries Windows always takes
// from its own folder: imported directly, a winmm.dll planted beside the executable would be
// loaded (and run) before the program's first line. It is loaded by its full system path on
// first use instead; without it the system tick count serves.
using TimeGetTimeFunction = DWORD(WINAPI*)();

TimeGetTimeFunction LoadTimeGetTime() {
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    lstrcpyA(path + length, "\\winmm.dll");
    HMODULE winmm = LoadLibraryA(path);  // kept loaded for the life of the process
    if (winmm == nullptr) return nullptr;
    return reinterpret_cast<TimeGetTimeFunction>(
        reinterpret_cast<void*>(GetProcAddress(winmm, "timeGetTime")));
}

DWORD WINAPI FallbackTickCount() { return GetTickCount(); }

}  // namespace

namespace {

void FromSystemTime(const SYSTEMTIME& now, UtcTime* time) {
    time->year = now.wYear;
    time->month = now.wMonth;
    time->dayOfWeek = now.wDayOfWeek;
    time->day = now.wDay;
    time->hour = now.wHour;
    time->minute = now.wMinute;
    time->second = now.wSecond;
    time->millisecond = now.wMilliseconds;
}

}  // namespace

void GetUtcTime(UtcTime* time) {
    if (time == nullptr) return;
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    FromSystemTime(now, time);
}

void GetLocalCalendarTime(UtcTime* time) {
    if (time == nullptr) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FromSystemTime(now, time);
}

std::uint32_t TickMilliseconds() {
    static const TimeGetTimeFunction timeGetTime = [] {
        TimeGetTimeFunction loaded = LoadTimeGetTime();
        return loaded != nullptr ? loaded : &FallbackTickCount;
    }();
    return timeGetTime();
}

void Sleep(std::uint32_t ms) { ::Sleep(ms); }

}  // namespace Platform
