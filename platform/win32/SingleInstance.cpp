// One run at a time on Windows: a named mutex in the session namespace.
#include "platform/SingleInstance.h"

#include <windows.h>

#include <string>

namespace Platform {

ClaimResult ClaimInstance(const char* name, InstanceClaim* claim) {
    if (name == nullptr || claim == nullptr) return ClaimResult::Unavailable;
    // "Local\": the same user's other runs in this session see it, other sessions do not.
    const std::string fullName = std::string("Local\\") + name;
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, fullName.c_str());
    if (mutex == nullptr) {
        // A name held by an object of another kind, or by another user's object: someone holds it.
        return ::GetLastError() == ERROR_ACCESS_DENIED ? ClaimResult::Taken
                                                       : ClaimResult::Unavailable;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return ClaimResult::Taken;
    }
    *claim = reinterpret_cast<InstanceClaim>(mutex);
    return ClaimResult::Claimed;
}

void ReleaseInstance(InstanceClaim claim) {
    if (claim != nullptr) ::CloseHandle(reinterpret_cast<HANDLE>(claim));
}

}  // namespace Platform
