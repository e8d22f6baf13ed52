// Lock: the one process-wide critical section, created before main and deleted at process exit.
#pragma once

namespace Platform {

// Enters the process-wide critical section, waiting while another thread holds it. The section
// is recursive (a thread that holds it may enter again) and exists for the whole life of the
// process, so it may be used from static initialisers and from every thread.
void ProcessLockEnter();
// Leaves the process-wide critical section once; must pair with a ProcessLockEnter of the
// same thread.
void ProcessLockLeave();

// Holds the process-wide critical section for the lifetime of the object.
class ProcessLockGuard {
public:
    ProcessLockGuard() { ProcessLockEnter(); }
    ~ProcessLockGuard() { ProcessLockLeave(); }
    ProcessLockGuard(const ProcessLockGuard&) = delete;
    ProcessLockGuard& operator=(const ProcessLockGuard&) = delete;
};

}  // namespace Platform
