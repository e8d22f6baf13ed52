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

}  // namespace QRV2
