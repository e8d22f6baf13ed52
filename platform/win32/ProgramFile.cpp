// Windows: the file of a running program cannot be deleted; copies start through CreateProcessA.
#include "platform/ProgramFile.h"

#include <windows.h>

#include <string>

#include "platform/win32/NativeError.h"

namespace Platform {

bool RunningProgramCanRemoveItself() { return false; }

Error RunProgramAndWait(const char* path, const char* workingFolder, std::uint32_t* exitCode) {
    if (path == nullptr || exitCode == nullptr || path[0] == '\0') return Error::InvalidParameter;
    // The command line names the program quoted, as its first argument; nothing follows.
    std::string commandLine = std::string("\"") + path + "\"";
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
