// Thread-local slots on Windows: TlsAlloc / TlsSetValue / TlsGetValue.
#include "platform/Tls.h"

#include <windows.h>

namespace Platform {

std::uint32_t TlsAllocate() {
    DWORD slot = ::TlsAlloc();
    return slot == TLS_OUT_OF_INDEXES ? InvalidTlsSlot : static_cast<std::uint32_t>(slot);
}

bool TlsSet(std::uint32_t slot, void* value) {
    return slot != InvalidTlsSlot && ::TlsSetValue(slot, value) != 0;
}

void* TlsGet(std::uint32_t slot) { return slot == InvalidTlsSlot ? nullptr : ::TlsGetValue(slot); }

bool TlsFree(std::uint32_t slot) { return slot != InvalidTlsSlot && ::TlsFree(slot) != 0; }

}  // namespace Platform
