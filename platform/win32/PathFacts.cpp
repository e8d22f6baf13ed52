// PathFacts on Windows: attributes for the kind and size, MoveFileEx to replace.
#include "platform/PathFacts.h"

#include <windows.h>

#include "platform/win32/NativeError.h"

namespace Platform {

Error InspectPath(const char* path, PathFacts* facts) {
    if (facts == nullptr || path == nullptr) return Error::InvalidParameter;
    *facts = PathFacts{};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? Error::None : FromWin32(e);
    }
    bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::uint64_t size = static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        facts->kind = folder ? PathKind::Folder : PathKind::File;
        facts->size = folder ? 0 : size;
        return Error::None;
    }
    // A link: open its target to see whether it is there, and take the target's size.
    HANDLE target = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        facts->kind = PathKind::DanglingLink;
        return Error::None;
    }
    if (folder) {
        facts->kind = PathKind::LinkToFolder;
    } else {
        LARGE_INTEGER length;
        facts->kind = PathKind::LinkToFile;
        facts->size =
            GetFileSizeEx(target, &length) ? static_cast<std::uint64_t>(length.QuadPart) : 0;
    }
    CloseHandle(target);
    return Error::None;
}

Error FileReplace(const char* source, const char* target) {
    if (source == nullptr || target == nullptr) return Error::InvalidParameter;
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return Error::AccessDenied;
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING) ? Error::None
                                                                  : FromWin32(GetLastError());
}

bool ReplaceMatchesNamesLoosely() { return true; }

}  // namespace Platform
