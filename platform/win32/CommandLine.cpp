// CommandLine on Windows: GetFullPathNameA makes paths absolute; a console handle is a terminal.
#include "platform/CommandLine.h"

#include <windows.h>

#include <vector>

namespace Platform {

bool HostPathToFrameworkPath(const std::string& hostPath, std::string* frameworkPath) {
    if (hostPath.empty() || frameworkPath == nullptr) return false;
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD n = ::GetFullPathNameA(hostPath.c_str(), static_cast<DWORD>(buffer.size()),
                                     buffer.data(), nullptr);
        if (n == 0) return false;
        if (n < buffer.size()) break;
        buffer.resize(n + 1);
    }
    std::string full(buffer.data());
    for (char& c : full) {
        if (c == '/') c = '\\';
    }
    *frameworkPath = full;
    return true;
}

std::string FrameworkPathToHostPath(const std::string& frameworkPath) { return frameworkPath; }

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace Platform
