// Per-user class registration of the control on Windows, written with the registry functions.
#include "payload/qx2011/Registration.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "payload/qx2011/Com.h"

namespace QX2011 {

namespace {

const std::string kClassKey = std::string(kClassesRoot) + "\\CLSID\\" + kClassIdText;
const std::string kServerKey = kClassKey + "\\InprocServer32";

bool SetText(const std::string& keyPath, const char* name, const char* text) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                   static_cast<DWORD>(std::strlen(text) + 1));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// Deleting a key that is not there counts as done.
bool DeleteKey(const std::string& keyPath) {
    LONG result = ::RegDeleteKeyA(HKEY_CURRENT_USER, keyPath.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RemoveContentType() {
    HKEY key = nullptr;
    LONG opened = ::RegOpenKeyExA(HKEY_CURRENT_USER, kContentTypeKey, 0,
                                  KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    char value[64] = {0};
    DWORD size = sizeof(value) - 1;
    DWORD type = 0;
    LONG read = ::RegQueryValueExA(key, "CLSID", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    bool ours = read == ERROR_SUCCESS && type == REG_SZ && ::lstrcmpiA(value, kClassIdText) == 0;
    if (ours) {
        ::RegDeleteValueA(key, "CLSID");
        ::RegDeleteValueA(key, "Extension");
    }
    DWORD subKeys = 0, values = 0;
    bool empty = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                    nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                 subKeys == 0 && values == 0;
    ::RegCloseKey(key);
    // The key goes only when our values were all it held.
    if (ours && empty) return DeleteKey(kContentTypeKey);
    return true;
}

}  // namespace

bool GetOwnModulePath(char* buffer, std::size_t size) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(&GetOwnModulePath), &module)) {
        return false;
    }
    DWORD n = ::GetModuleFileNameA(module, buffer, static_cast<DWORD>(size));
    // A full buffer means the path was cut short.
    return n > 0 && n < size;
}

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
