// Allocation-failure walks: run an operation with the 1st, 2nd, ... allocation failing.
#pragma once

#include <cstdint>
#include <functional>

#include "framework/core/Allocator.h"
#include "framework/core/testing/AllocatorHook.h"

namespace QRV2Test {

// Calls attempt(failedAt) with the failedAt-th allocation from the start of the call made to
// fail, for failedAt = 1, 2, ... until an attempt runs without the hook firing (the operation
// then needed fewer allocations). attempt returns nothing; it checks its own results and
// cleans up after itself. Returns how many allocations the successful run needed at most
// (the number of failing runs), so a test can assert the walk actually reached something.
inline int WalkAllocationFailures(const std::function<void(int failedAt)>& attempt,
                                  int limit = 10000) {
    for (int n = 1; n <= limit; ++n) {
        QRV2::AllocatorHook::FailNth(static_cast<std::uint64_t>(n));
        attempt(n);
        bool fired = QRV2::AllocatorHook::Fired();
        QRV2::AllocatorHook::Disarm();
        if (!fired) return n - 1;
    }
    return limit;
}

}  // namespace QRV2Test
