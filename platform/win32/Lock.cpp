// The process-wide critical section on Windows: InitializeCriticalSection before main, deleted at
// exit.
#include "platform/Lock.h"

#include <windows.h>

namespace Platform {

namespace {
// Critical sections are recursive on Windows, matching the POSIX side.
struct ProcessLock {
    CRITICAL_SECTION section;
    ProcessLock() { ::InitializeCriticalSection(&section); }
    ~ProcessLock() { ::DeleteCriticalSection(&section); }
};

// Function-local so that a caller from another translation unit's static initialiser finds
// the section already made; destroyed with the other statics at process exit.
ProcessLock& Instance() {
    static ProcessLock lock;
    return lock;
}

// Makes sure the section exists before main even if nothing enters it during start-up.
const bool g_created = (Instance(), true);
}  // namespace

void ProcessLockEnter() { ::EnterCriticalSection(&Instance().section); }

void ProcessLockLeave() { ::LeaveCriticalSection(&Instance().section); }

}  // namespace Platform
