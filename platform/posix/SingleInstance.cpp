// One run at a time on POSIX: a lock on a file in the private per-user runtime folder.
#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "platform/Process.h"
#include "platform/posix/PathMap.h"

namespace Platform {

struct InstanceClaimTag {
    int fd;
};

ClaimResult ClaimInstance(const char* name, InstanceClaim* claim) {
    if (name == nullptr || claim == nullptr) return ClaimResult::Unavailable;
    char folder[4096];
    std::uint32_t length = 0;
    std::string posixFolder;
    if (GetTempFolderPath(folder, sizeof folder, &length) != Error::None ||
        !ToPosixPath(folder, &posixFolder)) {
        return ClaimResult::Unavailable;
    }
    if (posixFolder.empty() || posixFolder.back() != '/') posixFolder += '/';
    const std::string path = posixFolder + name + ".lock";
    // The folder is private; the file is never followed through a link all the same.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return ClaimResult::Unavailable;
    // The lock belongs to the open file: the system drops it when the process ends, also when
    // it is killed, so a claim never outlives its run. The file itself stays (removing it would
    // let a third run lock a new file while a second still waits on the old one).
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return taken ? ClaimResult::Taken : ClaimResult::Unavailable;
    }
    InstanceClaimTag* held = new (std::nothrow) InstanceClaimTag{fd};
    if (held == nullptr) {
        ::close(fd);
        return ClaimResult::Unavailable;
    }
    *claim = held;
    return ClaimResult::Claimed;
}

void ReleaseInstance(InstanceClaim claim) {
    if (claim == nullptr) return;
    ::close(claim->fd);
    delete claim;
}

}  // namespace Platform
