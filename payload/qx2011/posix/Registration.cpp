// The control's registry work on POSIX, kept in the platform's registry store, and the path of
// its own library.
#include "payload/qx2011/Registration.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "payload/qx2011/ClassStore.h"
#include "platform/CommandLine.h"
#include "platform/Registry.h"

namespace QX2011 {

bool GetOwnModulePath(char* buffer, std::size_t size) {
    Dl_info info;
    if (::dladdr(reinterpret_cast<void*>(&GetOwnModulePath), &info) == 0 ||
        info.dli_fname == nullptr) {
        return false;
    }
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) == nullptr) return false;
    // The registry holds Windows-shaped paths on every platform.
    std::string path;
    if (!Platform::HostPathToFrameworkPath(resolved, &path)) return false;
    if (path.size() + 1 > size) return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

namespace ClassStore {

namespace {
Platform::RegKey CurrentUser() { return Platform::RootKey(Platform::RegRoot::CurrentUser); }
}  // namespace

bool SetText(const char* keyPath, const char* name, const char* text) {
    Platform::RegKey key = nullptr;
    if (Platform::RegistryCreateKey(CurrentUser(), keyPath, Platform::KeySetValue, &key, nullptr) !=
        Platform::Error::None) {
        return false;
    }
    Platform::Error result = Platform::RegistrySetValue(
        key, name, Platform::RegSz, text, static_cast<std::uint32_t>(std::strlen(text) + 1));
    Platform::RegistryCloseKey(key);
    return result == Platform::Error::None;
}

bool DeleteKey(const char* keyPath) {
    Platform::Error result = Platform::RegistryDeleteKey(CurrentUser(), keyPath);
    return result == Platform::Error::None || result == Platform::Error::FileNotFound;
}

TextRead ReadText(const char* keyPath, const char* name, char* buffer, std::size_t size) {
    Platform::RegKey key = nullptr;
    Platform::Error opened = Platform::RegistryOpenKey(
        CurrentUser(), keyPath, Platform::KeyQueryValue | Platform::KeySetValue, &key);
    if (opened == Platform::Error::FileNotFound) return TextRead::NoKey;
    if (opened != Platform::Error::None) return TextRead::Failed;
    std::memset(buffer, 0, size);
    std::uint32_t room = static_cast<std::uint32_t>(size - 1);
    std::uint32_t type = 0;
    bool read =
        Platform::RegistryQueryValue(key, name, &type, buffer, &room) == Platform::Error::None &&
        type == Platform::RegSz;
    Platform::RegistryCloseKey(key);
    return read ? TextRead::Read : TextRead::NoText;
}

bool RemoveValues(const char* keyPath, const char* const* names, std::size_t count) {
    Platform::RegKey key = nullptr;
    if (Platform::RegistryOpenKey(CurrentUser(), keyPath,
                                  Platform::KeyQueryValue | Platform::KeySetValue,
                                  &key) != Platform::Error::None) {
        return false;
    }
    // The store has no value deletion of its own: the whole key goes, but only when the named
    // values are all it holds.
    std::uint32_t subKeys = 1, values = 1;
    Platform::RegistryQueryInfo(key, &subKeys, nullptr, &values, nullptr, nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t type = 0, size = 0;
        if (Platform::RegistryQueryValue(key, names[i], &type, nullptr, &size) ==
            Platform::Error::None)
            --values;
    }
    Platform::RegistryCloseKey(key);
    return subKeys == 0 && values == 0 ? DeleteKey(keyPath) : true;
}

}  // namespace ClassStore
}  // namespace QX2011
