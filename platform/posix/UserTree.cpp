// UserTree on POSIX: folder descriptors and the *at calls with O_NOFOLLOW, so names are taken
// byte for byte and no link planted on the way is ever followed.
#include "platform/UserTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/posix/FactsAt.h"
#include "platform/posix/FileObject.h"
#include "platform/posix/NativeError.h"
#include "platform/posix/SystemCall.h"

namespace Platform {

struct UserFolderObject {
    int fd;
    bool readable;  // opened for reading (its entries can be listed), not only as a place
};

namespace {

bool IsComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

PathKind KindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Special;
}

// Why a name that should have opened as a folder did not: a link, or something else.
Error NotAFolderAt(int dirFd, const char* name) {
    struct stat st {};
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return FromErrno(errno);
    return S_ISLNK(st.st_mode) ? Error::StoppedOnLink : Error::NotAFolder;
}

UserFolder NewFolder(int fd, bool readable) {
    UserFolder folder = new (std::nothrow) UserFolderObject{fd, readable};
    if (folder == nullptr) close(fd);
    return folder;
}

// The handle for a descriptor just opened; NotEnoughMemory (the descriptor closed) when none.
Error Adopt(Descriptor* fd, bool writable, FileHandle* file) {
    *file = NewFileObject(fd->Get(), writable);
    if (*file == NullFile) return Error::NotEnoughMemory;
    fd->Release();
    return Error::None;
}

// Opens a regular file without waiting on a FIFO or device: such a name is refused.
Error OpenRegular(int dirFd, const char* path, int flags, bool writable, FileHandle* file) {
    Descriptor fd(RetryInterrupted(
        [&] { return openat(dirFd, path, flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }));
    if (!fd.Valid()) {
        const int e = errno;
        if (e == ENOENT) return Error::FileNotFound;
        if (e == ENOTDIR) return Error::NotAFolder;
        return FromErrno(e);
    }
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0) return FromErrno(errno);
    if (!S_ISREG(st.st_mode)) return Error::InvalidParameter;
    const int status = fcntl(fd.Get(), F_GETFL);
    if (status >= 0) fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK);
    return Adopt(&fd, writable, file);
}

std::string FolderPart(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Error DuplicateStandard(int which, bool writable, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    Descriptor fd(fcntl(which, F_DUPFD_CLOEXEC, 0));
    if (!fd.Valid()) return FromErrno(errno);
    return Adopt(&fd, writable, file);
}

}  // namespace

bool UserNamesMatchLoosely() { return false; }

char HostSeparator() { return '/'; }

Error UserFolderOpen(const std::string& hostPath, UserFolder* folder) {
    if (folder == nullptr) return Error::InvalidParameter;
    *folder = nullptr;
    if (hostPath.empty()) return Error::PathNotFound;
    int fd = RetryInterrupted(
        [&] { return open(hostPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    bool readable = fd >= 0;
    // A folder one may work in without listing it (search and write permission only).
    if (fd < 0 && errno == EACCES) fd = open(hostPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT) return Error::PathNotFound;
        if (e == ENOTDIR) return Error::NotAFolder;
        return FromErrno(e);
    }
    *folder = NewFolder(fd, readable);
    return *folder == nullptr ? Error::NotEnoughMemory : Error::None;
}

Error UserFolderMake(const std::string& hostPath) {
    if (hostPath.empty()) return Error::PathNotFound;
    for (std::string::size_type end = hostPath.find('/', 1);; end = hostPath.find('/', end + 1)) {
        const std::string part = hostPath.substr(0, end);
        if (!part.empty() && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            const int e = errno;
            if (e == ENOTDIR) return Error::NotAFolder;
            if (e == ENOENT) return Error::PathNotFound;
            return FromErrno(e);
        }
        if (end == std::string::npos) break;
    }
    struct stat st {};
    if (stat(hostPath.c_str(), &st) != 0) return FromErrno(errno);
    return S_ISDIR(st.st_mode) ? Error::None : Error::NotAFolder;
}

Error UserFolderOpenChild(UserFolder parent, const std::string& name, bool create,
                          UserFolder* child, bool* made) {
    if (child == nullptr) return Error::InvalidParameter;
    *child = nullptr;
    if (made != nullptr) *made = false;
    if (parent == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    const char* n = name.c_str();
    auto openChild = [&](int mode) {
        return RetryInterrupted(
            [&] { return openat(parent->fd, n, mode | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    };
    int fd = openChild(O_RDONLY);
    if (fd < 0 && errno == ENOENT && create) {
        if (mkdirat(parent->fd, n, 0777) == 0) {
            if (made != nullptr) *made = true;
        } else if (errno != EEXIST) {
            const int e = errno;
            return e == ENOENT ? Error::PathNotFound : FromErrno(e);
        }
        fd = openChild(O_RDONLY);
    }
    bool readable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = openChild(O_PATH);
    if (fd < 0) {
        const int e = errno;
        // Opened with O_PATH, a link would open as itself: only a plain open meets ELOOP.
        if (e == ELOOP || e == ENOTDIR) return NotAFolderAt(parent->fd, n);
        if (e == ENOENT) return Error::FileNotFound;
        return FromErrno(e);
    }
    *child = NewFolder(fd, readable);
    return *child == nullptr ? Error::NotEnoughMemory : Error::None;
}

void UserFolderClose(UserFolder folder) {
    if (folder == nullptr) return;
    close(folder->fd);
    delete folder;
}

bool UserSameFolder(UserFolder a, UserFolder b) {
    if (a == nullptr || b == nullptr) return false;
    struct stat sa {};
    struct stat sb {};
    return fstat(a->fd, &sa) == 0 && fstat(b->fd, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

Error UserFolderList(UserFolder folder, std::vector<UserEntry>* entries) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (entries == nullptr) return Error::InvalidParameter;
    int fd = folder->readable ? fcntl(folder->fd, F_DUPFD_CLOEXEC, 0)
                              : openat(folder->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FromErrno(errno);
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const int e = errno;
        close(fd);
        return FromErrno(e);
    }
    rewinddir(dir);  // a duplicate shares the position of the folder's own descriptor
    Error result = Error::None;
    try {
        for (;;) {
            errno = 0;
            const dirent* d = readdir(dir);
            if (d == nullptr) {
                if (errno != 0) result = FromErrno(errno);
                break;
            }
            if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
            UserEntry entry;
            entry.name = d->d_name;
            entry.hidden = d->d_name[0] == '.';
            entry.error = FactsAt(dirfd(dir), d->d_name, &entry.facts);
            entries->push_back(std::move(entry));
        }
    } catch (const std::bad_alloc&) {
        result = Error::NotEnoughMemory;
    }
    closedir(dir);
    return result;
}

Error UserInspect(UserFolder folder, const std::string& name, PathFacts* facts) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (facts == nullptr || !IsComponent(name)) return Error::InvalidParameter;
    return FactsAt(folder->fd, name.c_str(), facts);
}

Error UserFileOpenRead(UserFolder folder, const std::string& relative, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    if (folder == nullptr) return Error::InvalidHandle;
    std::string path = relative;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return OpenRegular(folder->fd, path.c_str(), O_RDONLY, false, file);
}

Error UserFileCreate(UserFolder folder, const std::string& name, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    Descriptor fd(RetryInterrupted([&] {
        return openat(folder->fd, name.c_str(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    }));
    if (!fd.Valid()) {
        const int e = errno;
        return e == EEXIST ? Error::FileExists : FromErrno(e);
    }
    return Adopt(&fd, true, file);
}

Error UserFileOpenWrite(UserFolder folder, const std::string& name, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    return OpenRegular(folder->fd, name.c_str(), O_WRONLY | O_NOFOLLOW, true, file);
}

Error UserFileMarkExecutable(FileHandle file) {
    if (file == NullFile) return Error::InvalidHandle;
    struct stat st {};
    if (fstat(file->fd, &st) != 0) return FromErrno(errno);
    const mode_t mode = st.st_mode & 07777;
    return fchmod(file->fd, mode | ((mode & 0444) >> 2)) == 0 ? Error::None : FromErrno(errno);
}

Error UserFileAdoptMode(FileHandle file, UserFolder folder, const std::string& name,
                        bool keepOwner) {
    if (file == NullFile || folder == nullptr) return Error::InvalidHandle;
    struct stat old {};
    if (!IsComponent(name) || fstatat(folder->fd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0)
        return Error::None;
    if (S_ISLNK(old.st_mode)) return Error::StoppedOnLink;
    if (!S_ISREG(old.st_mode)) return Error::None;
    struct stat mine {};
    if (fstat(file->fd, &mine) != 0) return FromErrno(errno);
    if (keepOwner && (mine.st_uid != old.st_uid || mine.st_gid != old.st_gid) &&
        fchown(file->fd, old.st_uid, old.st_gid) != 0)
        return Error::AccessDenied;
    // After the owner: a change of owner clears the set-user and set-group bits.
    if (fchmod(file->fd, old.st_mode & 07777) != 0) return FromErrno(errno);
    return Error::None;
}

Error UserFileReplace(UserFolder folder, const std::string& from, const std::string& to,
                      bool noReplace) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(from) || !IsComponent(to)) return Error::InvalidName;
    int result = 0;
    if (noReplace) {
        result = renameat2(folder->fd, from.c_str(), folder->fd, to.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without the flag: a hard link fails on an existing name as well.
            result = linkat(folder->fd, from.c_str(), folder->fd, to.c_str(), 0);
            if (result == 0) unlinkat(folder->fd, from.c_str(), 0);
        }
    } else {
        result = renameat(folder->fd, from.c_str(), folder->fd, to.c_str());
    }
    if (result == 0) return Error::None;
    const int e = errno;
    if (e == EEXIST || e == ENOTEMPTY)
        return noReplace ? Error::AlreadyExists : Error::AccessDenied;
    if (e == EISDIR) return Error::AccessDenied;
    return FromErrno(e);
}

Error UserFileDelete(UserFolder folder, const std::string& name) {
    if (folder == nullptr) return Error::InvalidHandle;
    if (!IsComponent(name)) return Error::InvalidName;
    return unlinkat(folder->fd, name.c_str(), 0) == 0 ? Error::None : FromErrno(errno);
}

Error UserTargetInspect(const std::string& hostPath, UserTarget* target) {
    if (target == nullptr || hostPath.empty()) return Error::InvalidParameter;
    *target = UserTarget{};
    struct stat st {};
    if (lstat(hostPath.c_str(), &st) != 0) {
        const int e = errno;
        if (e != ENOENT) return FromErrno(e);
        target->folder = FolderPart(hostPath);
        target->name = NamePart(hostPath);
        return Error::None;
    }
    std::string path = hostPath;
    if (S_ISLNK(st.st_mode)) {
        if (stat(hostPath.c_str(), &st) != 0) {
            target->kind = PathKind::DanglingLink;
            return Error::None;
        }
        // Only a regular file is written beside: its true place is needed. A stream is opened
        // through the name as given (a link such as /dev/stdout may not resolve to a path).
        if (S_ISREG(st.st_mode)) {
            char* resolved = realpath(hostPath.c_str(), nullptr);
            if (resolved == nullptr) return FromErrno(errno);
            path = resolved;
            free(resolved);
        }
    }
    target->kind = KindOf(st);
    if (target->kind != PathKind::File) return Error::None;
    target->folder = FolderPart(path);
    target->name = NamePart(path);
    target->links = static_cast<std::uint32_t>(st.st_nlink);
    target->writable = faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
    return Error::None;
}

Error UserFileOpenPath(const std::string& hostPath, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    Descriptor fd(
        RetryInterrupted([&] { return open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY); }));
    if (!fd.Valid()) {
        const int e = errno;
        if (e == ENOENT) return Error::FileNotFound;
        if (e == ENOTDIR) return Error::PathNotFound;
        return FromErrno(e);
    }
    return Adopt(&fd, false, file);
}

Error UserStreamOpenWrite(const std::string& hostPath, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    Descriptor fd(
        RetryInterrupted([&] { return open(hostPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY); }));
    if (!fd.Valid()) return FromErrno(errno);
    return Adopt(&fd, true, file);
}

Error StandardInputFile(FileHandle* file) { return DuplicateStandard(STDIN_FILENO, false, file); }

Error StandardOutputFile(FileHandle* file) { return DuplicateStandard(STDOUT_FILENO, true, file); }

bool FileIsTerminal(FileHandle file) { return file != NullFile && isatty(file->fd) == 1; }

Error ScratchFileCreate(const std::string& hostFolder, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    std::string folder = hostFolder;
    if (folder.empty()) {
        const char* tmp = getenv("TMPDIR");
        folder = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    }
    // A file without a name from the start; where the file system cannot make one, a named
    // file removed at once.
    Descriptor fd(RetryInterrupted(
        [&] { return open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); }));
    if (!fd.Valid()) {
        std::string pattern = folder + "/.qxarc-scratch.XXXXXX";
        fd = Descriptor(mkostemp(&pattern[0], O_CLOEXEC));
        if (!fd.Valid()) return FromErrno(errno);
        unlink(pattern.c_str());
    }
    return Adopt(&fd, true, file);
}

}  // namespace Platform
