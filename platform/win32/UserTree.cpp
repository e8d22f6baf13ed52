// UserTree on Windows: folders held open without delete sharing (so none on the way can be
// renamed or swapped for a link while it is in use), reparse points refused, 8-bit calls.
#include "platform/UserTree.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "platform/PathFacts.h"
#include "platform/win32/NativeError.h"

namespace Platform {

struct UserFolderObject {
    std::string path;  // ends in a separator
    HANDLE handle;
    UserFolderObject* parent;  // held while this one is: the path runs through it
    std::atomic<int> references;
};

namespace {

FileHandle ToFile(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }
HANDLE ToNative(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

Error LastError() { return FromWin32(GetLastError()); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string::npos;
}

std::string AsFolder(std::string path) {
    if (path.empty() || !IsSeparator(path.back())) path += '\\';
    return path;
}

// A folder handle that lets others read and write the folder but neither rename nor delete it.
HANDLE OpenFolderHandle(const std::string& path, bool followLink) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (!followLink) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    return CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
}

UserFolder NewFolder(const std::string& path, HANDLE handle, UserFolder parent) {
    UserFolder folder = new (std::nothrow) UserFolderObject{AsFolder(path), handle, parent, {1}};
    if (folder == nullptr) {
        CloseHandle(handle);
        return nullptr;
    }
    if (parent != nullptr) parent->references.fetch_add(1);
    return folder;
}

void Release(UserFolder folder) {
    while (folder != nullptr && folder->references.fetch_sub(1) == 1) {
        UserFolder parent = folder->parent;
        CloseHandle(folder->handle);
        delete folder;
        folder = parent;
    }
}

std::int64_t Stamp(const FILETIME& time) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(time.dwHighDateTime) << 32 |
                                     time.dwLowDateTime);
}

std::string FolderPart(const std::string& path) {
    const std::string::size_type cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    return path.substr(0, cut + 1);
}

std::string NamePart(const std::string& path) {
    const std::string::size_type cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

Error DuplicateStandard(DWORD which, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    HANDLE process = GetCurrentProcess();
    HANDLE copy = INVALID_HANDLE_VALUE;
    HANDLE standard = GetStdHandle(which);
    if (standard == nullptr || standard == INVALID_HANDLE_VALUE) return Error::InvalidHandle;
    if (!DuplicateHandle(process, standard, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return LastError();
    *file = ToFile(copy);
    return Error::None;
}

}  // namespace

bool UserNamesMatchLoosely() { return true; }

char HostSeparator() { return '\\'; }

Error UserFolderOpen(const std::string& hostPath, UserFolder* folder) {
    if (folder == nullptr) return Error::InvalidParameter;
    *folder = nullptr;
    if (hostPath.empty()) return Error::PathNotFound;
    HANDLE handle = OpenFolderHandle(hostPath, true);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND ? Error::PathNotFound : FromWin32(e);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(handle);
        return Error::NotAFolder;
    }
    *folder = NewFolder(hostPath, handle, nullptr);
    return *folder == nullptr ? Error::NotEnoughMemory : Error::None;
}

Error UserFolderMake(const std::string& hostPath) {
    if (hostPath.empty()) return Error::PathNotFound;
    for (std::string::size_type i = 0; i <= hostPath.size(); ++i) {
        if (i < hostPath.size() && !IsSeparator(hostPath[i])) continue;
        const std::string part = hostPath.substr(0, i);
        // The drive ("C:") and a network share's first parts are never made.
        if (part.empty() || part.back() == ':' || IsSeparator(part.back())) continue;
        if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
            GetLastError() != ERROR_ACCESS_DENIED)
            return LastError();
    }
    const DWORD attributes = GetFileAttributesA(hostPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Error::None : Error::NotAFolder;
}

Error UserFolderOpenChild(UserFolder parent, const std::string& name, bool create,
                          UserFolder* child, bool* made) {
    if (child == nullptr) return Error::InvalidParameter;
    *child = nullptr;
    if (made != nullptr) *made = false;
    if (parent == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    const std::string path = parent->path + name;
    HANDLE handle = OpenFolderHandle(path, false);
    if (handle == INVALID_HANDLE_VALUE && create && GetLastError() == ERROR_FILE_NOT_FOUND) {
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            if (made != nullptr) *made = true;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return LastError();
        }
        handle = OpenFolderHandle(path, false);
    }
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    Error error = Error::None;
    if (!GetFileInformationByHandle(handle, &info))
        error = LastError();
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        error = Error::StoppedOnLink;
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        error = Error::NotAFolder;
    if (error != Error::None) {
        CloseHandle(handle);
        return error;
    }
    *child = NewFolder(path, handle, parent);
    return *child == nullptr ? Error::NotEnoughMemory : Error::None;
}

void UserFolderClose(UserFolder folder) { Release(folder); }

bool UserSameFolder(UserFolder a, UserFolder b) {
    if (a == nullptr || b == nullptr) return false;
    BY_HANDLE_FILE_INFORMATION ia;
    BY_HANDLE_FILE_INFORMATION ib;
    return GetFileInformationByHandle(a->handle, &ia) &&
           GetFileInformationByHandle(b->handle, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

Error UserFolderList(UserFolder folder, std::vector<UserEntry>* entries) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (entries == nullptr) return Error::InvalidParameter;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder->path + "*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_NO_MORE_FILES ? Error::None : FromWin32(e);
    }
    Error result = Error::None;
    try {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            UserEntry entry;
            entry.name = name;
            entry.hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                entry.error = InspectPath((folder->path + name).c_str(), &entry.facts);
            } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                entry.facts.kind = PathKind::Folder;
            } else {
                entry.facts.kind = PathKind::File;
                entry.facts.size =
                    static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
                entry.facts.modified = Stamp(data.ftLastWriteTime);
            }
            entries->push_back(std::move(entry));
        } while (FindNextFileA(search, &data));
        const DWORD e = GetLastError();
        if (e != ERROR_NO_MORE_FILES) result = FromWin32(e);
    } catch (const std::bad_alloc&) {
        result = Error::NotEnoughMemory;
    }
    FindClose(search);
    return result;
}

Error UserInspect(UserFolder folder, const std::string& name, PathFacts* facts) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (facts == nullptr || !IsComponent(name)) return Error::InvalidParameter;
    return InspectPath((folder->path + name).c_str(), facts);
}

Error UserFileOpenRead(UserFolder folder, const std::string& relative, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    if (folder == nullptr) return Error::InvalidHandle;
    HANDLE handle = CreateFileA((folder->path + relative).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return Error::InvalidParameter;
    }
    *file = ToFile(handle);
    return Error::None;
}

Error UserFileCreate(UserFolder folder, const std::string& name, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    HANDLE handle = CreateFileA((folder->path + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS ? Error::FileExists
                                                                   : FromWin32(e);
    }
    *file = ToFile(handle);
    return Error::None;
}

Error UserFileOpenWrite(UserFolder folder, const std::string& name, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    HANDLE handle = CreateFileA((folder->path + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    Error error = Error::None;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        error = Error::InvalidParameter;
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        error = Error::StoppedOnLink;
    if (error != Error::None) {
        CloseHandle(handle);
        return error;
    }
    *file = ToFile(handle);
    return Error::None;
}

Error UserFileMarkExecutable(FileHandle file) {
    return file == NullFile ? Error::InvalidHandle : Error::None;
}

Error UserFileAdoptMode(FileHandle file, UserFolder folder, const std::string& name, bool) {
    if (file == NullFile || folder == nullptr) return Error::InvalidHandle;
    const DWORD attributes = GetFileAttributesA((folder->path + name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
               ? Error::StoppedOnLink
               : Error::None;
}

Error UserFileReplace(UserFolder folder, const std::string& from, const std::string& to,
                      bool noReplace) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(from) || !IsComponent(to)) return Error::InvalidName;
    const std::string target = folder->path + to;
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return noReplace ? Error::AlreadyExists : Error::AccessDenied;
    if (MoveFileExA((folder->path + from).c_str(), target.c_str(),
                    noReplace ? 0 : MOVEFILE_REPLACE_EXISTING))
        return Error::None;
    const DWORD e = GetLastError();
    if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS)
        return noReplace ? Error::AlreadyExists : Error::AccessDenied;
    return FromWin32(e);
}

Error UserFileDelete(UserFolder folder, const std::string& name) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    return DeleteFileA((folder->path + name).c_str()) ? Error::None : LastError();
}

Error UserTargetInspect(const std::string& hostPath, UserTarget* target) {
    if (target == nullptr || hostPath.empty()) return Error::InvalidParameter;
    *target = UserTarget{};
    // Opened as it would be written, links followed: a device ("NUL", "\\.\pipe\x") answers as
    // one only this way.
    HANDLE handle =
        CreateFileA(hostPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) return FromWin32(e);
        const DWORD attributes = GetFileAttributesA(hostPath.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            target->kind = PathKind::DanglingLink;
            return Error::None;
        }
        target->folder = FolderPart(hostPath);
        target->name = NamePart(hostPath);
        return Error::None;
    }
    Error error = Error::None;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        target->kind = PathKind::Special;
    } else if (!GetFileInformationByHandle(handle, &info)) {
        error = LastError();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        target->kind = PathKind::Folder;
    } else {
        target->kind = PathKind::File;
        target->links = info.nNumberOfLinks;
        target->writable = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
        std::string path = hostPath;
        char final[MAX_PATH * 4];
        const DWORD n = GetFinalPathNameByHandleA(handle, final, sizeof final, 0);
        if (n > 0 && n < sizeof final) {
            path = final;
            if (path.compare(0, 8, "\\\\?\\UNC\\") == 0)
                path = "\\\\" + path.substr(8);
            else if (path.compare(0, 4, "\\\\?\\") == 0)
                path = path.substr(4);
        }
        target->folder = FolderPart(path);
        target->name = NamePart(path);
    }
    CloseHandle(handle);
    return error;
}

Error UserFileOpenPath(const std::string& hostPath, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    HANDLE handle = CreateFileA(hostPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = ToFile(handle);
    return Error::None;
}

Error UserStreamOpenWrite(const std::string& hostPath, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    HANDLE handle = CreateFileA(hostPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = ToFile(handle);
    return Error::None;
}

Error StandardInputFile(FileHandle* file) { return DuplicateStandard(STD_INPUT_HANDLE, file); }

Error StandardOutputFile(FileHandle* file) { return DuplicateStandard(STD_OUTPUT_HANDLE, file); }

bool FileIsTerminal(FileHandle file) {
    DWORD mode = 0;
    return file != NullFile && GetConsoleMode(ToNative(file), &mode) != 0;
}

Error ScratchFileCreate(const std::string& hostFolder, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    std::string folder = hostFolder;
    if (folder.empty()) {
        char temp[MAX_PATH + 1];
        const DWORD n = GetTempPathA(sizeof temp, temp);
        if (n == 0 || n > MAX_PATH) return LastError();
        folder = temp;
    }
    char name[MAX_PATH + 1];
    if (GetTempFileNameA(folder.c_str(), "qxa", 0, name) == 0) return LastError();
    HANDLE handle = CreateFileA(
        name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const Error error = LastError();
        DeleteFileA(name);
        return error;
    }
    *file = ToFile(handle);
    return Error::None;
}

}  // namespace Platform
