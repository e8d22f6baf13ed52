// Scenario tool: starts a program, waits for it, and reports its full 32-bit exit code.
//
// launch_wait <exit-code-file> [--kill-after MS] <program> [command-line-text]
// launch_wait <exit-code-file> [--kill-after MS] --command-line <command line>
// The first form starts <program> with the command line "<program>" <command-line-text> (the
// text is passed on exactly as given, so the program receives what a user would type after its
// name). The second starts a command the way the system starts a registered one (an uninstall
// entry's UninstallString): no program name apart, the command line exactly as it stands, its
// quotes deciding where the program's name ends. Either waits for the program to end and writes
// its exit code in decimal to <exit-code-file>. A process exit code seen through Wine is cut to
// 8 bits; this tool keeps all of it. With --kill-after, a program still running MS milliseconds
// after its start is ended at once (TerminateProcess, exit code 9), as a crash or a user's
// "end task" ends it: it can clean nothing up. Arguments are read as the system's own (wide) text,
// so any name reaches the program. Exit code: 0 the program ran (its own code is in the file), 2
// bad arguments, 3 it could not be started, 4 the file could not be written.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) return 2;
    DWORD killAfter = INFINITE;
    if (std::wcscmp(argv[2], L"--kill-after") == 0) {
        if (argc < 5 || !std::iswdigit(argv[3][0])) return 2;
        killAfter = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
        argv[3] = argv[1];  // the option taken off: the rest stands as it would without it
        argv += 2;
        argc -= 2;
    }
    const bool asRegistered = std::wcscmp(argv[2], L"--command-line") == 0;
    if (asRegistered && argc != 4) return 2;
    const wchar_t* program = asRegistered ? nullptr : argv[2];
    std::wstring commandLine =
        asRegistered ? std::wstring(argv[3]) : L"\"" + std::wstring(argv[2]) + L"\"";
    if (!asRegistered && argc > 3) commandLine += L" " + std::wstring(argv[3]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fwprintf(stderr, L"launch_wait: cannot start %ls (error %lu)\n", commandLine.c_str(),
                      GetLastError());
        return 3;
    }
    if (WaitForSingleObject(process.hProcess, killAfter) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::FILE* out = _wfopen(argv[1], L"wb");
    if (out == nullptr) return 4;
    std::fprintf(out, "%ld\n", static_cast<long>(static_cast<LONG>(code)));
    return std::fclose(out) == 0 ? 0 : 4;
}
