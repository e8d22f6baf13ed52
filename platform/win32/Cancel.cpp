// Stop requests on Windows: console control events and the progress window's close set a flag.
#include "platform/Cancel.h"

#include <windows.h>

#include "platform/testing/CancelSeams.h"

namespace Platform {

namespace {
volatile LONG g_cancel = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_cancel, 1);
    return TRUE;
}
}  // namespace

void InstallCancelHandlers() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
void RequestCancel() { InterlockedExchange(&g_cancel, 1); }
bool CancelRequested() { return InterlockedCompareExchange(&g_cancel, 0, 0) != 0; }
void ResetCancel() { InterlockedExchange(&g_cancel, 0); }

}  // namespace Platform
