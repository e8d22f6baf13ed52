// IntegerDayTime: a secondary interface (id 26) giving the time of day in milliseconds.
#pragma once

#include <cstdint>

namespace QRV2 {

class IntegerDayTime {
public:
    virtual ~IntegerDayTime() = default;
    // Milliseconds since midnight, 0 to 86399999.
    virtual std::int32_t GetDayTimeValue() = 0;
};

}  // namespace QRV2
