// SystemTimeImp: UTC snapshots and their integer date and day-time values.
#include "framework/system/SystemTimeImp.h"

#include "framework/core/Core.h"
#include "framework/system/testing/ClockSource.h"

namespace QRV2 {

namespace {
ClockSource g_clockSource = nullptr;
}  // namespace

void SetClockSourceForTesting(ClockSource source) { g_clockSource = source; }

SystemTimeImp::SystemTimeImp(Core*) { Refresh(); }

std::int32_t SystemTimeImp::Initialize() {
    Refresh();
    return 0;
}

std::int32_t SystemTimeImp::Dispose() {
    Core* core = GetCore();
    if (core != nullptr && core->GetSingleton(TypeSystemTime) == this) {
        core->SetSingleton(TypeSystemTime, nullptr);
    }
    delete this;
    return 0;
}

void* SystemTimeImp::GetInterface(std::int32_t interfaceId) {
    if (interfaceId == InterfaceIntegerDate) return static_cast<IntegerDate*>(this);
    if (interfaceId == InterfaceIntegerDayTime) return static_cast<IntegerDayTime*>(this);
    return nullptr;
}

void SystemTimeImp::Refresh() {
    if (g_clockSource != nullptr) {
        g_clockSource(&m_time);
    } else {
        Platform::GetUtcTime(&m_time);
    }
}

std::int32_t SystemTimeImp::GetYear() { return m_time.year; }
std::int32_t SystemTimeImp::GetMonth() { return m_time.month; }
std::int32_t SystemTimeImp::GetDay() { return m_time.day; }
std::int32_t SystemTimeImp::GetHour() { return m_time.hour; }
std::int32_t SystemTimeImp::GetMinute() { return m_time.minute; }
std::int32_t SystemTimeImp::GetSecond() { return m_time.second; }
std::int32_t SystemTimeImp::GetMillisecond() { return m_time.millisecond; }

// The snapshot is the system's time; the setters exist for the interface's shape only.
void SystemTimeImp::SetYear(std::int32_t) {}
void SystemTimeImp::SetMonth(std::int32_t) {}
void SystemTimeImp::SetDay(std::int32_t) {}
void SystemTimeImp::SetHour(std::int32_t) {}
void SystemTimeImp::SetMinute(std::int32_t) {}
void SystemTimeImp::SetSecond(std::int32_t) {}
void SystemTimeImp::SetMillisecond(std::int32_t) {}

// Every month counts 31 days and every year 12 such months; 745520 = 31 * (12 * 2004 + 1) + 1
// puts 2004-01-01 00:00 at 0. Ordered, exact within a month, jumping at a short month's end.
std::int32_t SystemTimeImp::GetDateValue() {
    // 32-bit arithmetic that wraps: from about the year 6013 on the value leaves the signed
    // range, so it is computed unsigned (where wrapping is defined) and read back as signed.
    std::uint32_t days = static_cast<std::uint32_t>(GetDay()) +
                         31u * (static_cast<std::uint32_t>(GetMonth()) +
                                12u * static_cast<std::uint32_t>(GetYear())) -
                         745520u;
    std::uint32_t value = static_cast<std::uint32_t>(GetMinute()) +
                          60u * (static_cast<std::uint32_t>(GetHour()) + 24u * days);
    return static_cast<std::int32_t>(value);
}

std::int32_t SystemTimeImp::GetDayTimeValue() {
    return GetMillisecond() + 1000 * (GetSecond() + 60 * (GetMinute() + 60 * GetHour()));
}

}  // namespace QRV2
