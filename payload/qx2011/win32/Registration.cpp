// The control's registry work on Windows, written with the registry functions, and the path of
// its own library.
#include "payload/qx2011/Registration.h"

#include <windows.h>

#include <cstring>

#include "payload/qx2011/ClassStore.h"

namespace QX2011 {

bool GetOwnModulePath(char* buffer, std::size_t size) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&GetOwnModulePath), &module)) {
        return false;
    }
    DWORD n = ::GetModuleFileNameA(module, buffer, static_cast<DWORD>(size));
    // A full buffer means the path was cut short.
    return n > 0 && n < size;
}

namespace ClassStore {

bool SetText(const char* keyPath, const char* name, const char* text) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG result = ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                   static_cast<DWORD>(std::strlen(text) + 1));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool DeleteKey(const char* keyPath) {
    LONG result = ::RegDeleteKeyA(HKEY_CURRENT_USER, keyPath);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

TextRead ReadText(const char* keyPath, const char* name, char* buffer, std::size_t size) {
    HKEY key = nullptr;
    LONG opened =
        ::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return TextRead::NoKey;
    if (opened != ERROR_SUCCESS) return TextRead::Failed;
    std::memset(buffer, 0, size);
    DWORD room = static_cast<DWORD>(size - 1);
    DWORD type = 0;
    LONG read =
        ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &room);
    ::RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? TextRead::Read : TextRead::NoText;
}

bool RemoveValues(const char* keyPath, const char* const* names, std::size_t count) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) ::RegDeleteValueA(key, names[i]);
    DWORD subKeys = 0, values = 0;
    bool empty = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                    &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                 subKeys == 0 && values == 0;
    ::RegCloseKey(key);
    return empty ? DeleteKey(keyPath) : true;
}

}  // namespace ClassStore
}  // namespace QX2011
