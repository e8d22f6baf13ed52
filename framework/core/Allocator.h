// The framework allocator: every heap block and element object of the framework comes from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace QRV2 {

// A block of at least n bytes (n == 0 gives a valid, distinct block), or null when storage
// cannot be obtained. Never throws.
void* Allocate(std::size_t n) noexcept;
// Gives a block from Allocate back; null is ignored.
void Free(void* block) noexcept;
// A new block holding a copy of the NUL-terminated text (terminator included); null when the
// text is null or storage cannot be obtained.
char* DuplicateText(const char* text) noexcept;

// Test hook: lets a test make one chosen allocation fail, so every "storage cannot be obtained"
// branch can be reached without exhausting memory.
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
