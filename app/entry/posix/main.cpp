// The installer's POSIX entry point: at most one argument, the document or address to open.
#include <cstdio>

#include "app/Installer.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
    // The argument goes to the opener unchanged, as the one argument it is; a second one has
    // no place there, and joining them would name a different document.
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [document or address]\n",
                     argc > 0 ? argv[0] : "orvane2011-setup");
        return 2;
    }
    // As a Windows program started normally gets SW_SHOWNORMAL.
    const int kShowNormal = 1;
    return QRV2::InstallerMain(nullptr, argc == 2 ? argv[1] : "", kShowNormal);
}
