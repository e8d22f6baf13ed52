// The installer's POSIX entry point: the options, then at most one argument, the document or
// address to open.
#include "app/ProgramRun.h"

int main(int argc, char** argv) {
    return QRV2::StartFromArguments(QRV2::ProgramKind::Installer, argc, argv);
}
