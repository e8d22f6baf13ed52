// The facts of a name in a folder on POSIX, shared by InspectPath and the user-tree service.
#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "platform/PathFacts.h"

namespace Platform {

// The facts of name in the folder dirFd (AT_FDCWD: name is a path), not following a link at
// it: a link is reported as a link with its target's kind and size. None (also for a missing
// name: kind Missing); others as the system reports them.
Error FactsAt(int dirFd, const char* name, PathFacts* facts);

// The stamp of a file's last change (PathFacts::modified), in nanoseconds.
inline std::int64_t ChangeStamp(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
           static_cast<std::int64_t>(st.st_mtim.tv_nsec);
}

}  // namespace Platform
