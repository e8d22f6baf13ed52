// Directory enumeration on POSIX: opendir/readdir with Windows name patterns and dot-hidden names.
#include "platform/Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/posix/NativeError.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/WildcardName.h"

namespace Platform {

struct DirectorySearch {
    DIR* dir = nullptr;
    std::string pattern;
    std::string shown;  // room for an escaped name, reserved up front
};

namespace {

void SetError(Error* error, Error value) {
    if (error != nullptr) *error = value;
}

// The next entry that matches; false at the end of the listing or on a read error.
bool ReadMatch(DirectorySearch* search, DirectoryEntry* entry, Error* error) {
    for (;;) {
        errno = 0;
        struct dirent* d = readdir(search->dir);
        if (d == nullptr) {
            SetError(error, errno == 0 ? Error::NoMoreFiles : FromErrno(errno));
            return false;
        }
        const char* name = d->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        // The name as the framework sees it: a '\' inside it escaped, so that a path made from
        // it names this entry and never one reached through a separator.
        const bool plain = std::strchr(name, '\\') == nullptr;
        if (!plain) {
            search->shown.clear();  // within the room reserved when the search began
            for (const char* c = name; *c != '\0'; ++c) {
                if (*c == '\\') {
                    search->shown.append(kEscapedBackslash);
                } else {
                    search->shown.push_back(*c);
                }
            }
        }
        const char* shown = plain ? name : search->shown.c_str();
        std::size_t length = std::strlen(shown);
        if (length >= static_cast<std::size_t>(kDirectoryNameSize)) continue;  // cannot be named
        if (!WildcardNameMatches(shown, search->pattern.c_str())) continue;
        struct stat st;
        // Not following links: a link to a folder above would make a tree walk endless.
        if (fstatat(dirfd(search->dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
        std::memcpy(entry->name, shown, length + 1);
        entry->isFolder = S_ISDIR(st.st_mode);
        entry->isHidden = name[0] == '.';
        SetError(error, Error::None);
        return true;
    }
}

}  // namespace

namespace {

DirectoryHandle FindFirst(const char* pattern, DirectoryEntry* entry, Error* error) {
    std::string path(pattern);
    std::size_t cut = path.find_last_of("\\/");
    std::string folder;
    std::string namePattern;
    if (cut != std::string::npos) {
        folder = path.substr(0, cut + 1);
        namePattern = path.substr(cut + 1);
    } else if (path.size() >= 2 && path[1] == ':') {
        folder = path.substr(0, 2);
        namePattern = path.substr(2);
    } else {
        namePattern = path;
    }
    std::string posixFolder;
    if (folder.empty()) {
        posixFolder = ".";
    } else if (!ResolvePosixPath(folder.c_str(), &posixFolder)) {
        SetError(error, Error::PathNotFound);
        return nullptr;
    }
    DIR* dir = opendir(posixFolder.c_str());
    if (dir == nullptr) {
        int e = errno;
        SetError(error, (e == ENOENT || e == ENOTDIR) ? Error::PathNotFound : FromErrno(e));
        return nullptr;
    }
    auto* search = new (std::nothrow) DirectorySearch;
    if (search == nullptr) {
        closedir(dir);
        SetError(error, Error::NotEnoughMemory);
        return nullptr;
    }
    search->dir = dir;
    search->pattern = std::move(namePattern);
    try {
        search->shown.reserve(3 * kDirectoryNameSize);  // no allocation once the search runs
    } catch (const std::bad_alloc&) {
        DirectoryFindClose(search);
        SetError(error, Error::NotEnoughMemory);
        return nullptr;
    }
    bool emptyPattern = search->pattern.empty();
    if (emptyPattern || !ReadMatch(search, entry, error)) {
        Error e = Error::FileNotFound;
        if (error != nullptr && !emptyPattern && *error != Error::NoMoreFiles) e = *error;
        DirectoryFindClose(search);
        SetError(error, e);
        return nullptr;
    }
    return search;
}

}  // namespace

DirectoryHandle DirectoryFindFirst(const char* pattern, DirectoryEntry* entry, Error* error) {
    if (pattern == nullptr || entry == nullptr) {
        SetError(error, Error::InvalidParameter);
        return nullptr;
    }
    // The path texts are std::strings: running out of memory must not escape as an exception.
    try {
        return FindFirst(pattern, entry, error);
    } catch (const std::bad_alloc&) {
        SetError(error, Error::NotEnoughMemory);
        return nullptr;
    }
}

bool DirectoryFindNext(DirectoryHandle search, DirectoryEntry* entry, Error* error) {
    if (search == nullptr || entry == nullptr) {
        SetError(error, Error::InvalidParameter);
        return false;
    }
    return ReadMatch(search, entry, error);
}

void DirectoryFindClose(DirectoryHandle search) {
    if (search == nullptr) return;
    closedir(search->dir);
    delete search;
}

}  // namespace Platform
