// Windows: the file of a running program cannot be deleted; copies start through CreateProcessA.
#include "platform/ProgramFile.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/win32/NativeError.h"

namespace Platform {

bool RunningProgramCanRemoveItself() { return false; }

namespace {

// Adds one argument to a command line so that the started program's argument parsing gives it
// back unchanged: quoted when it holds a space, a tab or a quote or is empty; a quote escaped
// with a backslash, and the backslashes before a quote (or the closing quote) doubled.
void AppendArgument(std::string* commandLine, const char* argument) {
    *commandLine += ' ';
    if (argument[0] != '\0' && std::strpbrk(argument, " \t\"") == nullptr) {
        *commandLine += argument;
        return;
    }
    *commandLine += '"';
    std::size_t backslashes = 0;
    for (const char* c = argument; *c != '\0'; ++c) {
        if (*c == '\\') {
            ++backslashes;
            continue;
        }
        commandLine->append(*c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        *commandLine += *c;
    }
    commandLine->append(2 * backslashes, '\\');
    *commandLine += '"';
}

}  // namespace

Error RunProgramAndWait(const char* path, const char* const* arguments, std::size_t count,
                        const char* workingFolder, std::uint32_t* exitCode) {
    if (path == nullptr || exitCode == nullptr || path[0] == '\0' ||
        (count > 0 && arguments == nullptr)) {
        return Error::InvalidParameter;
    }
    // The command line names the program quoted, as its first argument; the arguments follow.
    std::string commandLine = std::string("\"") + path + "\"";
    for (std::size_t i = 0; i < count; ++i) {
        if (arguments[i] == nullptr) return Error::InvalidParameter;
        AppendArgument(&commandLine, arguments[i]);
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (!CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workingFolder,
                        &startup, &process)) {
        return FromWin32(GetLastError());
    }
    CloseHandle(process.hThread);
    Error result = Error::None;
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &code)) {
        result = FromWin32(GetLastError());
    }
    CloseHandle(process.hProcess);
    *exitCode = code;
    return result;
}

Error MarkProgramRunnable(const char* path) {
    if (path == nullptr || path[0] == '\0') return Error::InvalidParameter;
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? FromWin32(GetLastError())
                                                               : Error::None;
}

}  // namespace Platform
