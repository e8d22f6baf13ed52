// Stop requests on POSIX: SIGINT and SIGTERM set a flag the installer's tick loop reads.
#include "platform/Cancel.h"

#include <csignal>

#include "platform/testing/CancelSeams.h"

namespace Platform {

namespace {
// 0 while no stop was asked for; else the CancelCause of the first request.
volatile std::sig_atomic_t g_cancel = 0;

extern "C" void OnStopSignal(int signal) {
    if (g_cancel == 0)
        g_cancel =
            static_cast<int>(signal == SIGINT ? CancelCause::Interrupt : CancelCause::Terminate);
}
}  // namespace

void InstallCancelHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void RequestCancel() {
    if (g_cancel == 0) g_cancel = static_cast<int>(CancelCause::Terminate);
}
bool CancelRequested() { return g_cancel != 0; }
CancelCause CancelRequestCause() { return static_cast<CancelCause>(g_cancel); }
void ResetCancel() { g_cancel = 0; }

}  // namespace Platform
