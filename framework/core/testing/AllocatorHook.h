// Test hook of the framework allocator (Allocator.h). Included by tests and by the allocator,
// which honours it; production code never arms it.
#pragma once

#include <cstdint>

namespace QRV2 {

// Lets a test make one chosen allocation fail, so every "storage cannot be obtained" branch
// can be reached without exhausting memory.
namespace AllocatorHook {
// The n-th allocation from now fails (1 = the very next one); 0 disarms the hook.
void FailNth(std::uint64_t n) noexcept;
// Disarms the hook.
void Disarm() noexcept;
// True once the armed failure has been delivered (stays true until the hook is armed again).
bool Fired() noexcept;
// Number of blocks obtained and not yet freed, for leak checks in tests.
std::int64_t LiveBlocks() noexcept;
}  // namespace AllocatorHook

}  // namespace QRV2
