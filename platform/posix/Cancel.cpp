// Stop requests on POSIX: SIGINT and SIGTERM set a flag the installer's tick loop reads.
#include "platform/Cancel.h"

#include <csignal>

#include "platform/testing/CancelSeams.h"

namespace Platform {

namespace {
volatile std::sig_atomic_t g_cancel = 0;

extern "C" void OnStopSignal(int) { g_cancel = 1; }
}  // namespace

void InstallCancelHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void RequestCancel() { g_cancel = 1; }
bool CancelRequested() { return g_cancel != 0; }
void ResetCancel() { g_cancel = 0; }

}  // namespace Platform
