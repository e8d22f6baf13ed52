// The uninstaller's POSIX entry point: no arguments.
#include <cstdio>

#include "app/Uninstaller.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: %s\n", argv[0]);
        return 2;
    }
    const int kShowNormal = 1;  // as a Windows program started normally gets SW_SHOWNORMAL
    return QRV2::UninstallerMain(nullptr, kShowNormal);
}
