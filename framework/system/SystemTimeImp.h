// SystemTimeImp: the clock element with its IntegerDate and IntegerDayTime views.
#pragma once

#include "framework/core/ElementImpBase.h"
#include "framework/system/IntegerDate.h"
#include "framework/system/IntegerDayTime.h"
#include "framework/system/SystemTime.h"
#include "platform/Clock.h"

namespace QRV2 {

class Core;

class SystemTimeImp : public ElementImpBase<SystemTime, TypeSystemTime>,
                      public IntegerDate,
                      public IntegerDayTime {
public:
    explicit SystemTimeImp(Core* core);

    std::int32_t Initialize() override;
    std::int32_t Dispose() override;
    void* GetInterface(std::int32_t interfaceId) override;

    void Refresh() override;
    std::int32_t GetYear() override;
    void SetYear(std::int32_t value) override;
    std::int32_t GetMonth() override;
    void SetMonth(std::int32_t value) override;
    std::int32_t GetDay() override;
    void SetDay(std::int32_t value) override;
    std::int32_t GetHour() override;
    void SetHour(std::int32_t value) override;
    std::int32_t GetMinute() override;
    void SetMinute(std::int32_t value) override;
    std::int32_t GetSecond() override;
    void SetSecond(std::int32_t value) override;
    std::int32_t GetMillisecond() override;
    void SetMillisecond(std::int32_t value) override;

    std::int32_t GetDateValue() override;
    std::int32_t GetDayTimeValue() override;

private:
    Platform::UtcTime m_time{};
};

}  // namespace QRV2
