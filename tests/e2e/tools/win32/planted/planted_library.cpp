// Scenario library: a stand-in planted beside a program under a system library's name.
//
// When a process loads it, it appends a line "<executable path> loaded <own path>" to the file
// named by the environment variable QRV2_PLANTED_MARKER, so a scenario can tell whether (and
// as which library) the planted copy ran.
// It exports the timer the real library is most often imported for, so a program that does pick
// it up still starts and runs normally.
// Lean: the full header would declare the timer itself as an import.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI timeGetTime() { return GetTickCount(); }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("QRV2_PLANTED_MARKER", marker, sizeof marker);
    if (length == 0 || length >= sizeof marker) return TRUE;
    HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    char line[2 * MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(nullptr, line, MAX_PATH);
    lstrcpyA(line + n, " loaded ");
    n += 8;
    n += GetModuleFileNameA(self, line + n, MAX_PATH);
    line[n++] = '\r';
    line[n++] = '\n';
    DWORD written = 0;
    WriteFile(file, line, n, &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
