// Thread-local slots: one pointer per thread under a process-wide slot index.
#pragma once

#include <cstdint>

namespace Platform {

// A slot index as TlsAlloc hands it out; InvalidTlsSlot means none could be had.
constexpr std::uint32_t InvalidTlsSlot = 0xFFFFFFFFu;

// Allocates a new slot index; every thread's value in it starts null.
std::uint32_t TlsAllocate();
// Stores value as the calling thread's value of slot; false for an index that was never allocated.
bool TlsSet(std::uint32_t slot, void* value);
// The calling thread's value of slot; null when nothing was stored or the index is invalid.
void* TlsGet(std::uint32_t slot);
// Gives the slot index back (values stored in it are forgotten, not freed).
bool TlsFree(std::uint32_t slot);

}  // namespace Platform
