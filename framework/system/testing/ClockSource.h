// Test seam of the clock element (SystemTimeImp). Included by tests and by the clock element,
// which honours it.
#pragma once

#include "platform/Clock.h"

namespace QRV2 {

// Where SystemTime's Refresh reads the time; tests install a fixed clock here. Null restores
// the system clock. Process-wide.
using ClockSource = void (*)(Platform::UtcTime* time);
void SetClockSourceForTesting(ClockSource source);

}  // namespace QRV2
