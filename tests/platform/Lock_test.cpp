// Tests of the process-wide critical section: mutual exclusion between threads, re-entry.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Lock.h"

TEST(ProcessLock, ExcludesOtherThreadsAndAllowsReentry) {
    long counter = 0;
    auto work = [&counter] {
        for (int i = 0; i < 20000; ++i) {
            Platform::ProcessLockGuard outer;
            Platform::ProcessLockGuard inner;  // the holder may enter again
            long seen = counter;
            counter = seen + 1;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(work);
    for (auto& t : threads) t.join();
    EXPECT_EQ(80000, counter);
}
