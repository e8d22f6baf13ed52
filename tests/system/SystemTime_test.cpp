// SystemTime: integer date and day-time values from a fixed clock, and the snapshot rules.
#include <gtest/gtest.h>

#include "framework/core/Core.h"
#include "framework/system/IntegerDate.h"
#include "framework/system/IntegerDayTime.h"
#include "framework/system/SystemTimeImp.h"
#include "framework/system/testing/ClockSource.h"

using namespace QRV2;

namespace {

Platform::UtcTime g_fixed{};
void FixedClock(Platform::UtcTime* time) { *time = g_fixed; }

struct ClockGuard {
    ClockGuard() { SetClockSourceForTesting(&FixedClock); }
    ~ClockGuard() { SetClockSourceForTesting(nullptr); }
};

void SetFixed(int year, int month, int day, int hour, int minute, int second, int ms) {
    g_fixed = Platform::UtcTime{static_cast<std::uint16_t>(year),
                                static_cast<std::uint16_t>(month),
                                0,
                                static_cast<std::uint16_t>(day),
                                static_cast<std::uint16_t>(hour),
                                static_cast<std::uint16_t>(minute),
                                static_cast<std::uint16_t>(second),
                                static_cast<std::uint16_t>(ms)};
}

}  // namespace

TEST(SystemTimeValues, DateAndDayTimeOfKnownMoments) {
    ClockGuard guard;
    struct Case {
        int year, month, day, hour, minute, second, ms;
        std::int32_t date, dayTime;
    } cases[] = {
        {2004, 1, 1, 0, 0, 0, 0, 0, 0},
        {2004, 2, 1, 0, 0, 0, 0, 44640, 0},
        {2003, 12, 31, 23, 59, 59, 999, -1, 86399999},
        {2012, 2, 26, 12, 30, 0, 0, 4366830, 45000000},
        // 31 * (6 + 12 * 2020) + 15 - 745520 = 6121 days, then 12 hours.
        {2020, 6, 15, 12, 0, 0, 0, 6121 * 1440 + 720, 43200000},
        // Beyond the signed range the value wraps as 32-bit arithmetic does (no overflow):
        // 31 * (1 + 12 * 7000) + 1 - 745520 = 1858512 days.
        {7000, 1, 1, 0, 0, 0, 0, static_cast<std::int32_t>(1858512u * 1440u), 0},
    };
    for (const Case& c : cases) {
        SetFixed(c.year, c.month, c.day, c.hour, c.minute, c.second, c.ms);
        SystemTime* time = CreateElementAs<SystemTime>(TypeSystemTime);
        ASSERT_NE(time, nullptr);
        auto* date = InterfaceOf<IntegerDate>(time, InterfaceIntegerDate);
        auto* dayTime = InterfaceOf<IntegerDayTime>(time, InterfaceIntegerDayTime);
        ASSERT_NE(date, nullptr);
        ASSERT_NE(dayTime, nullptr);
        EXPECT_EQ(date->GetDateValue(), c.date) << c.year << "-" << c.month << "-" << c.day;
        EXPECT_EQ(dayTime->GetDayTimeValue(), c.dayTime);
        ReleaseElement(time);
    }
    // Across a short month's end the value jumps by 4 * 1440 - 1439 minutes.
    SetFixed(2005, 2, 28, 23, 59, 0, 0);
    SystemTime* time = CreateElementAs<SystemTime>(TypeSystemTime);
    ASSERT_NE(time, nullptr);
    std::int32_t before = InterfaceOf<IntegerDate>(time, InterfaceIntegerDate)->GetDateValue();
    SetFixed(2005, 3, 1, 0, 0, 0, 0);
    time->Refresh();
    EXPECT_EQ(InterfaceOf<IntegerDate>(time, InterfaceIntegerDate)->GetDateValue() - before,
              4 * 1440 - 1439);
    ReleaseElement(time);
}

TEST(SystemTimeSnapshot, ChangesOnlyOnRefreshAndIgnoresSetters) {
    ClockGuard guard;
    SetFixed(2012, 2, 26, 12, 30, 15, 250);
    SystemTime* time = CreateElementAs<SystemTime>(0);  // id 0 makes a clock too
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->GetTypeId(), TypeSystemTime);
    time->SetHour(3);
    time->SetYear(1999);
    time->SetMillisecond(7);
    EXPECT_EQ(time->GetYear(), 2012);
    EXPECT_EQ(time->GetHour(), 12);
    EXPECT_EQ(time->GetMillisecond(), 250);
    auto* date = InterfaceOf<IntegerDate>(time, InterfaceIntegerDate);
    SetFixed(2013, 3, 27, 13, 31, 16, 251);
    EXPECT_EQ(date->GetDateValue(), 4366830);  // no refresh behind the caller's back
    time->Refresh();
    EXPECT_EQ(time->GetYear(), 2013);
    EXPECT_EQ(time->GetMonth(), 3);
    EXPECT_EQ(time->GetDay(), 27);
    EXPECT_EQ(time->GetMinute(), 31);
    EXPECT_EQ(time->GetSecond(), 16);
    EXPECT_EQ(time->GetInterface(13), nullptr);
    ReleaseElement(time);
}

TEST(SystemTimeSnapshot, DisposeClearsItsOwnSingletonEntryOnly) {
    SystemTime* registered = CreateElementAs<SystemTime>(TypeSystemTime);
    SystemTime* other = CreateElementAs<SystemTime>(TypeSystemTime);
    ASSERT_NE(registered, nullptr);
    ASSERT_NE(other, nullptr);
    GetCore()->SetSingleton(TypeSystemTime, registered);
    ReleaseElement(other);
    EXPECT_EQ(GetCore()->GetSingleton(TypeSystemTime), registered);
    ReleaseElement(registered);
    EXPECT_EQ(GetCore()->GetSingleton(TypeSystemTime), nullptr);
}

TEST(SystemTimeClock, RealClockGivesPlausibleUtcFields) {
    SystemTime* time = CreateElementAs<SystemTime>(TypeSystemTime);
    ASSERT_NE(time, nullptr);
    EXPECT_GE(time->GetYear(), 2024);
    EXPECT_GE(time->GetMonth(), 1);
    EXPECT_LE(time->GetMonth(), 12);
    EXPECT_GE(time->GetDay(), 1);
    EXPECT_LE(time->GetDay(), 31);
    EXPECT_LE(time->GetHour(), 23);
    EXPECT_LE(time->GetMinute(), 59);
    EXPECT_LE(time->GetSecond(), 59);
    EXPECT_LE(time->GetMillisecond(), 999);
    std::uint32_t start = Platform::TickMilliseconds();
    Platform::Sleep(20);
    EXPECT_NE(Platform::TickMilliseconds(), start);  // the tick clock moves
    ReleaseElement(time);
}
