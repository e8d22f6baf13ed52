// Scenario tool: starts a program, waits for it, and reports its full 32-bit exit code.
//
// launch_wait <exit-code-file> <program> [command-line-text]
// Starts <program> with the command line "<program>" <command-line-text> (the text is passed on
// exactly as given, so the program receives what a user would type after its name), waits for
// it to end and writes its exit code in decimal to <exit-code-file>. A process exit code seen
// through Wine is cut to 8 bits; this tool keeps all of it. Exit code: 0 the program ran (its own
// code is in the file), 2 bad arguments, 3 it could not be started, 4 the file could not be
// written.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string commandLine = std::string("\"") + argv[2] + "\"";
    if (argc > 3) commandLine += std::string(" ") + argv[3];
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "launch_wait: cannot start %s (error %lu)\n", argv[2], GetLastError());
        return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) return 4;
    std::fprintf(out, "%ld\n", static_cast<long>(static_cast<LONG>(code)));
    return std::fclose(out) == 0 ? 0 : 4;
}
