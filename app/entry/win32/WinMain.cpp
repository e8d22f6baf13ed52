// The installer's Windows entry point.
#include <windows.h>

#include "app/Installer.h"
#include "platform/Process.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    return QRV2::InstallerMain(reinterpret_cast<Platform::ModuleHandle>(instance), commandLine, show);
}
