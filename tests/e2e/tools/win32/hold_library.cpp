// Scenario tool: keeps a plug-in library loaded the way a running browser does, until released.
//
// hold_library <library> <ready-marker> <release-marker> [timeout-ms]
// Loads <library> with LoadLibraryA (Windows then refuses to delete or replace the file), creates
// <ready-marker>, and waits until <release-marker> exists or the timeout (default 30000 ms)
// passes. Exit code: 0 released, 1 timed out, 2 bad arguments, 3 the library could not be
// loaded, 4 the marker could not be made.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    DWORD timeout = argc > 4 ? static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)) : 30000u;
    HMODULE held = LoadLibraryA(argv[1]);
    if (held == nullptr) return 3;
    HANDLE marker = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) {
        FreeLibrary(held);
        return 4;
    }
    CloseHandle(marker);
    DWORD start = GetTickCount();
    int result = 1;
    while (GetTickCount() - start < timeout) {
        if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) {
            result = 0;
            break;
        }
        Sleep(20);
    }
    FreeLibrary(held);
    return result;
}
