// Windows resources: the executable's own resource section.
#include "platform/Resources.h"

#include <windows.h>

#include "platform/win32/NativeError.h"

namespace Platform {

void RegisterEmbeddedResources(const EmbeddedResource*, std::size_t) {}

Error FindExecutableResource(const char* name, const char* type, const void** data,
                             std::uint32_t* size) {
    if (name == nullptr || type == nullptr || data == nullptr || size == nullptr) {
        return Error::InvalidParameter;
    }
    // FindResourceA reads "#130" as the number 130 itself.
    HRSRC found = FindResourceA(nullptr, name, type);
    if (found == nullptr) return Error::FileNotFound;  // no such type, or no such name
    DWORD bytes = SizeofResource(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* locked = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (locked == nullptr && bytes > 0) return FromWin32(GetLastError());
    *data = locked;
    *size = bytes;
    return Error::None;
}

}  // namespace Platform
