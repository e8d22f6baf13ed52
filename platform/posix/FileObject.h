// The POSIX form of an open file handle, shared by the services that hand out FileHandles.
#pragma once

#include <new>

#include "platform/File.h"

namespace Platform {

struct FileObject {
    int fd;
    bool writable;  // what the caller asked for; the descriptor itself may allow more
};

// The handle for an open descriptor, which it then owns; null (the descriptor left open for the
// caller to close) when no memory is left for it.
inline FileHandle NewFileObject(int fd, bool writable) {
    return new (std::nothrow) FileObject{fd, writable};
}

}  // namespace Platform
