// The uninstaller's POSIX entry point: the options, no other arguments.
#include "app/ProgramRun.h"

int main(int argc, char** argv) {
    return QRV2::StartFromArguments(QRV2::ProgramKind::Uninstaller, argc, argv);
}
