// The uninstaller's Windows entry point.
#include <windows.h>

#include "app/ProgramRun.h"
#include "platform/Hardening.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    // Before anything can load a library by name: only the system folder is searched, never the
    // folder the uninstaller runs from.
    Platform::RestrictLibrarySearch();
    return QRV2::StartFromCommandLineText(QRV2::ProgramKind::Uninstaller,
                                          reinterpret_cast<Platform::ModuleHandle>(instance),
                                          commandLine, show);
}
