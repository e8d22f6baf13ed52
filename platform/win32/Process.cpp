// Windows process and machine facts through the 8-bit entry points.
#include "platform/Process.h"

#include <windows.h>

#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "platform/testing/ProcessSeams.h"
#include "platform/win32/NativeError.h"

namespace Platform {

namespace {

// Room for a wide name: MAX_PATH characters, or more where the system allows long paths.
constexpr int kWideRoom = MAX_PATH * 4;

bool g_versionOverride = false;
std::int32_t g_overrideMajor = 0;
std::int32_t g_overrideMinor = 0;

Error Deliver(const char* text, char* buffer, std::uint32_t size, std::uint32_t* length) {
    if (length == nullptr || (buffer == nullptr && size > 0)) return Error::InvalidParameter;
    std::size_t n = std::strlen(text);
    if (n + 1 > size) {
        *length = static_cast<std::uint32_t>(n + 1);
        return Error::InsufficientBuffer;
    }
    std::memcpy(buffer, text, n + 1);
    *length = static_cast<std::uint32_t>(n);
    return Error::None;
}

// The 8-bit entry points give a name the code page cannot spell with '?' or a look-alike letter
// in place of each such character ("Łukasz" may come back as "Lukasz"): a folder that does not
// exist, or worse, someone else's. A name is used only when it reads back, in the code page the
// process runs with, as exactly the system's own (wide) name.
bool SpellsSystemName(const char* text, const wchar_t* systemName) {
    wchar_t readBack[kWideRoom];
    int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, readBack, kWideRoom);
    return n > 0 && std::wcscmp(readBack, systemName) == 0;
}

void EndInSeparator(char* text) {
    std::size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] != '\\' && n + 1 < MAX_PATH) {
        text[n] = '\\';
        text[n + 1] = '\0';
    }
}

}  // namespace

Error GetOsVersion(std::int32_t* major, std::int32_t* minor) {
    if (major == nullptr || minor == nullptr) return Error::InvalidParameter;
    if (g_versionOverride) {
        *major = g_overrideMajor;
        *minor = g_overrideMinor;
        return Error::None;
    }
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // the 148-byte record
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return FromWin32(GetLastError());
#pragma GCC diagnostic pop
    *major = static_cast<std::int32_t>(info.dwMajorVersion);
    *minor = static_cast<std::int32_t>(info.dwMinorVersion);
    return Error::None;
}

void SetOsVersionForTesting(bool active, std::int32_t major, std::int32_t minor) {
    g_versionOverride = active;
    g_overrideMajor = major;
    g_overrideMinor = minor;
}

Error GetExecutableFileName(ModuleHandle module, char* buffer, std::uint32_t size,
                            std::uint32_t* length) {
    char name[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(module), name, sizeof name);
    if (n == 0) return FromWin32(GetLastError());
    if (n >= sizeof name) return Error::InvalidName;
    wchar_t systemName[kWideRoom];
    DWORD wide = GetModuleFileNameW(reinterpret_cast<HMODULE>(module), systemName, kWideRoom);
    if (wide == 0 || wide >= kWideRoom || !SpellsSystemName(name, systemName)) {
        return Error::NoUnicodeTranslation;
    }
    return Deliver(name, buffer, size, length);
}

Error GetTempFolderPath(char* buffer, std::uint32_t size, std::uint32_t* length) {
    char path[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof path, path);
    wchar_t systemName[MAX_PATH + 1];
    DWORD wide = GetTempPathW(MAX_PATH + 1, systemName);
    if (n == 0 && wide == 0) return FromWin32(GetLastError());
    if (wide == 0 || wide > MAX_PATH) return Error::InvalidName;
    // The 8-bit call may fail, or be cut short, on a name the code page spells in more bytes.
    if (n == 0 || n >= sizeof path || !SpellsSystemName(path, systemName)) {
        return Error::NoUnicodeTranslation;
    }
    EndInSeparator(path);
    return Deliver(path, buffer, size, length);
}

Error GetSpecialFolder(SpecialFolder folder, char* buffer, std::uint32_t size,
                       std::uint32_t* length) {
    int id = folder == SpecialFolder::Desktop ? CSIDL_DESKTOPDIRECTORY : CSIDL_LOCAL_APPDATA;
    char path[MAX_PATH + 1] = {};
    HRESULT hr = SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path);
    wchar_t systemName[MAX_PATH + 1] = {};
    HRESULT wide = SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, systemName);
    if (FAILED(hr) && FAILED(wide)) return Error::FileNotFound;
    // The 8-bit call fails on some systems where the name cannot be spelled, and succeeds with
    // a replaced character on others: either way the folder exists but cannot be named here.
    if (FAILED(hr) || FAILED(wide) || !SpellsSystemName(path, systemName)) {
        return Error::NoUnicodeTranslation;
    }
    EndInSeparator(path);
    return Deliver(path, buffer, size, length);
}

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

Error GetMachineName(char* buffer, std::uint32_t size, std::uint32_t* length) {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof name;
    if (!GetComputerNameA(name, &n)) return FromWin32(GetLastError());
    return Deliver(name, buffer, size, length);
}

}  // namespace Platform
