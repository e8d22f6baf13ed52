// The uninstaller's Windows entry point. The command line is not used.
#include <windows.h>

#include "app/Uninstaller.h"
#include "platform/Hardening.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    // Before anything can load a library by name: only the system folder is searched, never the
    // folder the uninstaller runs from.
    Platform::RestrictLibrarySearch();
    return QRV2::UninstallerMain(reinterpret_cast<Platform::ModuleHandle>(instance), show);
}
