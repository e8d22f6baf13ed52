// CommandLine on POSIX: absolute paths from the working folder, mapped to drive Z:, isatty.
#include "platform/CommandLine.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/PathMap.h"

namespace Platform {

bool HostPathToFrameworkPath(const std::string& hostPath, std::string* frameworkPath) {
    if (hostPath.empty() || frameworkPath == nullptr) return false;
    std::string absolute = hostPath;
    if (absolute[0] != '/') {
        std::vector<char> cwd(4096);
        while (getcwd(cwd.data(), cwd.size()) == nullptr) {
            if (errno != ERANGE) return false;
            cwd.resize(cwd.size() * 2);
        }
        std::string base(cwd.data());
        if (base.empty() || base.back() != '/') base += '/';
        absolute = base + hostPath;
    }
    *frameworkPath = ToWindowsPath(absolute);
    return true;
}

std::string FrameworkPathToHostPath(const std::string& frameworkPath) {
    std::string host;
    return ToPosixPath(frameworkPath.c_str(), &host) ? host : frameworkPath;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace Platform
