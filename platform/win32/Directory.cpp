// Directory enumeration on Windows: FindFirstFileA / FindNextFileA / FindClose.
#include "platform/Directory.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "platform/win32/NativeError.h"

namespace Platform {

struct DirectorySearch {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

void SetError(Error* error, Error value) {
    if (error != nullptr) *error = value;
}

bool IsDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void Fill(const WIN32_FIND_DATAA& data, DirectoryEntry* entry) {
    std::size_t length = std::strlen(data.cFileName);
    if (length >= static_cast<std::size_t>(kDirectoryNameSize)) length = kDirectoryNameSize - 1;
    std::memcpy(entry->name, data.cFileName, length);
    entry->name[length] = '\0';
    // A reparse point (junction, link) counts as a file, as links do on POSIX: a tree walk
    // never follows one into a loop.
    entry->isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                      (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    entry->isHidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

// Advances past "." and ".."; false at the end (error set) with data untouched.
bool NextNamed(HANDLE handle, WIN32_FIND_DATAA* data, Error* error) {
    for (;;) {
        if (!::FindNextFileA(handle, data)) {
            DWORD e = ::GetLastError();
            SetError(error, e == ERROR_NO_MORE_FILES ? Error::NoMoreFiles : FromWin32(e));
            return false;
        }
        if (!IsDotEntry(data->cFileName)) return true;
    }
}

}  // namespace

DirectoryHandle DirectoryFindFirst(const char* pattern, DirectoryEntry* entry, Error* error) {
    if (pattern == nullptr || entry == nullptr) {
        SetError(error, Error::InvalidParameter);
        return nullptr;
    }
    WIN32_FIND_DATAA data;
    HANDLE handle = ::FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        SetError(error, e == ERROR_NO_MORE_FILES ? Error::FileNotFound : FromWin32(e));
        return nullptr;
    }
    if (IsDotEntry(data.cFileName) && !NextNamed(handle, &data, error)) {
        ::FindClose(handle);
        if (error != nullptr && *error == Error::NoMoreFiles) *error = Error::FileNotFound;
        return nullptr;
    }
    auto* search = new (std::nothrow) DirectorySearch;
    if (search == nullptr) {
        ::FindClose(handle);
        SetError(error, Error::NotEnoughMemory);
        return nullptr;
    }
    search->handle = handle;
    Fill(data, entry);
    SetError(error, Error::None);
    return search;
}

bool DirectoryFindNext(DirectoryHandle search, DirectoryEntry* entry, Error* error) {
    if (search == nullptr || entry == nullptr) {
        SetError(error, Error::InvalidParameter);
        return false;
    }
    WIN32_FIND_DATAA data;
    if (!NextNamed(search->handle, &data, error)) return false;
    Fill(data, entry);
    SetError(error, Error::None);
    return true;
}

void DirectoryFindClose(DirectoryHandle search) {
    if (search == nullptr) return;
    ::FindClose(search->handle);
    delete search;
}

}  // namespace Platform
