// SystemTime: the clock element (type id 12, also made for id 0): one UTC snapshot.
#pragma once

#include "framework/core/Element.h"

namespace QRV2 {

// The snapshot is taken at creation and by Refresh only; the setters ignore their value (the
// snapshot is the system's time, not an editable date). GetInterface 25 gives the IntegerDate
// view, 26 the IntegerDayTime view; both read the snapshot without refreshing.
class SystemTime : public Element {
public:
    // Reads the system clock (UTC) into the snapshot.
    virtual void Refresh() = 0;
    virtual std::int32_t GetYear() = 0;
    virtual void SetYear(std::int32_t value) = 0;
    virtual std::int32_t GetMonth() = 0;  // 1 to 12
    virtual void SetMonth(std::int32_t value) = 0;
    virtual std::int32_t GetDay() = 0;  // 1 to 31
    virtual void SetDay(std::int32_t value) = 0;
    virtual std::int32_t GetHour() = 0;  // 0 to 23
    virtual void SetHour(std::int32_t value) = 0;
    virtual std::int32_t GetMinute() = 0;  // 0 to 59
    virtual void SetMinute(std::int32_t value) = 0;
    virtual std::int32_t GetSecond() = 0;  // 0 to 59
    virtual void SetSecond(std::int32_t value) = 0;
    virtual std::int32_t GetMillisecond() = 0;  // 0 to 999
    virtual void SetMillisecond(std::int32_t value) = 0;
};

}  // namespace QRV2
