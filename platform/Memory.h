// Hints to the system about how the process uses its memory.
#pragma once

#include <cstddef>

namespace Platform {

// Tells the system that block (size bytes, the caller's own) is a working buffer about to be
// written all over: its pages are provided now, in one call, and with large pages where the
// system offers them, rather than one page fault per small page while it fills. Only a hint:
// when the system declines, nothing changes for the caller, and the block stays the caller's
// to free as before. Windows: nothing to do (its large pages need a privilege and an
// allocation of their own).
void PrepareWorkingBuffer(void* block, std::size_t size);

}  // namespace Platform
