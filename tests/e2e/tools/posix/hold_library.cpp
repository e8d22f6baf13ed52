// Scenario tool: keeps a plug-in library in use the way a running browser does, until released.
//
// hold_library <library> <ready-marker> <release-marker> [timeout-ms]
// Loads <library> through the platform layer, as a browser loads its plug-in (the loaded file is
// then held as Windows holds a running image: deleting or replacing it fails), creates
// <ready-marker>, and waits until <release-marker> exists or the timeout (default 30000 ms)
// passes. Paths are plain POSIX paths.
// Exit code: 0 released, 1 timed out, 2 bad arguments, 3 the library could not be loaded,
// 4 the marker could not be made.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Clock.h"
#include "platform/CommandLine.h"
#include "platform/DynamicLibrary.h"

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    std::uint32_t timeout =
        argc > 4 ? static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 30000u;
    std::string library;
    if (!Platform::HostPathToFrameworkPath(argv[1], &library)) return 2;
    Platform::LibraryHandle held = Platform::LoadLibraryFromPath(library.c_str(), nullptr);
    if (held == nullptr) return 3;
    std::FILE* marker = std::fopen(argv[2], "wb");
    if (marker == nullptr) {
        Platform::FreeLibrary(held);
        return 4;
    }
    std::fclose(marker);
    std::uint32_t start = Platform::TickMilliseconds();
    int result = 1;
    while (Platform::TickMilliseconds() - start < timeout) {
        if (::access(argv[3], F_OK) == 0) {
            result = 0;
            break;
        }
        Platform::Sleep(20);
    }
    Platform::FreeLibrary(held);
    return result;
}
