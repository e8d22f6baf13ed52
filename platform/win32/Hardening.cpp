// Process hardening on Windows: library loads by bare name search the system folder only.
#include "platform/Hardening.h"

#include <windows.h>

namespace Platform {

namespace {
// Spelled out for headers that predate them.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSafeSearchMode =
    0x00000001 | 0x00008000;  // BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | _PERMANENT

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetSearchPathModeFn = BOOL(WINAPI*)(DWORD);
}  // namespace

bool RestrictLibrarySearch() {
    // kernel32 is always loaded and always comes from the system folder; the two functions are
    // looked up rather than imported so the program still starts where they are missing.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return false;
    // The current folder leaves the search order in every case (an empty text removes it).
    SetDllDirectoryA("");
    auto setSearchPathMode = reinterpret_cast<SetSearchPathModeFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetSearchPathMode")));
    if (setSearchPathMode != nullptr) setSearchPathMode(kSafeSearchMode);
    auto setDefaultDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    return setDefaultDirectories != nullptr && setDefaultDirectories(kSearchSystem32) != FALSE;
}

}  // namespace Platform
