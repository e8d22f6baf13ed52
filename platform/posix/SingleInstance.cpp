// One run at a time on POSIX: a lock on a file in the private per-user runtime folder.
#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <utility>

#include "platform/Process.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/SystemCall.h"

namespace Platform {

struct InstanceClaimTag {
    Descriptor lockFile;  // closing it gives the claim up
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
    Descriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid()) return ClaimResult::Unavailable;
    // The lock belongs to the open file: the system drops it when the process ends, also when
    // it is killed, so a claim never outlives its run. The file itself stays (removing it would
    // let a third run lock a new file while a second still waits on the old one).
    if (RetryInterrupted([&] { return ::flock(fd.Get(), LOCK_EX | LOCK_NB); }) != 0) {
        return errno == EWOULDBLOCK ? ClaimResult::Taken : ClaimResult::Unavailable;
    }
    InstanceClaimTag* held = new (std::nothrow) InstanceClaimTag{std::move(fd)};
    if (held == nullptr) return ClaimResult::Unavailable;
    *claim = held;
    return ClaimResult::Claimed;
}

void ReleaseInstance(InstanceClaim claim) {
    delete claim;  // null included
}

}  // namespace Platform
