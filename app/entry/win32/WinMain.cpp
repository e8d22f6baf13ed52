// The installer's Windows entry point.
#include <windows.h>

#include "app/ProgramRun.h"
#include "platform/Hardening.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    // Before anything can load a library by name: only the system folder is searched, never
    // the folder the installer was started from (a download folder anyone may have put files in).
    Platform::RestrictLibrarySearch();
    return QRV2::StartFromCommandLineText(QRV2::ProgramKind::Installer,
                                          reinterpret_cast<Platform::ModuleHandle>(instance),
                                          commandLine, show);
}
