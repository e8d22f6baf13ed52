// Stop requests on Windows: console control events and the progress window's close set a flag.
#include "platform/Cancel.h"

#include <windows.h>

#include "platform/testing/CancelSeams.h"

namespace Platform {

namespace {
// 0 while no stop was asked for; else the CancelCause of the first request.
volatile LONG g_cancel = 0;

void Request(CancelCause cause) {
    InterlockedCompareExchange(&g_cancel, static_cast<LONG>(cause), 0);
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    Request(event == CTRL_C_EVENT ? CancelCause::Interrupt : CancelCause::Terminate);
    return TRUE;
}
}  // namespace

void InstallCancelHandlers() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
void RequestCancel() { Request(CancelCause::Terminate); }
bool CancelRequested() { return InterlockedCompareExchange(&g_cancel, 0, 0) != 0; }
CancelCause CancelRequestCause() {
    return static_cast<CancelCause>(InterlockedCompareExchange(&g_cancel, 0, 0));
}
void ResetCancel() { InterlockedExchange(&g_cancel, 0); }

}  // namespace Platform
