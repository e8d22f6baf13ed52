// The installer's POSIX entry point: the arguments, joined by spaces, are the command line.
#include <string>

#include "app/Installer.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    // As a Windows program started normally gets SW_SHOWNORMAL.
    const int kShowNormal = 1;
    return QRV2::InstallerMain(nullptr, commandLine.c_str(), kShowNormal);
}
