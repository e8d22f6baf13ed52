// Scenario tool: loads a library by its bare name, as system code does, optionally after the
// installer's library search restriction, and reports where the library came from.
//
// load_by_name [--restricted] <library name>
// Prints the full path of the module loaded (nothing when the load failed). Exit code: 0 loaded,
// 1 not loaded, 2 bad arguments, 3 the restriction could not be applied.
//
// load_by_name --registered <key below HKEY_CURRENT_USER> <value name>
// Loads the library a registry value names, as a browser loads the plug-in it finds registered:
// the system's own (wide) text throughout, so a path with letters of any script reaches it.
// Prints the loaded module's path as UTF-8. Exit code: 0 loaded, 1 not loaded, 2 bad arguments,
// 4 the value could not be read.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Hardening.h"

namespace {

std::wstring Wide(const char* text) {
    wchar_t buffer[1024] = L"";
    MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, 1024);
    return buffer;
}

int LoadRegistered(const char* key, const char* value) {
    wchar_t path[4 * MAX_PATH] = L"";
    DWORD size = sizeof path;
    if (RegGetValueW(HKEY_CURRENT_USER, Wide(key).c_str(), Wide(value).c_str(), RRF_RT_REG_SZ,
                     nullptr, path, &size) != ERROR_SUCCESS) {
        return 4;
    }
    HMODULE module = LoadLibraryW(path);
    if (module == nullptr) return 1;
    wchar_t loaded[4 * MAX_PATH] = L"";
    GetModuleFileNameW(module, loaded, 4 * MAX_PATH);
    char text[16 * MAX_PATH] = "";
    WideCharToMultiByte(CP_UTF8, 0, loaded, -1, text, sizeof text, nullptr, nullptr);
    std::printf("%s\n", text);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--registered") == 0) {
        return argc == 4 ? LoadRegistered(argv[2], argv[3]) : 2;
    }
    bool restricted = argc == 3 && std::strcmp(argv[1], "--restricted") == 0;
    if (argc != (restricted ? 3 : 2)) return 2;
    if (restricted && !Platform::RestrictLibrarySearch()) return 3;
    HMODULE module = LoadLibraryA(argv[argc - 1]);
    if (module == nullptr) return 1;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    std::printf("%s\n", path);
    return 0;
}
