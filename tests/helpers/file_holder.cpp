// Test helper process: holds a file open for writing until told to let go (or a timeout passes).
//
// file_holder <file> <ready-marker> <release-marker> [timeout-ms]
// Opens <file> for writing (sharing reading only, creating it when missing), then creates
// <ready-marker>, then waits until <release-marker> exists or the timeout (default 15000 ms)
// passes, and exits, which closes the file. Paths are framework-shaped. Exit code: 0 released,
// 1 timed out, 2 bad arguments, 3 the file could not be opened, 4 the marker could not be made.
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/File.h"

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    std::uint32_t timeout =
        argc > 4 ? static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 15000u;
    Platform::FileHandle held = Platform::NullFile;
    if (Platform::FileOpen(argv[1], Platform::FileAccess::Write, Platform::FileShare::Read,
                           Platform::FileDisposition::OpenAlways, Platform::FileHint::Normal,
                           &held) != Platform::Error::None) {
        return 3;
    }
    Platform::FileHandle marker = Platform::NullFile;
    if (Platform::FileOpen(argv[2], Platform::FileAccess::Write, Platform::FileShare::None,
                           Platform::FileDisposition::CreateAlways, Platform::FileHint::Normal,
                           &marker) != Platform::Error::None) {
        Platform::FileClose(held);
        return 4;
    }
    Platform::FileClose(marker);
    std::uint32_t start = Platform::TickMilliseconds();
    int result = 1;
    while (Platform::TickMilliseconds() - start < timeout) {
        if (Platform::FileExists(argv[3])) {
            result = 0;
            break;
        }
        Platform::Sleep(10);
    }
    Platform::FileClose(held);
    return result;
}
