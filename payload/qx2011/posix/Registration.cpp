// Per-user class registration of the control on POSIX, kept in the platform's registry store.
#include "payload/qx2011/Registration.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "payload/qx2011/Com.h"
#include "platform/CommandLine.h"
#include "platform/Registry.h"

namespace QX2011 {

bool GetOwnModulePath(char* buffer, std::size_t size) {
    Dl_info info;
    if (::dladdr(reinterpret_cast<void*>(&GetOwnModulePath), &info) == 0 || info.dli_fname == nullptr) {
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

namespace {

const std::string kClassKey = std::string(kClassesRoot) + "\\CLSID\\" + kClassIdText;
const std::string kServerKey = kClassKey + "\\InprocServer32";

Platform::RegKey CurrentUser() { return Platform::RootKey(Platform::RegRoot::CurrentUser); }

bool SetText(const std::string& keyPath, const char* name, const char* text) {
    Platform::RegKey key = nullptr;
    if (Platform::RegistryCreateKey(CurrentUser(), keyPath.c_str(), Platform::KeySetValue, &key, nullptr) !=
        Platform::Error::None) {
        return false;
    }
    Platform::Error result = Platform::RegistrySetValue(key, name, Platform::RegSz, text,
                                                        static_cast<std::uint32_t>(std::strlen(text) + 1));
    Platform::RegistryCloseKey(key);
    return result == Platform::Error::None;
}

bool DeleteKey(const std::string& keyPath) {
    Platform::Error result = Platform::RegistryDeleteKey(CurrentUser(), keyPath.c_str());
    return result == Platform::Error::None || result == Platform::Error::FileNotFound;
}

bool RemoveContentType() {
    Platform::RegKey key = nullptr;
    Platform::Error opened = Platform::RegistryOpenKey(CurrentUser(), kContentTypeKey,
                                                       Platform::KeyQueryValue | Platform::KeySetValue, &key);
    if (opened == Platform::Error::FileNotFound) return true;
    if (opened != Platform::Error::None) return false;
    char value[64] = {0};
    std::uint32_t size = sizeof(value) - 1;
    std::uint32_t type = 0;
    bool ours = Platform::RegistryQueryValue(key, "CLSID", &type, value, &size) == Platform::Error::None &&
                type == Platform::RegSz && ::strcasecmp(value, kClassIdText) == 0;
    std::uint32_t subKeys = 1, values = 1;
    if (ours) {
        // The store has no value deletion of its own: the whole key goes, but only when our two
        // values are all it holds.
        Platform::RegistryQueryInfo(key, &subKeys, nullptr, &values, nullptr, nullptr);
        std::uint32_t extensionType = 0, extensionSize = 0;
        bool hasExtension = Platform::RegistryQueryValue(key, "Extension", &extensionType, nullptr,
                                                         &extensionSize) == Platform::Error::None;
        values -= hasExtension ? 2 : 1;
    }
    Platform::RegistryCloseKey(key);
    if (ours && subKeys == 0 && values == 0) return DeleteKey(kContentTypeKey);
    return true;
}

}  // namespace

bool WriteClassRegistration(const char* modulePath) {
    bool ok = SetText(kClassKey, nullptr, kClassName) && SetText(kServerKey, nullptr, modulePath) &&
              SetText(kServerKey, "ThreadingModel", "Apartment") &&
              SetText(kContentTypeKey, "CLSID", kClassIdText) && SetText(kContentTypeKey, "Extension", ".qrv");
    if (!ok) RemoveClassRegistration();
    return ok;
}

bool RemoveClassRegistration() {
    bool server = DeleteKey(kServerKey);
    bool cls = DeleteKey(kClassKey);
    bool type = RemoveContentType();
    return server && cls && type;
}

}  // namespace QX2011
