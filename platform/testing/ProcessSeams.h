// Test seams of the process and machine facts (Process.h). Included by tests and by the
// implementations that honour them.
#pragma once

#include <cstdint>

namespace Platform {

// Makes GetOsVersion report these numbers (active) or the system's again.
void SetOsVersionForTesting(bool active, std::int32_t major, std::int32_t minor);

}  // namespace Platform
