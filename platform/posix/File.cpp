// POSIX files and folders behind Windows-shaped paths, with Windows sharing rules emulated by
// locks.
#include "platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/posix/FactsAt.h"
#include "platform/posix/FileObject.h"
#include "platform/posix/NativeError.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/SystemCall.h"
#include "platform/posix/WildcardName.h"
#include "platform/testing/FileTestHook.h"

namespace Platform {

namespace {

// Sharing is modelled with open-file-description locks over the whole file. They belong to the
// open, not to the process, so two opens inside one process conflict just as two processes do,
// and closing some other descriptor of the file never drops them. An open that may write, or
// that shares nothing, claims the file exclusively; a read-only open that shares reading claims
// it shared. That reproduces the Windows outcome for every pair of opens this layer can make.
flock WholeFile(short type) {
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    lock.l_pid = 0;
    return lock;
}

bool LockUnsupported(int e) { return e == EINVAL || e == ENOLCK || e == EOPNOTSUPP; }

// True when another open holds a claim on the file at path (so Windows would refuse to delete or
// move it: none of our opens shares deletion).
bool IsHeldOpen(const std::string& path) {
    Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) return false;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    flock probe = WholeFile(F_WRLCK);
    return fcntl(fd.Get(), F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

std::string ParentOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ENOENT means a missing file or a missing folder on the way; Windows tells them apart.
Error MissingError(const std::string& path) {
    return IsFolder(ParentOf(path)) ? Error::FileNotFound : Error::PathNotFound;
}

// The POSIX path a Windows-shaped one names, found as the Windows file system finds names
// (letter case ignored, trailing dots and spaces dropped; see ResolvePosixPath).
Error MapPath(const char* path, std::string* mapped, bool wildcardLast = false) {
    if (path == nullptr) return Error::InvalidParameter;
    if (!ResolvePosixPath(path, mapped, wildcardLast) || mapped->empty()) {
        return Error::PathNotFound;
    }
    return Error::None;
}

// A descriptor opened for the other direction only answers EBADF: as Windows, access denied.
Error TransferError(int e) { return e == EBADF ? Error::AccessDenied : FromErrno(e); }

// Moves a file to another file system as the system's move does there: a new file with the
// same bytes and permission bits, made without replacing anything, then the original deleted.
// A failed copy removes what it made and leaves the original.
Error CopyThenDelete(const std::string& from, const std::string& to) {
    Descriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (!in.Valid()) return errno == ELOOP ? Error::NotSameDevice : FromErrno(errno);
    struct stat st {};
    if (fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Error::NotSameDevice;  // folders (and anything but a plain file) stay put
    }
    Descriptor out(
        open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, st.st_mode & 07777));
    if (!out.Valid()) {
        if (errno == EEXIST) return Error::AlreadyExists;
        if (errno == ENOENT || errno == ENOTDIR) return Error::PathNotFound;
        return FromErrno(errno);
    }
    Error result = Error::None;
    char buffer[65536];
    for (;;) {
        std::size_t got = 0;
        int e = ReadWhole(in.Get(), buffer, sizeof buffer, &got);
        if (e != 0) result = TransferError(e);
        if (e != 0 || got == 0) break;
        e = WriteWhole(out.Get(), buffer, got);
        if (e != 0) {
            result = FromErrno(e);
            break;
        }
    }
    if (result == Error::None && fsync(out.Get()) != 0) result = FromErrno(errno);
    const int e = out.Close();
    if (e != 0 && result == Error::None) result = FromErrno(e);
    in.Close();
    if (result == Error::None && unlink(from.c_str()) != 0) result = FromErrno(errno);
    if (result != Error::None) unlink(to.c_str());
    return result;
}

}  // namespace

Error FileOpen(const char* path, FileAccess access, FileShare share, FileDisposition disposition,
               FileHint hint, FileHandle* file) {
    if (file == nullptr) return Error::InvalidParameter;
    *file = NullFile;
    // A new file of a name with one spelling is made under the path as given, with no look
    // at the folders first: extracting many files pays one call per file, not a lookup each.
    std::string p;
    bool direct = disposition == FileDisposition::CreateNew && SingleSpellingPath(path, &p);
    if (!direct) {
        Error mapped = MapPath(path, &p);
        if (mapped != Error::None) return mapped;
    }

    int flags = O_CLOEXEC | O_NOCTTY;
    switch (access) {
        case FileAccess::Read: flags |= O_RDONLY; break;
        case FileAccess::Write: flags |= O_WRONLY; break;
        case FileAccess::ReadWrite: flags |= O_RDWR; break;
        default: return Error::InvalidParameter;
    }
    bool writes = access != FileAccess::Read;
    bool empties = false;
    switch (disposition) {
        case FileDisposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
        case FileDisposition::CreateAlways:
            flags |= O_CREAT;
            empties = true;
            break;
        case FileDisposition::OpenExisting: break;
        case FileDisposition::OpenAlways: flags |= O_CREAT; break;
        case FileDisposition::TruncateExisting:
            if (!writes) return Error::InvalidParameter;
            empties = true;
            break;
        default: return Error::InvalidParameter;
    }

    // A write lock needs a writable descriptor. A reader that shares nothing therefore opens
    // read-write when it may, so that it can claim the file exclusively; writes through it are
    // still refused below, as the caller asked for reading only.
    bool lockOnlyWrite = access == FileAccess::Read && share == FileShare::None;
    auto openAs = [&p](int how) {
        return Descriptor(RetryInterrupted([&] { return open(p.c_str(), how, 0666); }));
    };
    Descriptor fd;
    if (lockOnlyWrite) fd = openAs((flags & ~O_ACCMODE) | O_RDWR);
    if (!fd.Valid()) {
        lockOnlyWrite = false;
        fd = openAs(flags);
        if (!fd.Valid() && direct && errno != EEXIST) {
            // A folder on the way may be spelt differently: look the path up and try again.
            Error mapped = MapPath(path, &p);
            if (mapped != Error::None) return mapped;
            fd = openAs(flags);
        }
    }
    if (!fd.Valid()) {
        int e = errno;
        if (e == ENOENT) return MissingError(p);
        if (e == ENOTDIR) return Error::PathNotFound;
        if (e == EEXIST) return Error::FileExists;
        return FromErrno(e);
    }
    // A file this open has just made is a regular file: no need to ask.
    const bool made = (flags & O_EXCL) != 0;
    struct stat st {};
    if (!made && (fstat(fd.Get(), &st) != 0 || S_ISDIR(st.st_mode))) {
        return Error::AccessDenied;  // as Windows answers for a folder opened as a file
    }

    if (made || S_ISREG(st.st_mode)) {
        bool exclusive = writes || share == FileShare::None;
        bool canLockExclusively = writes || lockOnlyWrite;
        flock lock = WholeFile(exclusive && canLockExclusively ? F_WRLCK : F_RDLCK);
        if (exclusive && !canLockExclusively) {
            // A read-only file we may not open for writing: refuse if anyone holds a claim now,
            // then take a shared one (later readers can still join: the one gap of this model).
            flock probe = WholeFile(F_WRLCK);
            if (fcntl(fd.Get(), F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
                return Error::SharingViolation;
            }
        }
        if (fcntl(fd.Get(), F_OFD_SETLK, &lock) != 0) {
            int e = errno;
            if (!LockUnsupported(e)) {
                return (e == EAGAIN || e == EACCES) ? Error::SharingViolation : FromErrno(e);
            }
        }
        // Emptying only now, with the claim held: never cut a file someone else has open.
        if (empties && ftruncate(fd.Get(), 0) != 0) return FromErrno(errno);
    }

    if (hint == FileHint::Sequential) {
        posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    } else if (hint == FileHint::Random) {
        posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_RANDOM);
    }

    FileObject* object = NewFileObject(fd.Get(), writes);
    if (object == nullptr) return Error::NotEnoughMemory;
    fd.Release();  // the file object owns it now
    *file = object;
    return Error::None;
}

Error FileRead(FileHandle file, void* data, std::uint32_t count, std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    if (data == nullptr && count != 0) return Error::InvalidParameter;
    std::size_t done = 0;
    int e = ReadWhole(file->fd, data, count, &done);
    if (transferred != nullptr) *transferred = static_cast<std::uint32_t>(done);
    return e == 0 ? Error::None : TransferError(e);
}

Error FileReadAt(FileHandle file, std::uint64_t offset, void* data, std::uint32_t count,
                 std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    if (data == nullptr && count != 0) return Error::InvalidParameter;
    std::size_t done = 0;
    int e = ReadWholeAt(file->fd, offset, data, count, &done);
    if (transferred != nullptr) *transferred = static_cast<std::uint32_t>(done);
    return e == 0 ? Error::None : TransferError(e);
}

Error FileWrite(FileHandle file, const void* data, std::uint32_t count,
                std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    if (data == nullptr && count != 0) return Error::InvalidParameter;
    if (!file->writable) return Error::AccessDenied;
    std::uint32_t allowed = FileTestHook::Admit(count);
    std::size_t done = 0;
    int e = WriteWhole(file->fd, data, allowed, &done);
    Error result = e == 0 ? Error::None : TransferError(e);
    if (result == Error::None && allowed < count) result = Error::DiskFull;
    if (transferred != nullptr) *transferred = static_cast<std::uint32_t>(done);
    return result;
}

Error FileWriteAt(FileHandle file, std::uint64_t offset, const void* data, std::uint32_t count,
                  std::uint32_t* transferred) {
    if (transferred != nullptr) *transferred = 0;
    if (file == NullFile) return Error::InvalidHandle;
    if (data == nullptr && count != 0) return Error::InvalidParameter;
    if (!file->writable) return Error::AccessDenied;
    const std::uint32_t allowed = FileTestHook::Admit(count);
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    int e = TransferWhole(allowed, &done, ENOSPC, [&](std::size_t at, std::size_t left) {
        return ::pwrite(file->fd, bytes + at, left, static_cast<off_t>(offset + at));
    });
    Error result = e == 0 ? Error::None : TransferError(e);
    if (result == Error::None && allowed < count) result = Error::DiskFull;
    if (transferred != nullptr) *transferred = static_cast<std::uint32_t>(done);
    return result;
}

Error FileSeek(FileHandle file, std::int32_t distance, SeekOrigin origin, std::uint32_t* position) {
    if (file == NullFile) return Error::InvalidHandle;
    int whence = origin == SeekOrigin::Current ? SEEK_CUR : SEEK_SET;
    off_t at = lseek(file->fd, static_cast<off_t>(distance), whence);
    if (at < 0) return FromErrno(errno);
    if (position != nullptr) *position = static_cast<std::uint32_t>(at);
    return Error::None;
}

Error FileGetSize(FileHandle file, std::uint32_t* size) {
    if (file == NullFile) return Error::InvalidHandle;
    struct stat st {};
    if (fstat(file->fd, &st) != 0) return FromErrno(errno);
    if (size != nullptr) *size = static_cast<std::uint32_t>(st.st_size);
    return Error::None;
}

Error FileSetEnd(FileHandle file) {
    if (file == NullFile) return Error::InvalidHandle;
    if (!file->writable) return Error::AccessDenied;
    off_t at = lseek(file->fd, 0, SEEK_CUR);
    if (at < 0) return FromErrno(errno);
    if (ftruncate(file->fd, at) != 0) return FromErrno(errno);
    return Error::None;
}

Error FileSetLength(FileHandle file, std::uint64_t length) {
    if (file == NullFile) return Error::InvalidHandle;
    if (!file->writable) return Error::AccessDenied;
    if (RetryInterrupted([&] { return ftruncate(file->fd, static_cast<off_t>(length)); }) != 0)
        return errno == EFBIG ? Error::DiskFull : FromErrno(errno);
    return Error::None;
}

Error FileGetFacts(FileHandle file, PathFacts* facts) {
    if (file == NullFile) return Error::InvalidHandle;
    if (facts == nullptr) return Error::InvalidParameter;
    *facts = PathFacts{};
    struct stat st {};
    if (fstat(file->fd, &st) != 0) return FromErrno(errno);
    if (S_ISREG(st.st_mode)) {
        facts->kind = PathKind::File;
        facts->size = static_cast<std::uint64_t>(st.st_size);
        facts->modified = ChangeStamp(st);
    } else {
        facts->kind = S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Special;
    }
    return Error::None;
}

Error FileFindData(FileHandle file, std::uint64_t offset, std::uint64_t* dataStart,
                   std::uint64_t* dataEnd) {
    if (file == NullFile) return Error::InvalidHandle;
    if (dataStart == nullptr || dataEnd == nullptr) return Error::InvalidParameter;
    *dataStart = offset;
    *dataEnd = ~std::uint64_t{0};
    const off_t data = lseek(file->fd, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0) {
        if (errno != ENXIO) return Error::None;  // the system cannot tell: all of it is data
        struct stat st {};
        if (fstat(file->fd, &st) != 0) return FromErrno(errno);
        *dataStart = *dataEnd = static_cast<std::uint64_t>(st.st_size);
        return Error::None;
    }
    const off_t hole = lseek(file->fd, data, SEEK_HOLE);
    *dataStart = static_cast<std::uint64_t>(data);
    if (hole >= data) *dataEnd = static_cast<std::uint64_t>(hole);
    return Error::None;
}

Error FileClose(FileHandle file) {
    if (file == NullFile) return Error::InvalidHandle;
    int result = close(file->fd);  // ends the sharing claim with the open file description
    delete file;
    // A failed close still releases the descriptor on Linux: report, never retry.
    return result == 0 ? Error::None : FromErrno(errno);
}

bool FileExists(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    // The system search refuses a name ending in a separator. A bare "Z:" names the root,
    // which exists (the mapping itself is what adds the separator there).
    char last = path[std::strlen(path) - 1];
    if (last == '\\' || last == '/') return false;
    const char* lastName = std::strrchr(path, '\\');
    const char* lastSlash = std::strrchr(path, '/');
    if (lastName == nullptr || (lastSlash != nullptr && lastSlash > lastName)) lastName = lastSlash;
    if (lastName == nullptr) lastName = path;
    std::string p;
    if (MapPath(path, &p, std::strpbrk(lastName, "*?") != nullptr) != Error::None) return false;
    if (p == "/") return true;
    std::string::size_type slash = p.find_last_of('/');
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (name.find_first_of("*?") == std::string::npos) {
        struct stat st {};
        return lstat(p.c_str(), &st) == 0;
    }
    DIR* dir = opendir(ParentOf(p).c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (!found) {
        dirent* entry = readdir(dir);
        if (entry == nullptr) break;
        found = WildcardNameMatches(ToWindowsName(entry->d_name).c_str(), name.c_str());
    }
    closedir(dir);
    return found;
}

Error FolderCreate(const char* path) {
    std::string p;
    Error mapped = MapPath(path, &p);
    if (mapped != Error::None) return mapped;
    if (mkdir(p.c_str(), 0777) == 0) return Error::None;
    int e = errno;
    if (e == ENOENT || e == ENOTDIR) return Error::PathNotFound;
    return FromErrno(e);
}

Error FolderRemove(const char* path) {
    std::string p;
    Error mapped = MapPath(path, &p);
    if (mapped != Error::None) return mapped;
    if (rmdir(p.c_str()) == 0) return Error::None;
    int e = errno;
    if (e == ENOTEMPTY || e == EEXIST) return Error::DirNotEmpty;
    if (e == EBUSY) return Error::SharingViolation;
    if (e == ENOENT) return MissingError(p);
    return FromErrno(e);
}

Error FileDelete(const char* path) {
    std::string p;
    Error mapped = MapPath(path, &p);
    if (mapped != Error::None) return mapped;
    if (IsFolder(p)) return Error::AccessDenied;
    if (IsHeldOpen(p)) return Error::SharingViolation;
    if (unlink(p.c_str()) == 0) return Error::None;
    int e = errno;
    if (e == ENOENT) return MissingError(p);
    if (e == ENOTDIR) return Error::PathNotFound;
    return FromErrno(e);
}

Error FileMove(const char* oldPath, const char* newPath) {
    std::string from;
    std::string to;
    Error mapped = MapPath(oldPath, &from);
    if (mapped == Error::None) mapped = MapPath(newPath, &to);
    if (mapped != Error::None) return mapped;
    if (IsHeldOpen(from)) return Error::SharingViolation;
    int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // File systems without the no-replace flag: test first (a small race, but never a
        // silent replacement of something that was already there).
        struct stat st {};
        if (lstat(to.c_str(), &st) == 0) return Error::AlreadyExists;
        result = rename(from.c_str(), to.c_str());
    }
    if (result == 0) return Error::None;
    int e = errno;
    if (e == EXDEV) return CopyThenDelete(from, to);
    if (e == EEXIST || e == ENOTEMPTY) return Error::AlreadyExists;
    if (e == ENOENT) {
        struct stat st {};
        return lstat(from.c_str(), &st) == 0 ? Error::PathNotFound : MissingError(from);
    }
    return FromErrno(e);
}

FileHold FileHoldOf(const char* path) {
    std::string p;
    if (path == nullptr) return FileHold::Blocked;
    if (MapPath(path, &p) != Error::None) return FileHold::Missing;
    struct stat st {};
    if (stat(p.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? FileHold::Missing : FileHold::Blocked;
    }
    if (!S_ISREG(st.st_mode)) return FileHold::Blocked;
    return IsHeldOpen(p) ? FileHold::InUse : FileHold::Free;
}

}  // namespace Platform
