// IntegerDate: a secondary interface (id 25) giving a date and minute as one ordered integer.
#pragma once

#include <cstdint>

namespace QRV2 {

class IntegerDate {
public:
    virtual ~IntegerDate() = default;
    // Minutes since 2004-01-01 00:00, counting every month as 31 days: ordered, and exact for
    // differences within one month.
    virtual std::int32_t GetDateValue() = 0;
};

}  // namespace QRV2
