// Windows registry: thin wrappers over the 8-bit registry entry points.
#include "platform/Registry.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/testing/RegistryRedirect.h"
#include "platform/win32/NativeError.h"

namespace Platform {

namespace {

HKEY Native(RegKey key) {
    RegRoot root;
    if (IsRootKey(key, &root)) {
        switch (root) {
            case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
            case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
            case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
            case RegRoot::Users: return HKEY_USERS;
            case RegRoot::PerformanceData: return HKEY_PERFORMANCE_DATA;
            case RegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
            case RegRoot::DynData: return HKEY_DYN_DATA;
        }
    }
    return reinterpret_cast<HKEY>(key);
}

Error Result(LONG status) { return FromWin32(static_cast<DWORD>(status)); }

// The keys the test redirection points the two roots at.
HKEY g_testUser = nullptr;
HKEY g_testMachine = nullptr;
std::string g_testKeyPath;

void EndRedirection() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (g_testUser != nullptr) RegCloseKey(g_testUser);
    if (g_testMachine != nullptr) RegCloseKey(g_testMachine);
    g_testUser = g_testMachine = nullptr;
    if (!g_testKeyPath.empty()) {
        RegDeleteTreeA(HKEY_CURRENT_USER, g_testKeyPath.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, g_testKeyPath.c_str());
        g_testKeyPath.clear();
    }
}

}  // namespace

Error RegistryOpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out) {
    if (out == nullptr) return Error::InvalidParameter;
    HKEY key = nullptr;
    LONG r = RegOpenKeyExA(Native(parent), subKey, 0, access, &key);
    *out = r == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : nullptr;
    return Result(r);
}

Error RegistryCreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* out,
                        bool* created) {
    if (out == nullptr) return Error::InvalidParameter;
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG r = RegCreateKeyExA(Native(parent), subKey != nullptr ? subKey : "", 0, nullptr,
                             REG_OPTION_NON_VOLATILE, access, nullptr, &key, &disposition);
    *out = r == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : nullptr;
    if (created != nullptr) *created = r == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return Result(r);
}

Error RegistryCloseKey(RegKey key) {
    if (IsRootKey(key, nullptr)) return Error::None;
    if (key == nullptr) return Error::InvalidHandle;
    return Result(RegCloseKey(Native(key)));
}

Error RegistryQueryValue(RegKey key, const char* name, std::uint32_t* type, void* data,
                         std::uint32_t* size) {
    if (data != nullptr && size == nullptr) return Error::InvalidParameter;
    DWORD t = 0;
    DWORD n = size != nullptr ? *size : 0;
    LONG r = RegQueryValueExA(Native(key), name, nullptr, &t, static_cast<BYTE*>(data),
                              size != nullptr ? &n : nullptr);
    if (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
        if (type != nullptr) *type = t;
        if (size != nullptr) *size = n;
    }
    return Result(r);
}

Error RegistrySetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                       std::uint32_t size) {
    if (data == nullptr && size > 0) return Error::InvalidParameter;
    return Result(RegSetValueExA(Native(key), name, 0, type, static_cast<const BYTE*>(data), size));
}

Error RegistrySetDefaultValue(RegKey key, const char* subKey, const char* text) {
    if (text == nullptr) return Error::InvalidParameter;
    return Result(
        RegSetValueA(Native(key), subKey, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1)));
}

Error RegistryEnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                        std::uint32_t* type, void* data, std::uint32_t* dataSize) {
    if (name == nullptr || nameSize == nullptr) return Error::InvalidParameter;
    if (data != nullptr && dataSize == nullptr) return Error::InvalidParameter;
    DWORD nameRoom = *nameSize;
    DWORD t = 0;
    DWORD dataRoom = dataSize != nullptr ? *dataSize : 0;
    LONG r = RegEnumValueA(Native(key), index, name, &nameRoom, nullptr, &t,
                           static_cast<BYTE*>(data), dataSize != nullptr ? &dataRoom : nullptr);
    if (r == ERROR_SUCCESS) *nameSize = nameRoom;
    if (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
        if (type != nullptr) *type = t;
        if (dataSize != nullptr) *dataSize = dataRoom;
    }
    return Result(r);
}

Error RegistryQueryInfo(RegKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength,
                        std::uint32_t* values, std::uint32_t* maxValueNameLength,
                        std::uint32_t* maxValueDataLength) {
    DWORD s = 0, ms = 0, v = 0, mn = 0, md = 0;
    LONG r = RegQueryInfoKeyA(Native(key), nullptr, nullptr, nullptr, &s, &ms, nullptr, &v, &mn,
                              &md, nullptr, nullptr);
    if (r == ERROR_SUCCESS) {
        if (subKeys != nullptr) *subKeys = s;
        if (maxSubKeyLength != nullptr) *maxSubKeyLength = ms;
        if (values != nullptr) *values = v;
        if (maxValueNameLength != nullptr) *maxValueNameLength = mn;
        if (maxValueDataLength != nullptr) *maxValueDataLength = md;
    }
    return Result(r);
}

Error RegistryDeleteValue(RegKey key, const char* name) {
    return Result(RegDeleteValueA(Native(key), name != nullptr ? name : ""));
}

Error RegistryDeleteKey(RegKey key, const char* subKey) {
    if (subKey == nullptr || subKey[0] == '\0') return Error::InvalidParameter;
    return Result(RegDeleteKeyA(Native(key), subKey));
}

bool RegistryRedirectForTesting(const char* folder) {
    EndRedirection();
    if (folder == nullptr) return true;
    // The folder's last part names a private key under the real current-user root; both
    // roots are pointed at sub-keys of it until the redirection ends.
    std::string leaf(folder);
    while (!leaf.empty() && (leaf.back() == '\\' || leaf.back() == '/')) leaf.pop_back();
    std::size_t sep = leaf.find_last_of("\\/");
    if (sep != std::string::npos) leaf = leaf.substr(sep + 1);
    if (leaf.empty()) return false;
    g_testKeyPath = "Software\\QRV2Tests\\" + leaf;
    RegDeleteTreeA(HKEY_CURRENT_USER, g_testKeyPath.c_str());
    std::string user = g_testKeyPath + "\\CurrentUser";
    std::string machine = g_testKeyPath + "\\LocalMachine";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, user.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &g_testUser, nullptr) != ERROR_SUCCESS ||
        RegCreateKeyExA(HKEY_CURRENT_USER, machine.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &g_testMachine, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, g_testUser) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, g_testMachine) != ERROR_SUCCESS) {
        EndRedirection();
        return false;
    }
    return true;
}

}  // namespace Platform
