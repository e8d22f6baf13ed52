// Handles of the POSIX registry: the table of open handles, what a handle stands for in a call,
// and what deleting a key does to the handles naming it or a key below it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/posix/RegistryFile.h"

namespace Platform {
namespace RegStore {

// What a handle (or a predefined root) stands for, taken at the start of one call.
struct Target {
    RegKey handle = nullptr;  // null for a predefined root
    RegRoot root = RegRoot::CurrentUser;
    std::vector<std::string> path;  // spelled as stored when the handle was opened
    std::uint32_t access = 0;       // "whatever the caller may have" already worked out
    StoreFile store;
    const char* rootName = nullptr;
};

// What key stands for. InvalidHandle (null, closed, not a key handle, or a root without a
// store); KeyDeleted (the key it opened was deleted since).
Error Resolve(RegKey key, Target* t);

// A new handle for root\path (path spelled as stored) with the rights access, entered in the
// table. NotEnoughMemory.
Error OpenHandle(RegRoot root, const std::vector<std::string>& path, std::uint32_t access,
                 RegKey* out);

// Takes the handle out of the table and frees it; false when key is no open handle.
bool CloseHandle(RegKey key);

// The key the handle opened was found missing (another process deleted it): the handle stays
// dead, also when a key of that name comes back. An unknown handle is ignored.
void MarkDeleted(RegKey handle);

// This process deleted root\path: every open handle naming that key or a key below it is dead
// from now on. Handles opened later are not touched, and nothing is kept once they are.
void KeyWasDeleted(RegRoot root, const std::vector<std::string>& path);

}  // namespace RegStore
}  // namespace Platform
