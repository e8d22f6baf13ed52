// Exclusion and per-thread state: the process-wide critical section, thread-local slots, and
// the claim that lets one run at a time.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Lock.h"
#include "platform/SingleInstance.h"
#include "platform/Tls.h"

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

// The core keeps its per-thread state in a slot: a second thread starts with nothing there, and
// what it stores never shows in the first thread.
TEST(ThreadLocalSlots, ASecondThreadSeesItsOwnSlot) {
    const std::uint32_t slot = Platform::TlsAllocate();
    ASSERT_NE(Platform::InvalidTlsSlot, slot);
    int mine = 0;
    int theirs = 0;
    ASSERT_TRUE(Platform::TlsSet(slot, &mine));
    void* seenAtStart = &mine;
    void* seenAfterSet = nullptr;
    std::thread second([&] {
        seenAtStart = Platform::TlsGet(slot);
        Platform::TlsSet(slot, &theirs);
        seenAfterSet = Platform::TlsGet(slot);
    });
    second.join();
    EXPECT_EQ(nullptr, seenAtStart);
    EXPECT_EQ(&theirs, seenAfterSet);
    EXPECT_EQ(&mine, Platform::TlsGet(slot));
    EXPECT_TRUE(Platform::TlsFree(slot));
}

// Within one session a name is held by one claim at a time: a second claim is refused while the
// first holds it (also from the same process) and granted once it is given up.
TEST(SingleInstanceClaim, ASecondClaimWaitsUntilTheFirstIsGivenUp) {
    const char* name = "qrv2-unit-test-claim";
    Platform::InstanceClaim first = nullptr;
    Platform::InstanceClaim second = nullptr;
    ASSERT_EQ(Platform::ClaimResult::Claimed, Platform::ClaimInstance(name, &first));
    EXPECT_NE(nullptr, first);
    EXPECT_EQ(Platform::ClaimResult::Taken, Platform::ClaimInstance(name, &second));
    EXPECT_EQ(nullptr, second);
    Platform::ReleaseInstance(first);
    ASSERT_EQ(Platform::ClaimResult::Claimed, Platform::ClaimInstance(name, &second));
    Platform::ReleaseInstance(second);
    Platform::ReleaseInstance(nullptr);  // nothing held: nothing happens
}
