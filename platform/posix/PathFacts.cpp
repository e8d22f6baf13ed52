// PathFacts on POSIX: lstat/stat for the kind and size, rename(2) to replace.
#include "platform/PathFacts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/posix/FactsAt.h"
#include "platform/posix/NativeError.h"
#include "platform/posix/PathMap.h"

namespace Platform {

namespace {

Error Map(const char* path, std::string* mapped) {
    if (path == nullptr) return Error::InvalidParameter;
    if (!ToPosixPath(path, mapped) || mapped->empty()) return Error::PathNotFound;
    return Error::None;
}

PathKind KindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Special;
}

}  // namespace

Error FactsAt(int dirFd, const char* name, PathFacts* facts) {
    *facts = PathFacts{};
    struct stat st {};
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        const int e = errno;
        return e == ENOENT || e == ENOTDIR ? Error::None : FromErrno(e);
    }
    if (!S_ISLNK(st.st_mode)) {
        facts->kind = KindOf(st);
        if (facts->kind == PathKind::File) {
            facts->size = static_cast<std::uint64_t>(st.st_size);
            facts->modified = ChangeStamp(st);
        }
        return Error::None;
    }
    struct stat target {};
    if (fstatat(dirFd, name, &target, 0) != 0) {
        facts->kind = PathKind::DanglingLink;
        return Error::None;
    }
    switch (KindOf(target)) {
        case PathKind::File:
            facts->kind = PathKind::LinkToFile;
            facts->size = static_cast<std::uint64_t>(target.st_size);
            facts->modified = ChangeStamp(target);
            break;
        case PathKind::Folder: facts->kind = PathKind::LinkToFolder; break;
        default: facts->kind = PathKind::Special; break;
    }
    return Error::None;
}

Error InspectPath(const char* path, PathFacts* facts) {
    if (facts == nullptr) return Error::InvalidParameter;
    *facts = PathFacts{};
    std::string mapped;
    Error error = Map(path, &mapped);
    if (error != Error::None) return error;
    return FactsAt(AT_FDCWD, mapped.c_str(), facts);
}

Error FileReplace(const char* source, const char* target) {
    std::string from;
    std::string to;
    Error error = Map(source, &from);
    if (error == Error::None) error = Map(target, &to);
    if (error != Error::None) return error;
    // No look at the target first: a file never replaces a folder (the system answers EISDIR),
    // and one call per file is what an extraction of many files can afford.
    if (std::rename(from.c_str(), to.c_str()) == 0) return Error::None;
    int e = errno;
    if (e == ENOENT || e == ENOTDIR) {
        // Something on the way may be spelt differently: look the names up and try again,
        // the target's own name left as given.
        std::string foundFrom;
        std::string foundTo;
        if (ResolvePosixPath(source, &foundFrom) && ResolvePosixPath(target, &foundTo, true) &&
            (foundFrom != from || foundTo != to)) {
            if (std::rename(foundFrom.c_str(), foundTo.c_str()) == 0) return Error::None;
            e = errno;
        }
    }
    if (e == EISDIR) return Error::AccessDenied;
    return e == ENOENT ? Error::FileNotFound : FromErrno(e);
}

bool ReplaceMatchesNamesLoosely() { return false; }

}  // namespace Platform
