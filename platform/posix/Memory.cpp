// Memory hints on POSIX: madvise for huge pages and for populating a buffer up front.
#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace Platform {

namespace {

// Gives advice for the whole units of the given size inside the block, never for memory
// beyond it.
void AdviseInside(void* block, std::size_t size, std::uintptr_t unit, int advice) {
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + unit - 1) & ~(unit - 1);
    const std::uintptr_t end = (start + size) & ~(unit - 1);
    if (first < end) madvise(reinterpret_cast<void*>(first), end - first, advice);
}

}  // namespace

void PrepareWorkingBuffer(void* block, std::size_t size) {
    if (block == nullptr) return;
#ifdef MADV_HUGEPAGE
    AdviseInside(block, size, std::uintptr_t{2} << 20, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    // Each page fault is costly, the more so in a virtual machine; one call makes them all.
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0) AdviseInside(block, size, static_cast<std::uintptr_t>(page), MADV_POPULATE_WRITE);
#endif
}

}  // namespace Platform
