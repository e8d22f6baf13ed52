// Dynamic libraries on POSIX: dlopen / dlsym / dlclose; COM initialisation has nothing to do.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "platform/posix/PathMap.h"
#include "platform/posix/SystemCall.h"

namespace Platform {

// A load: the system's handle and an open of the file that claims it as a running image is
// claimed on Windows, shared for reading, so that deleting or writing the file fails with a
// sharing violation (in this and in every other process) until the library is freed.
struct LibraryTag {
    void* loaded = nullptr;
    Descriptor claim;  // none for what is not a plain file
};

namespace {

void SetError(Error* error, Error value) {
    if (error != nullptr) *error = value;
}

// The file claimed as the file layer claims a read that shares reading (see File.cpp).
Descriptor ClaimImage(const std::string& path, Error* error) {
    Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid()) {
        SetError(error,
                 errno == ENOENT || errno == ENOTDIR ? Error::FileNotFound : Error::AccessDenied);
        return fd;
    }
    flock lock{};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd.Get(), F_OFD_SETLK, &lock) != 0 &&
        (errno == EAGAIN || errno == EACCES)) {  // someone writes it: it cannot be run
        SetError(error, Error::SharingViolation);
        return Descriptor();
    }
    return fd;
}

}  // namespace

LibraryHandle LoadLibraryFromPath(const char* path, Error* error) {
    std::string posixPath;
    if (path == nullptr || path[0] == '\0' || !ResolvePosixPath(path, &posixPath)) {
        SetError(error, Error::InvalidParameter);
        return nullptr;
    }
    // A name without a folder would make dlopen search the library path; only full paths load.
    if (posixPath.find('/') == std::string::npos) posixPath = "./" + posixPath;
    struct stat info;
    if (::stat(posixPath.c_str(), &info) != 0) {
        SetError(error, Error::FileNotFound);
        return nullptr;
    }
    auto* library = new (std::nothrow) LibraryTag;
    if (library == nullptr) {
        SetError(error, Error::NotEnoughMemory);
        return nullptr;
    }
    if (S_ISREG(info.st_mode)) {
        library->claim = ClaimImage(posixPath, error);
        if (!library->claim.Valid()) {
            delete library;
            return nullptr;
        }
    }
    library->loaded = ::dlopen(posixPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library->loaded == nullptr) {
        SetError(error, S_ISREG(info.st_mode) ? Error::BadFormat : Error::AccessDenied);
        delete library;  // with the claim
        return nullptr;
    }
    SetError(error, Error::None);
    return library;
}

LibraryHandle LoadLibraryWithNeighbours(const char* path, Error* error) {
    return LoadLibraryFromPath(path, error);
}

ExportedFunction FindExport(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    void* symbol = ::dlsym(library->loaded, name);
    return reinterpret_cast<ExportedFunction>(symbol);
}

void FreeLibrary(LibraryHandle library) {
    if (library == nullptr) return;
    ::dlclose(library->loaded);
    delete library;  // closing the claim ends it
}

bool InitializeCom() { return true; }

void UninitializeCom() {}

}  // namespace Platform
