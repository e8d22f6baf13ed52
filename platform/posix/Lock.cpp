// The process-wide critical section on POSIX: one recursive mutex that lives as long as the
// process.
#include "platform/Lock.h"

#include <pthread.h>

namespace Platform {

namespace {
// A statically initialised mutex needs no constructor, so it is usable before main runs and
// after static destructors; a POSIX process releases it at exit.
pthread_mutex_t g_processLock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
}  // namespace

void ProcessLockEnter() { pthread_mutex_lock(&g_processLock); }

void ProcessLockLeave() { pthread_mutex_unlock(&g_processLock); }

}  // namespace Platform
