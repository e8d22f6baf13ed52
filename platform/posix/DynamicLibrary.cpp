// Dynamic libraries on POSIX: dlopen / dlsym / dlclose; COM initialisation has nothing to do.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <string>

#include "platform/posix/PathMap.h"

namespace Platform {

LibraryHandle LoadLibraryFromPath(const char* path, Error* error) {
    std::string posixPath;
    if (path == nullptr || path[0] == '\0' || !ToPosixPath(path, &posixPath)) {
        if (error != nullptr) *error = Error::InvalidParameter;
        return nullptr;
    }
    // A name without a folder would make dlopen search the library path; only full paths load.
    if (posixPath.find('/') == std::string::npos) posixPath = "./" + posixPath;
    struct stat info;
    if (::stat(posixPath.c_str(), &info) != 0) {
        if (error != nullptr) *error = Error::FileNotFound;
        return nullptr;
    }
    void* handle = ::dlopen(posixPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (error != nullptr) *error = S_ISREG(info.st_mode) ? Error::BadFormat : Error::AccessDenied;
        return nullptr;
    }
    if (error != nullptr) *error = Error::None;
    return static_cast<LibraryHandle>(handle);
}

LibraryHandle LoadLibraryWithNeighbours(const char* path, Error* error) {
    return LoadLibraryFromPath(path, error);
}

ExportedFunction FindExport(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    void* symbol = ::dlsym(library, name);
    return reinterpret_cast<ExportedFunction>(symbol);
}

void FreeLibrary(LibraryHandle library) {
    if (library != nullptr) ::dlclose(library);
}

bool InitializeCom() { return true; }

void UninitializeCom() {}

}  // namespace Platform
