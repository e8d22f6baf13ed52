// Win32 files and folders: thin wrappers over the 8-bit file entry points.
#include "platform/File.h"

#include <windows.h>

#include "platform/testing/FileTestHook.h"
#include "platform/win32/NativeError.h"

namespace Platform {

namespace {

HANDLE ToNative(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

Error LastError() { return FromWin32(GetLastError()); }

// The OVERLAPPED that makes a read or write of a synchronous handle happen at where.
OVERLAPPED At(std::uint64_t where) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    return at;
}

}  // namespace

Error FileOpen(const char* path, FileAccess access, FileShare share, FileDisposition disposition,
               FileHint hint, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    if (path == nullptr) return Error::InvalidParameter;
    DWORD desired = 0;
    switch (access) {
        case FileAccess::Read: desired = GENERIC_READ; break;
        case FileAccess::Write: desired = GENERIC_WRITE; break;
        case FileAccess::ReadWrite: desired = GENERIC_READ | GENERIC_WRITE; break;
        default: return Error::InvalidParameter;
    }
    DWORD creation = 0;
    switch (disposition) {
        case FileDisposition::CreateNew: creation = CREATE_NEW; break;
        case FileDisposition::CreateAlways: creation = CREATE_ALWAYS; break;
        case FileDisposition::OpenExisting: creation = OPEN_EXISTING; break;
        case FileDisposition::OpenAlways: creation = OPEN_ALWAYS; break;
        case FileDisposition::TruncateExisting: creation = TRUNCATE_EXISTING; break;
        default: return Error::InvalidParameter;
    }
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (hint == FileHint::Sequential) flags |= FILE_FLAG_SEQUENTIAL_SCAN;
    if (hint == FileHint::Random) flags |= FILE_FLAG_RANDOM_ACCESS;
    DWORD shareMode = share == FileShare::Read ? FILE_SHARE_READ : 0;
    HANDLE handle = CreateFileA(path, desired, shareMode, nullptr, creation, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = reinterpret_cast<FileHandle>(handle);
    return Error::None;
}

Error FileRead(FileHandle file, void* data, std::uint32_t count, std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    DWORD done = 0;
    BOOL ok = ReadFile(ToNative(file), data, count, &done, nullptr);
    if (transferred != nullptr) *transferred = done;
    return ok ? Error::None : LastError();
}

Error FileReadAt(FileHandle file, std::uint64_t offset, void* data, std::uint32_t count,
                 std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    std::uint32_t done = 0;
    while (done < count) {
        OVERLAPPED at = At(offset + done);
        DWORD n = 0;
        if (!ReadFile(ToNative(file), static_cast<char*>(data) + done, count - done, &n, &at)) {
            DWORD code = GetLastError();
            if (code == ERROR_HANDLE_EOF) break;
            if (transferred != nullptr) *transferred = done;
            return FromWin32(code);
        }
        if (n == 0) break;
        done += n;
    }
    if (transferred != nullptr) *transferred = done;
    return Error::None;
}

Error FileWrite(FileHandle file, const void* data, std::uint32_t count,
                std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    std::uint32_t allowed = FileTestHook::Admit(count);
    DWORD done = 0;
    BOOL ok = TRUE;
    if (allowed > 0 || count == 0) ok = WriteFile(ToNative(file), data, allowed, &done, nullptr);
    if (transferred != nullptr) *transferred = done;
    if (!ok) return LastError();
    return (allowed < count || done < allowed) ? Error::DiskFull : Error::None;
}

Error FileWriteAt(FileHandle file, std::uint64_t offset, const void* data, std::uint32_t count,
                  std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    const std::uint32_t allowed = FileTestHook::Admit(count);
    std::uint32_t done = 0;
    while (done < allowed) {
        OVERLAPPED at = At(offset + done);
        DWORD n = 0;
        if (!WriteFile(ToNative(file), static_cast<const char*>(data) + done, allowed - done, &n,
                       &at)) {
            if (transferred != nullptr) *transferred = done;
            return LastError();
        }
        if (n == 0) break;
        done += n;
    }
    if (transferred != nullptr) *transferred = done;
    return done < count ? Error::DiskFull : Error::None;
}

Error FileSeek(FileHandle file, std::int32_t distance, SeekOrigin origin, std::uint32_t* position) {
    if (file == NullFile) return Error::InvalidHandle;
    DWORD method = origin == SeekOrigin::Current ? FILE_CURRENT : FILE_BEGIN;
    SetLastError(ERROR_SUCCESS);
    DWORD at = SetFilePointer(ToNative(file), distance, nullptr, method);
    if (at == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
        DWORD e = GetLastError();
        return e == ERROR_NEGATIVE_SEEK ? Error::InvalidParameter : FromWin32(e);
    }
    if (position != nullptr) *position = at;
    return Error::None;
}

Error FileGetSize(FileHandle file, std::uint32_t* size) {
    if (file == NullFile) return Error::InvalidHandle;
    SetLastError(ERROR_SUCCESS);
    DWORD low = GetFileSize(ToNative(file), nullptr);
    if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return LastError();
    if (size != nullptr) *size = low;
    return Error::None;
}

Error FileSetEnd(FileHandle file) {
    if (file == NullFile) return Error::InvalidHandle;
    return SetEndOfFile(ToNative(file)) ? Error::None : LastError();
}

Error FileSetLength(FileHandle file, std::uint64_t length) {
    if (file == NullFile) return Error::InvalidHandle;
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    return SetFileInformationByHandle(ToNative(file), FileEndOfFileInfo, &end, sizeof end)
               ? Error::None
               : LastError();
}

Error FileGetFacts(FileHandle file, PathFacts* facts) {
    if (file == NullFile) return Error::InvalidHandle;
    if (facts == nullptr) return Error::InvalidParameter;
    *facts = PathFacts{};
    if (GetFileType(ToNative(file)) != FILE_TYPE_DISK) {
        facts->kind = PathKind::Special;
        return Error::None;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(ToNative(file), &info)) return LastError();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        facts->kind = PathKind::Folder;
        return Error::None;
    }
    facts->kind = PathKind::File;
    facts->size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    facts->modified = static_cast<std::int64_t>(
        static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
        info.ftLastWriteTime.dwLowDateTime);
    return Error::None;
}

Error FileFindData(FileHandle file, std::uint64_t offset, std::uint64_t* dataStart,
                   std::uint64_t* dataEnd) {
    if (file == NullFile) return Error::InvalidHandle;
    if (dataStart == nullptr || dataEnd == nullptr) return Error::InvalidParameter;
    // Every byte counts as data: the reader simply reads the holes.
    *dataStart = offset;
    *dataEnd = ~std::uint64_t{0};
    return Error::None;
}

Error FileClose(FileHandle file) {
    if (file == NullFile) return Error::InvalidHandle;
    return CloseHandle(ToNative(file)) ? Error::None : LastError();
}

bool FileExists(const char* path) {
    if (path == nullptr) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

Error FolderCreate(const char* path) {
    if (path == nullptr) return Error::InvalidParameter;
    return CreateDirectoryA(path, nullptr) ? Error::None : LastError();
}

Error FolderRemove(const char* path) {
    if (path == nullptr) return Error::InvalidParameter;
    return RemoveDirectoryA(path) ? Error::None : LastError();
}

Error FileDelete(const char* path) {
    if (path == nullptr) return Error::InvalidParameter;
    return DeleteFileA(path) ? Error::None : LastError();
}

Error FileMove(const char* oldPath, const char* newPath) {
    if (oldPath == nullptr || newPath == nullptr) return Error::InvalidParameter;
    return MoveFileA(oldPath, newPath) ? Error::None : LastError();
}

FileHold FileHoldOf(const char* path) {
    if (path == nullptr) return FileHold::Blocked;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return FileHold::Missing;
        return e == ERROR_SHARING_VIOLATION ? FileHold::InUse : FileHold::Blocked;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileHold::Blocked;
    // Opened for writing only to ask, and closed at once: nothing is written or cut.
    HANDLE probe =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return FileHold::Free;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? FileHold::InUse : FileHold::Blocked;
}

}  // namespace Platform
