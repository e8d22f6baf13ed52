// Dynamic libraries on Windows: LoadLibraryA / GetProcAddress / FreeLibrary and OleInitialize.
#include "platform/DynamicLibrary.h"

#include <windows.h>

#include <ole2.h>

#include "platform/win32/NativeError.h"

namespace Platform {

namespace {

// Spelled out for headers that predate them.
constexpr DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
constexpr DWORD kSearchSystem32 = 0x00000800;    // LOAD_LIBRARY_SEARCH_SYSTEM32

LibraryHandle Load(const char* path, DWORD flags, Error* error) {
    if (path == nullptr || path[0] == '\0') {
        if (error != nullptr) *error = Error::InvalidParameter;
        return nullptr;
    }
    // No error dialog boxes for a missing or damaged file: the caller reports the failure.
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryExA(path, nullptr, flags);
    DWORD lastError = ::GetLastError();
    ::SetErrorMode(oldMode);
    if (module == nullptr) {
        if (error != nullptr) {
            Error e = FromWin32(lastError);
            if (lastError == ERROR_MOD_NOT_FOUND || e == Error::PathNotFound)
                e = Error::FileNotFound;
            if (lastError == ERROR_BAD_EXE_FORMAT) e = Error::BadFormat;
            *error = e;
        }
        return nullptr;
    }
    if (error != nullptr) *error = Error::None;
    return reinterpret_cast<LibraryHandle>(module);
}

}  // namespace

LibraryHandle LoadLibraryFromPath(const char* path, Error* error) { return Load(path, 0, error); }

LibraryHandle LoadLibraryWithNeighbours(const char* path, Error* error) {
    return Load(path, kSearchDllLoadDir | kSearchSystem32, error);
}

ExportedFunction FindExport(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    FARPROC proc = ::GetProcAddress(reinterpret_cast<HMODULE>(library), name);
    return reinterpret_cast<ExportedFunction>(reinterpret_cast<void*>(proc));
}

void FreeLibrary(LibraryHandle library) {
    if (library != nullptr) ::FreeLibrary(reinterpret_cast<HMODULE>(library));
}

bool InitializeCom() {
    HRESULT result = ::OleInitialize(nullptr);
    return SUCCEEDED(result);
}

void UninitializeCom() { ::OleUninitialize(); }

}  // namespace Platform
